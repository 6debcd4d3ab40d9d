#pragma once
// Theme bitmaps: an image file from the theme's resources folder, loaded once after the whole
// theme has loaded, at the size the scaling in force then gives it.

#include <memory>
#include <string>
#include <vector>

#include "render/Graphic.h"
#include "theme/Colours.h"
#include "theme/UIObjects.h"

namespace lorvane {

class TKLDStyleTarget;

class TKLDBitmap : public TKLDUIDisplayObject {
 public:
  explicit TKLDBitmap(const std::string& name);
  ~TKLDBitmap() override;
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;
  // Draws straight to the display, without a render cache.
  void Render(TKLDRenderTarget& control) override;
  // The size the bitmap is drawn at for a control: the control's when it has both, else the
  // bitmap's own, else its image's; false when that is none.
  bool DrawSize(const TKLDStyleTarget& target, int& width, int& height) const;
  // Draws another picture where the bitmap would be (at DrawSize), tinted by the control alone.
  void RenderPicture(TKLDStyleTarget& target, TKLDGraphic& picture);

  // Loads resourcesDir + fileName, once.
  void LoadImage(const std::string& fileName, const std::string& resourcesDir);

  std::string FileName;
  bool Stretch = false;
  std::unique_ptr<TKLDGraphic> Graphic;
  TKLDColour* Colour = nullptr;  // the tint
  bool Loaded = false;

 private:
  void Draw(TKLDStyleTarget& target, TKLDGraphic& graphic, const TKLDCanvasColour& tint);
};

class TKLDBitmapList : public TKLDUIDisplayObjectList {
 public:
  TKLDBitmapList();
  TKLDBitmap* CreateBitmap(const std::string& inheritName, const std::string& name);
  TKLDBitmap* FindBitmap(const std::string& name) const { return FindAs<TKLDBitmap>(name); }
  // Loads every own bitmap's image from the theme's resources folder (ending in "/").
  void LoadImages(const std::string& resourcesDir);
};

}  // namespace lorvane
