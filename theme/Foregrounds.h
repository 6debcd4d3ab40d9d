#pragma once
// Foregrounds: what a container lays over its controls, a bitmap or a fill.

#include <string>
#include <vector>

#include "render/Canvas.h"
#include "theme/Bitmaps.h"
#include "theme/Fills.h"
#include "theme/UIObjects.h"

namespace lorvane {

class TKLDForeground : public TKLDUIDisplayObject {
 public:
  explicit TKLDForeground(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;
  void BuildRenderCache(TKLDRenderTarget& control) override;
  void Render(TKLDRenderTarget& control) override;

  int Kind = 0;  // none 0, bitmap 1, fill 2
  TKLDFill* Fill = nullptr;
  TKLDBitmap* Bitmap = nullptr;
  TKLDDrawBuffer Buffer;
};

class TKLDForegroundList : public TKLDUIDisplayObjectList {
 public:
  TKLDForegroundList();
  TKLDForeground* CreateForeground(const std::string& inheritName, const std::string& name);
  TKLDForeground* FindForeground(const std::string& name) const {
    return FindAs<TKLDForeground>(name);
  }
};

}  // namespace lorvane
