#pragma once
// Thin RAII wrappers over SDL_Renderer and SDL_Texture: the only place that calls SDL's
// rendering functions.
#include <cstdint>
#include <string>
#include <vector>

struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;
union SDL_Event;

namespace lorvane {

class TKLDSdlRenderer;

// A texture in B, G, R, A memory order (SDL's ARGB8888) with straight alpha.
class TKLDSdlTexture {
 public:
  enum Kind : uint8_t { Static, Streaming };
  TKLDSdlTexture() = default;
  ~TKLDSdlTexture() { Reset(); }
  TKLDSdlTexture(TKLDSdlTexture&& other) noexcept;
  TKLDSdlTexture& operator=(TKLDSdlTexture&& other) noexcept;
  TKLDSdlTexture(const TKLDSdlTexture&) = delete;
  TKLDSdlTexture& operator=(const TKLDSdlTexture&) = delete;

  // Alpha selects blending; without it the texture replaces what lies under it.
  bool Create(TKLDSdlRenderer& renderer, int width, int height, bool alpha, Kind kind, std::string& error);
  void Reset();
  bool Valid() const { return texture_ != nullptr; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  uint32_t Format() const;
  SDL_Texture* Handle() const { return texture_; }

  // Whole-texture lock of a streaming texture.
  bool Lock(uint8_t*& pixels, int& pitch, std::string& error);
  void Unlock();
  // Copies straight-alpha ARGB rows into a static texture.
  bool Update(const void* pixels, int pitch, std::string& error);
  // Colour and alpha modulation; set only when it changes.
  void SetModulation(uint32_t argb);

 private:
  SDL_Texture* texture_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  uint32_t modulation_ = 0xFFFFFFFF;
};

class TKLDSdlRenderer {
 public:
  TKLDSdlRenderer() = default;
  ~TKLDSdlRenderer() { Destroy(); }
  TKLDSdlRenderer(const TKLDSdlRenderer&) = delete;
  TKLDSdlRenderer& operator=(const TKLDSdlRenderer&) = delete;

  // attempt 0: accelerated (+ vsync when asked); 1: any driver; 2: software.
  bool Create(SDL_Window* window, int attempt, bool vsync, std::string& error);
  void Destroy();
  bool Valid() const { return renderer_ != nullptr; }
  SDL_Renderer* Handle() const { return renderer_; }
  bool HasVSync() const { return vsync_; }
  void SetVSync(bool vsync);
  const std::string& DriverName() const { return driver_; }
  bool OutputSize(int& width, int& height) const;
  uint64_t TexturesCreated() const { return texturesCreated_; }

  bool Clear(uint32_t argb);
  // Replaces the pixels (no blending), within the clip.
  bool FillRect(int left, int top, int right, int bottom, uint32_t argb);
  bool SetClip(int left, int top, int right, int bottom);
  bool ResetClip();
  bool Copy(TKLDSdlTexture& texture, int sx, int sy, int sw, int sh, float dx, float dy, float dw, float dh,
            double angleDegrees, bool flipHorizontal, bool flipVertical);
  bool ReadPixels(std::vector<uint32_t>& pixels, int& width, int& height);
  void Present();

  static std::string LastError();

 private:
  friend class TKLDSdlTexture;
  SDL_Renderer* renderer_ = nullptr;
  bool vsync_ = false;
  std::string driver_;
  uint64_t texturesCreated_ = 0;
};

// The format every texture here has, and a format's name for messages: the name of the matching
// D3DFMT constant ("D3DFMT_A8R8G8B8"), or "D3DFMT_" and the value's four bytes as characters,
// lowest first, for a format without one (four-character codes read as themselves).
uint32_t TextureFormat();
std::string PixelFormatName(uint32_t format);
// How many render drivers SDL offers (0: nothing can draw on this system).
int RenderDriverCount();

// Calls back when SDL reports that its render device or render targets were reset (textures
// lost). The callback may run on whichever thread pushed the event: keep it to setting a flag.
class TKLDDeviceResetWatch {
 public:
  using Callback = void (*)(void* context);
  TKLDDeviceResetWatch(Callback callback, void* context);
  ~TKLDDeviceResetWatch();
  TKLDDeviceResetWatch(const TKLDDeviceResetWatch&) = delete;
  TKLDDeviceResetWatch& operator=(const TKLDDeviceResetWatch&) = delete;
  // Sends the event a real device reset sends.
  static void Simulate();

 private:
  static int Watch(void* self, SDL_Event* event);
  Callback callback_;
  void* context_;
};

// Copies a row of premultiplied ARGB32 pixels as straight alpha.
void UnpremultiplyRow(uint32_t* destination, const uint32_t* source, int count);
// The reverse, in place (to hand straight-alpha pixels to Cairo).
void PremultiplyRow(uint32_t* pixels, int count);

}  // namespace lorvane
