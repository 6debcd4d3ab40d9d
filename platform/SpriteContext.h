#pragma once
// A Cairo context straight on a streaming texture's pixels, for painters that draw into a sprite
// every frame (the visualisation).
#include <string>

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;

namespace lorvane {

class TKLDSdlTexture;

class TKLDSpriteContext {
 public:
  TKLDSpriteContext() = default;
  ~TKLDSpriteContext() { Close(); }
  TKLDSpriteContext(const TKLDSpriteContext&) = delete;
  TKLDSpriteContext& operator=(const TKLDSpriteContext&) = delete;

  // Locks the texture and hands its pixels to Cairo (premultiplied while open).
  bool Open(TKLDSdlTexture& texture, std::string& error);
  // Returns the pixels to straight alpha and unlocks the texture.
  void Close();
  bool IsOpen() const { return cr_ != nullptr; }
  cairo_t* Context() const { return cr_; }

 private:
  TKLDSdlTexture* texture_ = nullptr;
  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  unsigned char* pixels_ = nullptr;
  int pitch_ = 0;
};

}  // namespace lorvane
