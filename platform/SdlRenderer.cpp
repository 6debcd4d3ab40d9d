#include "platform/SdlRenderer.h"

#include <SDL.h>

#include <cstring>

namespace lorvane {

std::string TKLDSdlRenderer::LastError() {
  const char* text = SDL_GetError();
  return text && *text ? text : "unknown SDL error";
}

// ----- textures -----

TKLDSdlTexture::TKLDSdlTexture(TKLDSdlTexture&& other) noexcept
    : texture_(other.texture_), width_(other.width_), height_(other.height_), modulation_(other.modulation_) {
  other.texture_ = nullptr;
}

TKLDSdlTexture& TKLDSdlTexture::operator=(TKLDSdlTexture&& other) noexcept {
  if (this != &other) {
    Reset();
    texture_ = other.texture_;
    width_ = other.width_;
    height_ = other.height_;
    modulation_ = other.modulation_;
    other.texture_ = nullptr;
  }
  return *this;
}

bool TKLDSdlTexture::Create(TKLDSdlRenderer& renderer, int width, int height, bool alpha, Kind kind,
                            std::string& error) {
  Reset();
  if (!renderer.Valid()) {
    error = "no display device";
    return false;
  }
  if (width <= 0 || height <= 0) {
    error = "invalid texture size " + std::to_string(width) + " x " + std::to_string(height);
    return false;
  }
  int access = kind == Streaming ? SDL_TEXTUREACCESS_STREAMING : SDL_TEXTUREACCESS_STATIC;
  texture_ = SDL_CreateTexture(renderer.renderer_, SDL_PIXELFORMAT_ARGB8888, access, width, height);
  if (!texture_) {
    error = TKLDSdlRenderer::LastError();
    return false;
  }
  SDL_SetTextureBlendMode(texture_, alpha ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE);
  width_ = width;
  height_ = height;
  modulation_ = 0xFFFFFFFF;
  ++renderer.texturesCreated_;
  return true;
}

void TKLDSdlTexture::Reset() {
  // After SDL's video subsystem has shut down its textures are gone already.
  if (texture_ && SDL_WasInit(SDL_INIT_VIDEO)) SDL_DestroyTexture(texture_);
  texture_ = nullptr;
  width_ = height_ = 0;
}

uint32_t TKLDSdlTexture::Format() const {
  uint32_t format = SDL_PIXELFORMAT_UNKNOWN;
  if (texture_) SDL_QueryTexture(texture_, &format, nullptr, nullptr, nullptr);
  return format;
}

bool TKLDSdlTexture::Lock(uint8_t*& pixels, int& pitch, std::string& error) {
  void* p = nullptr;
  if (!texture_ || SDL_LockTexture(texture_, nullptr, &p, &pitch) != 0) {
    error = texture_ ? TKLDSdlRenderer::LastError() : "no texture";
    return false;
  }
  pixels = static_cast<uint8_t*>(p);
  return true;
}

void TKLDSdlTexture::Unlock() {
  if (texture_) SDL_UnlockTexture(texture_);
}

bool TKLDSdlTexture::Update(const void* pixels, int pitch, std::string& error) {
  if (!texture_ || SDL_UpdateTexture(texture_, nullptr, pixels, pitch) != 0) {
    error = texture_ ? TKLDSdlRenderer::LastError() : "no texture";
    return false;
  }
  return true;
}

void TKLDSdlTexture::SetModulation(uint32_t argb) {
  if (!texture_ || argb == modulation_) return;
  if (((argb ^ modulation_) & 0x00FFFFFF) != 0)
    SDL_SetTextureColorMod(texture_, (argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
  if (((argb ^ modulation_) & 0xFF000000) != 0) SDL_SetTextureAlphaMod(texture_, argb >> 24);
  modulation_ = argb;
}

// ----- renderer -----

bool TKLDSdlRenderer::Create(SDL_Window* window, int attempt, bool vsync, std::string& error) {
  Destroy();
  uint32_t flags = 0;
  if (attempt == 0) flags = SDL_RENDERER_ACCELERATED | (vsync ? SDL_RENDERER_PRESENTVSYNC : 0);
  else if (attempt == 1) flags = vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
  else flags = SDL_RENDERER_SOFTWARE;
  renderer_ = SDL_CreateRenderer(window, -1, flags);
  if (!renderer_) {
    error = LastError();
    return false;
  }
  SDL_RendererInfo info{};
  SDL_GetRendererInfo(renderer_, &info);
  driver_ = info.name ? info.name : "";
  vsync_ = (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
  // The software renderer never waits for a retrace whatever it reports.
  if (driver_ == "software") vsync_ = false;
  return true;
}

void TKLDSdlRenderer::SetVSync(bool vsync) {
  if (!renderer_ || driver_ == "software") return;
  if (SDL_RenderSetVSync(renderer_, vsync ? 1 : 0) == 0) vsync_ = vsync;
}

void TKLDSdlRenderer::Destroy() {
  if (renderer_ && SDL_WasInit(SDL_INIT_VIDEO)) SDL_DestroyRenderer(renderer_);
  renderer_ = nullptr;
  vsync_ = false;
}

bool TKLDSdlRenderer::OutputSize(int& width, int& height) const {
  return renderer_ && SDL_GetRendererOutputSize(renderer_, &width, &height) == 0;
}

static void SetColour(SDL_Renderer* r, uint32_t argb) {
  SDL_SetRenderDrawColor(r, (argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, argb >> 24);
}

bool TKLDSdlRenderer::Clear(uint32_t argb) {
  if (!renderer_) return false;
  SetColour(renderer_, argb);
  return SDL_RenderClear(renderer_) == 0;
}

bool TKLDSdlRenderer::FillRect(int left, int top, int right, int bottom, uint32_t argb) {
  if (!renderer_) return false;
  SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
  SetColour(renderer_, argb);
  SDL_Rect rect{left, top, right - left, bottom - top};
  return SDL_RenderFillRect(renderer_, &rect) == 0;
}

bool TKLDSdlRenderer::SetClip(int left, int top, int right, int bottom) {
  if (!renderer_) return false;
  SDL_Rect rect{left, top, right - left, bottom - top};
  return SDL_RenderSetClipRect(renderer_, &rect) == 0;
}

bool TKLDSdlRenderer::ResetClip() { return renderer_ && SDL_RenderSetClipRect(renderer_, nullptr) == 0; }

bool TKLDSdlRenderer::Copy(TKLDSdlTexture& texture, int sx, int sy, int sw, int sh, float dx, float dy, float dw,
                           float dh, double angleDegrees, bool flipHorizontal, bool flipVertical) {
  if (!renderer_ || !texture.Valid()) return false;
  SDL_Rect src{sx, sy, sw, sh};
  SDL_FRect dst{dx, dy, dw, dh};
  // The plain copy keeps the software renderer on its fast blitters.
  if (angleDegrees == 0.0 && !flipHorizontal && !flipVertical)
    return SDL_RenderCopyF(renderer_, texture.Handle(), &src, &dst) == 0;
  int flip = (flipHorizontal ? SDL_FLIP_HORIZONTAL : 0) | (flipVertical ? SDL_FLIP_VERTICAL : 0);
  return SDL_RenderCopyExF(renderer_, texture.Handle(), &src, &dst, angleDegrees, nullptr,
                           static_cast<SDL_RendererFlip>(flip)) == 0;
}

bool TKLDSdlRenderer::ReadPixels(std::vector<uint32_t>& pixels, int& width, int& height) {
  if (!OutputSize(width, height) || width <= 0 || height <= 0) return false;
  pixels.resize(static_cast<size_t>(width) * height);
  return SDL_RenderReadPixels(renderer_, nullptr, SDL_PIXELFORMAT_ARGB8888, pixels.data(), width * 4) == 0;
}

void TKLDSdlRenderer::Present() {
  if (renderer_) SDL_RenderPresent(renderer_);
}

uint32_t TextureFormat() { return SDL_PIXELFORMAT_ARGB8888; }

std::string PixelFormatName(uint32_t format) {
  switch (format) {
    case SDL_PIXELFORMAT_UNKNOWN: return "D3DFMT_UNKNOWN";
    case SDL_PIXELFORMAT_RGB24: return "D3DFMT_R8G8B8";
    case SDL_PIXELFORMAT_ARGB8888: return "D3DFMT_A8R8G8B8";
    case SDL_PIXELFORMAT_RGB888: return "D3DFMT_X8R8G8B8";
    case SDL_PIXELFORMAT_RGB565: return "D3DFMT_R5G6B5";
    case SDL_PIXELFORMAT_RGB555: return "D3DFMT_X1R5G5B5";
    case SDL_PIXELFORMAT_ARGB1555: return "D3DFMT_A1R5G5B5";
    case SDL_PIXELFORMAT_ARGB4444: return "D3DFMT_A4R4G4B4";
    case SDL_PIXELFORMAT_RGB332: return "D3DFMT_R3G3B2";
    case SDL_PIXELFORMAT_RGB444: return "D3DFMT_X4R4G4B4";
    case SDL_PIXELFORMAT_ARGB2101010: return "D3DFMT_A2R10G10B10";
    case SDL_PIXELFORMAT_ABGR8888: return "D3DFMT_A8B8G8R8";
    case SDL_PIXELFORMAT_BGR888: return "D3DFMT_X8B8G8R8";
    default: break;
  }
  std::string name = "D3DFMT_";
  for (int shift = 0; shift < 32; shift += 8) name += static_cast<char>((format >> shift) & 0xFF);
  return name;
}

int RenderDriverCount() {
  int count = SDL_GetNumRenderDrivers();
  return count < 0 ? 0 : count;
}

TKLDDeviceResetWatch::TKLDDeviceResetWatch(Callback callback, void* context)
    : callback_(callback), context_(context) {
  SDL_AddEventWatch(&TKLDDeviceResetWatch::Watch, this);
}

TKLDDeviceResetWatch::~TKLDDeviceResetWatch() { SDL_DelEventWatch(&TKLDDeviceResetWatch::Watch, this); }

int TKLDDeviceResetWatch::Watch(void* self, SDL_Event* event) {
  if (event->type == SDL_RENDER_DEVICE_RESET || event->type == SDL_RENDER_TARGETS_RESET) {
    auto* watch = static_cast<TKLDDeviceResetWatch*>(self);
    watch->callback_(watch->context_);
  }
  return 1;
}

void TKLDDeviceResetWatch::Simulate() {
  SDL_Event event{};
  event.type = SDL_RENDER_DEVICE_RESET;
  SDL_PushEvent(&event);
}

// ----- pixel rows -----

void UnpremultiplyRow(uint32_t* destination, const uint32_t* source, int count) {
  for (int i = 0; i < count; ++i) {
    uint32_t p = source[i];
    uint32_t a = p >> 24;
    if (a == 255 || a == 0) {
      destination[i] = a == 0 ? 0 : p;
      continue;
    }
    uint32_t r = (((p >> 16) & 0xFF) * 255 + a / 2) / a;
    uint32_t g = (((p >> 8) & 0xFF) * 255 + a / 2) / a;
    uint32_t b = ((p & 0xFF) * 255 + a / 2) / a;
    if (r > 255) r = 255;
    if (g > 255) g = 255;
    if (b > 255) b = 255;
    destination[i] = (a << 24) | (r << 16) | (g << 8) | b;
  }
}

void PremultiplyRow(uint32_t* pixels, int count) {
  for (int i = 0; i < count; ++i) {
    uint32_t p = pixels[i];
    uint32_t a = p >> 24;
    if (a == 255) continue;
    uint32_t r = (((p >> 16) & 0xFF) * a + 127) / 255;
    uint32_t g = (((p >> 8) & 0xFF) * a + 127) / 255;
    uint32_t b = ((p & 0xFF) * a + 127) / 255;
    pixels[i] = (a << 24) | (r << 16) | (g << 8) | b;
  }
}

}  // namespace lorvane
