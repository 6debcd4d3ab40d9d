#pragma once
#include <memory>
#include <string>
#include <vector>

#include "render/Canvas.h"
#include "render/DirectXHelper.h"

namespace lorvane {

class TKLDPixbufImage;

// A picture loaded from a file, resampled once to the size it is shown at, and drawn either as a
// sprite (scaled, flipped, rotated, tinted) or as a plain surface. Decoding happens at the size
// wanted (a 24-megapixel photo is never decoded in full for a 1080-line screen), and photographs
// are turned upright by their EXIF orientation.
class TKLDGraphic {
 public:
  TKLDGraphic();
  ~TKLDGraphic();
  TKLDGraphic(const TKLDGraphic&) = delete;
  TKLDGraphic& operator=(const TKLDGraphic&) = delete;

  // Loads the named file (no name: the current FileName). Nothing happens while the same file is
  // loaded, and a name that failed last time is refused until another name fails.
  bool LoadFromFile(const std::string& name = std::string());
  // Takes a picture decoded elsewhere (a worker thread) as the loaded picture of that file.
  void AdoptImage(std::unique_ptr<TKLDPixbufImage> image, const std::string& fileName);
  // Takes over the other graphic's requested size and stretch and loads its file.
  void Assign(const TKLDGraphic* other);

  int RequestedWidth() const { return requestedWidth_; }
  int RequestedHeight() const { return requestedHeight_; }
  // A new requested size invalidates the picture; the next load decodes again.
  void SetRequestedWidth(int width);
  void SetRequestedHeight(int height);
  bool Stretch() const { return stretch_; }
  void SetStretch(bool stretch) { stretch_ = stretch; }
  // Photographs: decode to fit inside this box with the aspect ratio kept, instead of the
  // theme's design scaling (which stretches when the theme's design shape differs from the
  // screen's). 0 × 0 turns it off.
  void SetFitBox(int width, int height) { fitWidth_ = width, fitHeight_ = height; }

  int ActualWidth() const { return actualWidth_; }
  int ActualHeight() const { return actualHeight_; }
  int Width() const { return requestedWidth_ > 0 ? requestedWidth_ : actualWidth_; }
  int Height() const { return requestedHeight_ > 0 ? requestedHeight_ : actualHeight_; }
  const std::string& FileName() const { return fileName_; }
  const std::string& FailedFileName() const { return failedFileName_; }
  bool Loaded() const { return loaded_; }
  bool HasImage() const { return image_ != nullptr; }

  // Resamples the picture (once, not per frame); drops the sprite and surface made from it.
  void Resize(int width, int height);
  void Invalidate();

  // The pixels as straight-alpha B, G, R, A; WriteAccess keeps what the caller writes.
  bool LockBits(TKLDBitmapDescription& description);
  void UnlockBits();

  // Rectangles in edge form; angle in radians.
  void RenderSprite(const TKLDDXRect& source, const TKLDDXRect& dest, float angle,
                    bool flipVertical, bool flipHorizontal, const TKLDCanvasColour* tint);
  void RenderSprite(const TKLDDXRect& source, const TKLDDXRect& dest,
                    const TKLDCanvasColour* tint) {
    RenderSprite(source, dest, 0.0f, false, false, tint);
  }
  void RenderSurface(const TKLDRect& rect);

  // The sprite and surface made from the picture, or none (diagnostics and tests).
  TKLDDXSprite* Sprite() const { return sprite_.get(); }
  TKLDDXSurface* Surface() const { return surface_.get(); }

 private:
  void ChooseSize(int naturalWidth, int naturalHeight, int& width, int& height) const;
  void FreeDeviceCopies();

  std::unique_ptr<TKLDPixbufImage> image_;
  std::unique_ptr<TKLDDXSprite> sprite_;
  std::unique_ptr<TKLDDXSurface> surface_;
  int requestedWidth_ = 0;
  int requestedHeight_ = 0;
  bool stretch_ = false;
  int fitWidth_ = 0;
  int fitHeight_ = 0;
  int actualWidth_ = 0;
  int actualHeight_ = 0;
  std::string fileName_;
  std::string failedFileName_;
  bool loaded_ = false;
  bool locked_ = false;
  bool lockWrite_ = false;
  TKLDScratchBuffer lockPixels_;
};

}  // namespace lorvane
