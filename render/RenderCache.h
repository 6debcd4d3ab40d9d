#pragma once
#include <memory>

#include "render/Canvas.h"
#include "render/DirectXHelper.h"

namespace lorvane {

// Static artwork painted once: the owner paints into the draw buffer, Build copies the painted
// region into this cache's own sprite, and every frame after that only the sprite is drawn. The
// owner builds again when its artwork changes or when the device released the texture (IsValid).
class TKLDRenderCache {
 public:
  // The screen's shared draw buffer unless another is given.
  TKLDRenderCache();
  explicit TKLDRenderCache(TKLDDrawBuffer* drawBuffer) : drawBuffer_(drawBuffer) {}
  ~TKLDRenderCache();
  TKLDRenderCache(const TKLDRenderCache&) = delete;
  TKLDRenderCache& operator=(const TKLDRenderCache&) = delete;

  TKLDDrawBuffer* DrawBuffer() const { return drawBuffer_; }
  void SetDrawBuffer(TKLDDrawBuffer* drawBuffer) { drawBuffer_ = drawBuffer; }

  // A sprite exists and its texture has been made since the last release.
  bool IsValid() const;
  // Copies the rectangle of the draw buffer into the sprite; false when the rectangle is empty,
  // there is no buffer or device, or the copy failed.
  bool Build(const TKLDRect& rect);
  // The whole sprite into the rectangle.
  void Render(const TKLDRect& rect, const TKLDCanvasColour* tint);
  // Part of the sprite; angle in radians.
  void RenderPart(const TKLDRect& source, const TKLDRect& dest, float angle, bool flipVertical,
                  bool flipHorizontal, const TKLDCanvasColour* tint);

  // For a cache built of a whole control (painted at the buffer's corner): the part of it that
  // lies inside the visible rectangle, drawn pixel for pixel where the control stands. A control
  // that moves or is partly clipped is drawn without building again and without stretching.
  void RenderVisible(const TKLDRect& whole, const TKLDRect& visible, const TKLDCanvasColour* tint);

  TKLDDXSprite* Sprite() const { return sprite_.get(); }
  // How many times the cache has copied pixels into its sprite (diagnostics and tests).
  int Uploads() const { return uploads_; }

 private:
  TKLDDrawBuffer* drawBuffer_;
  std::unique_ptr<TKLDDXSprite> sprite_;
  int uploads_ = 0;
};

}  // namespace lorvane
