#pragma once
// Backgrounds: what a container shows behind its controls, a bitmap, a fill or a plasma cloud.

#include <string>
#include <vector>

#include "render/Canvas.h"
#include "theme/Bitmaps.h"
#include "theme/Fills.h"
#include "theme/UIObjects.h"

namespace lorvane {

enum TKLDBackdropKind : int { bkNone = 0, bkBitmap = 1, bkFill = 2, bkPlasma = 3 };

// Paints a fill (flat or graded) over the whole draw buffer; a missing colour paints nothing.
void PaintFill(const TKLDFill* fill, TKLDDrawBuffer& buffer);
// The fill kind's cache step shared with foregrounds: paint the buffer at the object's scaled
// size and capture it into the target's render cache; warning + the target's name on failure.
void BuildFillCache(const TKLDUIDisplayObject& object, const TKLDFill* fill, TKLDDrawBuffer& buffer,
                    TKLDRenderTarget& control, const std::string& warning);
// Draws the target's render cache over the target's rectangle, untinted.
void DrawFillCache(TKLDRenderTarget& control);

class TKLDBackground : public TKLDUIDisplayObject {
 public:
  explicit TKLDBackground(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;
  void BuildRenderCache(TKLDRenderTarget& control) override;
  void Render(TKLDRenderTarget& control) override;

  int Kind = bkNone;
  TKLDFill* Fill = nullptr;
  TKLDPlasma* Plasma = nullptr;
  TKLDBitmap* Bitmap = nullptr;
  TKLDDrawBuffer Buffer;
};

class TKLDBackgroundList : public TKLDUIDisplayObjectList {
 public:
  TKLDBackgroundList();
  TKLDBackground* CreateBackground(const std::string& inheritName, const std::string& name);
  TKLDBackground* FindBackground(const std::string& name) const {
    return FindAs<TKLDBackground>(name);
  }
};

}  // namespace lorvane
