#include "platform/SpriteContext.h"

#include <cairo.h>

#include <cstdint>

#include "platform/SdlRenderer.h"

namespace lorvane {

bool TKLDSpriteContext::Open(TKLDSdlTexture& texture, std::string& error) {
  Close();
  uint8_t* pixels = nullptr;
  int pitch = 0;
  if (!texture.Lock(pixels, pitch, error)) return false;
  int w = texture.Width(), h = texture.Height();
  for (int y = 0; y < h; ++y) PremultiplyRow(reinterpret_cast<uint32_t*>(pixels + static_cast<size_t>(y) * pitch), w);
  surface_ = cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, w, h, pitch);
  if (cairo_surface_status(surface_) != CAIRO_STATUS_SUCCESS) {
    error = cairo_status_to_string(cairo_surface_status(surface_));
    cairo_surface_destroy(surface_);
    surface_ = nullptr;
    texture.Unlock();
    return false;
  }
  cr_ = cairo_create(surface_);
  texture_ = &texture;
  pixels_ = pixels;
  pitch_ = pitch;
  return true;
}

void TKLDSpriteContext::Close() {
  if (!cr_) return;
  cairo_destroy(cr_);
  cairo_surface_flush(surface_);
  cairo_surface_destroy(surface_);
  cr_ = nullptr;
  surface_ = nullptr;
  int w = texture_->Width(), h = texture_->Height();
  for (int y = 0; y < h; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(pixels_ + static_cast<size_t>(y) * pitch_);
    UnpremultiplyRow(row, row, w);
  }
  texture_->Unlock();
  texture_ = nullptr;
  pixels_ = nullptr;
}

}  // namespace lorvane
