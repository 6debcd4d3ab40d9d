#pragma once
// Caption styles: a font and an alignment for a control's text. Buttons and grids draw their
// captions through them with fonts of their own.

#include <string>
#include <vector>

#include "theme/Fonts.h"
#include "theme/UIObjects.h"

namespace lorvane {

class TKLDStyleTarget;

enum TKLDCaptionAlign : int { caNone = 0, caLeft = 1, caRight = 2, caCenter = 3 };

class TKLDCaption : public TKLDUIDisplayObject {
 public:
  explicit TKLDCaption(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;
  // Draws every frame, without a render cache.
  void Render(TKLDRenderTarget& control) override;
  // The control's text in the caption's layout, in the given font or else the caption's own.
  // Returns where its pixels lie on the screen, empty when nothing was drawn.
  TKLDRect DrawCaption(TKLDStyleTarget& control, const TKLDFont* font);

  TKLDFont* Font = nullptr;
  int Align = caNone;
};

class TKLDCaptionList : public TKLDUIDisplayObjectList {
 public:
  TKLDCaptionList();
  TKLDCaption* CreateCaption(const std::string& inheritName, const std::string& name);
  TKLDCaption* FindCaption(const std::string& name) const { return FindAs<TKLDCaption>(name); }
};

}  // namespace lorvane
