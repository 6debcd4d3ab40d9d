#include "render/RenderCache.h"

#include <algorithm>

namespace lorvane {

namespace {

TKLDDXRect EdgeRect(const TKLDRect& r) { return {r.X, r.Y, r.Right(), r.Bottom()}; }

std::optional<uint32_t> Tint(const TKLDCanvasColour* tint) {
  if (!tint) return std::nullopt;
  return tint->Value();
}

}  // namespace

TKLDRenderCache::TKLDRenderCache() : drawBuffer_(&SharedDrawBuffer()) {}

TKLDRenderCache::~TKLDRenderCache() = default;

bool TKLDRenderCache::IsValid() const { return sprite_ && sprite_->CreationAttempted(); }

bool TKLDRenderCache::Build(const TKLDRect& rect) {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (rect.Width <= 0 || rect.Height <= 0 || !drawBuffer_ || !helper) return false;
  if (!sprite_) {
    sprite_ = helper->SpriteManager().CreateSprite(rect.Width, rect.Height);
    if (!sprite_) return false;
    sprite_->SetAlphaChannel(drawBuffer_->AlphaChannel());
  }
  sprite_->SetSize(rect.Width, rect.Height);
  TKLDBitmapDescription bits;
  bits.WriteAccess = false;
  if (!drawBuffer_->LockBits(rect, bits)) return false;
  const bool uploaded = helper->SpriteManager().UploadBits(sprite_.get(), bits);
  drawBuffer_->UnlockBits();
  if (uploaded) ++uploads_;
  return uploaded;
}

void TKLDRenderCache::Render(const TKLDRect& rect, const TKLDCanvasColour* tint) {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!sprite_ || !helper) return;
  TKLDRect dest = rect;
  dest.X = std::max(dest.X, 0);
  dest.Y = std::max(dest.Y, 0);
  helper->RenderSprite(sprite_.get(), sprite_->GetBounds(), Tint(tint), EdgeRect(dest));
}

void TKLDRenderCache::RenderPart(const TKLDRect& source, const TKLDRect& dest, float angle,
                                 bool flipVertical, bool flipHorizontal,
                                 const TKLDCanvasColour* tint) {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!sprite_ || !helper) return;
  TKLDRect target = dest;
  target.X = std::max(target.X, 0);
  target.Y = std::max(target.Y, 0);
  helper->RenderSprite(sprite_.get(), EdgeRect(source), angle, flipVertical, flipHorizontal,
                       Tint(tint), EdgeRect(target));
}

void TKLDRenderCache::RenderVisible(const TKLDRect& whole, const TKLDRect& visible,
                                    const TKLDCanvasColour* tint) {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!sprite_ || !helper) return;
  // What of the control the sprite holds (a control larger than the buffer was cut there).
  const TKLDRect held{whole.X, whole.Y, std::min(whole.Width, sprite_->Width()), std::min(whole.Height, sprite_->Height())};
  const TKLDRect dest = IntersectRect(visible, held);
  if (dest.Width <= 0 || dest.Height <= 0) return;
  const TKLDRect source{dest.X - whole.X, dest.Y - whole.Y, dest.Width, dest.Height};
  helper->RenderSprite(sprite_.get(), EdgeRect(source), Tint(tint), EdgeRect(dest));
}

}  // namespace lorvane
