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
  enum Kind : uint8_t { Static, Streaming, Target };
  TKLDSdlTexture() = default;
  ~TKLDSdlTexture() { Reset(); }
  TKLDSdlTexture(TKLDSdlTexture&& other) noexcept;
  TKLDSdlTexture& operator=(TKLDSdlTexture&& other) noexcept;
  TKLDSdlTexture(const TKLDSdlTexture&) = delete;
  TKLDSdlTexture& operator=(const TKLDSdlTexture&) = delete;

  // Alpha selects blending; without it the texture replaces what lies under it.
  bool Create(TKLDSdlRenderer& renderer, int width, int height, bool alpha, Kind kind, std::string& error);
  // Declares that every pixel is opaque (or not): an opaque texture drawn without a translucent
  // tint is copied instead of blended, which the software renderer does many times faster.
  void SetOpaque(bool opaque) { opaque_ = opaque; }
  bool Opaque() const { return opaque_; }
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
  // Colour and alpha modulation of the following copies.
  void SetModulation(uint32_t argb) { modulation_ = argb; }
  // Changes with every new texture and every change of its pixels: a recorded frame that names
  // the same serials and versions shows the same picture.
  uint64_t Serial() const { return serial_; }
  uint64_t Version() const { return version_; }

 private:
  friend class TKLDSdlRenderer;
  // Draws recorded with this texture are carried out before its pixels change or it goes.
  void BeforeChange();
  void Apply(uint32_t argb, bool blend);
  void Take(TKLDSdlTexture& other);

  SDL_Texture* texture_ = nullptr;
  TKLDSdlRenderer* owner_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  bool alpha_ = false;
  bool opaque_ = false;
  Kind kind_ = Static;
  uint64_t generation_ = 0;  // of the renderer that made it
  uint32_t modulation_ = 0xFFFFFFFF;
  uint32_t applied_ = 0xFFFFFFFF;  // what SDL holds
  int appliedBlend_ = -1;
  uint64_t serial_ = 0;
  uint64_t version_ = 0;
  int pending_ = 0;  // recorded draws not yet carried out
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
  // The OpenGL implementation passed over for SDL's software renderer because it draws with the
  // processor anyway ("" when none was).
  const std::string& SoftwareInsteadOf() const { return softwareInsteadOf_; }
  // Whether an OpenGL renderer's name is one of Mesa's processor rasterisers.
  static bool DrawsInSoftware(const std::string& glRenderer);
  bool OutputSize(int& width, int& height) const;
  // Draws in a back buffer of this size, scaled to whatever the output is.
  void SetLogicalSize(int width, int height);
  uint64_t TexturesCreated() const { return texturesCreated_; }
  // How many textures were handed out again instead of being made, and the bytes kept for that.
  uint64_t TexturesReused() const { return texturesReused_; }
  size_t SpareBytes() const { return spareBytes_; }
  static constexpr size_t kMaxSpareBytes = size_t(48) << 20;
  // A texture not asked for again within this long is let go, so that what a slideshow or a
  // film leaves behind goes back to the system once it has ended.
  static constexpr uint64_t kSpareLifetimeMs = 60000;
  // Lets every kept texture go (a device reset).
  void DropSpares();
  // Lets go of the textures kept since before now - kSpareLifetimeMs; each recorded frame does
  // this with the time of SpareClock.
  void ExpireSpares(uint64_t now);
  static uint64_t SpareClock();  // milliseconds

  bool Clear(uint32_t argb);
  // Replaces the pixels (no blending), within the clip.
  bool FillRect(int left, int top, int right, int bottom, uint32_t argb);
  bool SetClip(int left, int top, int right, int bottom);
  bool ResetClip();
  bool Copy(TKLDSdlTexture& texture, int sx, int sy, int sw, int sh, float dx, float dy, float dw, float dh,
            double angleDegrees, bool flipHorizontal, bool flipVertical);
  // Draws into a texture made as a Target until called again with none (the back buffer). Its
  // pixels change, so its version does too.
  bool SetTarget(TKLDSdlTexture* texture);
  bool ReadPixels(std::vector<uint32_t>& pixels, int& width, int& height);
  void Present();

  // A recorded frame: between BeginRecording and FinishRecording the drawing calls above are
  // kept in a list instead of being carried out. FinishRecording draws the list, unless asked
  // to skip a list that names exactly what the last drawn frame named (same rectangles, colours,
  // texture serials and versions): then the picture on screen is already right. Returns true
  // when it drew. Reading pixels, or changing or freeing a texture the list names, draws what
  // was recorded so far first, and that frame always counts as drawn.
  void BeginRecording();
  bool FinishRecording(bool skipUnchanged);
  bool Recording() const { return recording_; }
  void Flush();
  // The next recorded frame is drawn whatever it holds (the window was uncovered or resized).
  void ForgetLastFrame() { last_.clear(); lastValid_ = false; }

  static std::string LastError();

  // One drawing call as recorded.
  struct Op {
    enum Kind : uint8_t { Clear, Fill, Clip, NoClip, Copy, Target };
    Kind kind = Clear;
    uint8_t flip = 0;
    uint32_t colour = 0;
    int x = 0, y = 0, w = 0, h = 0;  // fill or clip rectangle, copy source
    float dx = 0, dy = 0, dw = 0, dh = 0;
    double angle = 0;
    uint64_t serial = 0, version = 0;
    TKLDSdlTexture* texture = nullptr;  // for drawing only; never compared
    bool SameAs(const Op& o) const;
  };

 private:
  friend class TKLDSdlTexture;
  bool Execute(const Op& op);
  void Drop(TKLDSdlTexture* texture);

  // Streaming textures let go of are kept for the next one of the same size: a new large
  // texture touches fresh memory, which costs more than a frame has, and slides, backdrops and
  // video frames come back in the same sizes.
  struct Spare {
    SDL_Texture* texture;
    int width, height;
    uint64_t keptAt;  // SpareClock
  };
  SDL_Texture* TakeSpare(int width, int height);
  void KeepSpare(SDL_Texture* texture, int width, int height);
  static TKLDSdlRenderer* LiveRenderer(uint64_t generation);
  std::vector<Spare> spares_;  // oldest first
  size_t spareBytes_ = 0;
  bool keepsSpares_ = false;
  uint64_t generation_ = 0;  // names each SDL renderer made, never reused

  std::vector<Op> ops_;
  std::vector<Op> last_;
  bool lastValid_ = false;
  size_t executed_ = 0;
  bool recording_ = false;
  bool flushedEarly_ = false;
  SDL_Renderer* renderer_ = nullptr;
  bool vsync_ = false;
  std::string driver_;
  std::string softwareInsteadOf_;
  uint64_t texturesCreated_ = 0;
  uint64_t texturesReused_ = 0;
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
