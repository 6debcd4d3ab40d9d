#include "platform/SdlRenderer.h"

#include <SDL.h>

#include <cstring>
#include <vector>

namespace lorvane {

std::string TKLDSdlRenderer::LastError() {
  const char* text = SDL_GetError();
  return text && *text ? text : "unknown SDL error";
}

// ----- textures -----

namespace {
uint64_t g_nextSerial = 0;
uint64_t g_nextGeneration = 0;
// The renderers whose SDL renderer is alive, so that a texture let go of late (after its
// renderer went) is never kept or destroyed twice.
std::vector<TKLDSdlRenderer*> g_liveRenderers;
}  // namespace

void TKLDSdlTexture::BeforeChange() {
  if (pending_ > 0 && owner_) owner_->Flush();
}

void TKLDSdlTexture::Take(TKLDSdlTexture& other) {
  texture_ = other.texture_;
  owner_ = other.owner_;
  width_ = other.width_;
  height_ = other.height_;
  alpha_ = other.alpha_;
  opaque_ = other.opaque_;
  kind_ = other.kind_;
  generation_ = other.generation_;
  modulation_ = other.modulation_;
  applied_ = other.applied_;
  appliedBlend_ = other.appliedBlend_;
  serial_ = other.serial_;
  version_ = other.version_;
  other.texture_ = nullptr;
  other.owner_ = nullptr;
  other.width_ = other.height_ = 0;
}

TKLDSdlTexture::TKLDSdlTexture(TKLDSdlTexture&& other) noexcept {
  other.BeforeChange();
  Take(other);
}

TKLDSdlTexture& TKLDSdlTexture::operator=(TKLDSdlTexture&& other) noexcept {
  if (this != &other) {
    other.BeforeChange();
    Reset();
    Take(other);
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
  int access = kind == Streaming ? SDL_TEXTUREACCESS_STREAMING
               : kind == Target  ? SDL_TEXTUREACCESS_TARGET
                                 : SDL_TEXTUREACCESS_STATIC;
  if (kind == Streaming && renderer.keepsSpares_) texture_ = renderer.TakeSpare(width, height);
  if (texture_) {
    // As good as new: untinted and, like a fresh texture, clear where no upload reaches.
    SDL_SetTextureColorMod(texture_, 255, 255, 255);
    SDL_SetTextureAlphaMod(texture_, 255);
    void* pixels = nullptr;
    int pitch = 0;
    if (SDL_LockTexture(texture_, nullptr, &pixels, &pitch) == 0) {
      for (int y = 0; y < height; ++y) std::memset(static_cast<uint8_t*>(pixels) + size_t(y) * pitch, 0, size_t(width) * 4);
      SDL_UnlockTexture(texture_);
    }
    ++renderer.texturesReused_;
  } else {
    texture_ = SDL_CreateTexture(renderer.renderer_, SDL_PIXELFORMAT_ARGB8888, access, width, height);
    if (!texture_) {
      error = TKLDSdlRenderer::LastError();
      return false;
    }
  }
  appliedBlend_ = alpha ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE;
  SDL_SetTextureBlendMode(texture_, static_cast<SDL_BlendMode>(appliedBlend_));
  owner_ = &renderer;
  width_ = width;
  height_ = height;
  alpha_ = alpha;
  opaque_ = false;
  kind_ = kind;
  generation_ = renderer.generation_;
  modulation_ = applied_ = 0xFFFFFFFF;
  serial_ = ++g_nextSerial;
  version_ = 0;
  ++renderer.texturesCreated_;
  return true;
}

void TKLDSdlTexture::Reset() {
  BeforeChange();
  // After SDL's video subsystem has shut down its textures are gone already.
  if (texture_ && SDL_WasInit(SDL_INIT_VIDEO)) {
    TKLDSdlRenderer* owner = TKLDSdlRenderer::LiveRenderer(generation_);
    if (owner && kind_ == Streaming && owner->keepsSpares_) owner->KeepSpare(texture_, width_, height_);
    else if (owner) SDL_DestroyTexture(texture_);
  }
  texture_ = nullptr;
  owner_ = nullptr;
  width_ = height_ = 0;
  opaque_ = false;
  pending_ = 0;
}

uint32_t TKLDSdlTexture::Format() const {
  uint32_t format = SDL_PIXELFORMAT_UNKNOWN;
  if (texture_) SDL_QueryTexture(texture_, &format, nullptr, nullptr, nullptr);
  return format;
}

bool TKLDSdlTexture::Lock(uint8_t*& pixels, int& pitch, std::string& error) {
  BeforeChange();
  void* p = nullptr;
  if (!texture_ || SDL_LockTexture(texture_, nullptr, &p, &pitch) != 0) {
    error = texture_ ? TKLDSdlRenderer::LastError() : "no texture";
    return false;
  }
  ++version_;
  pixels = static_cast<uint8_t*>(p);
  return true;
}

void TKLDSdlTexture::Unlock() {
  if (texture_) SDL_UnlockTexture(texture_);
}

bool TKLDSdlTexture::Update(const void* pixels, int pitch, std::string& error) {
  BeforeChange();
  if (!texture_ || SDL_UpdateTexture(texture_, nullptr, pixels, pitch) != 0) {
    error = texture_ ? TKLDSdlRenderer::LastError() : "no texture";
    return false;
  }
  ++version_;
  return true;
}

void TKLDSdlTexture::Apply(uint32_t argb, bool blend) {
  if (((argb ^ applied_) & 0x00FFFFFF) != 0)
    SDL_SetTextureColorMod(texture_, (argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
  if (((argb ^ applied_) & 0xFF000000) != 0) SDL_SetTextureAlphaMod(texture_, argb >> 24);
  applied_ = argb;
  int mode = blend ? SDL_BLENDMODE_BLEND : SDL_BLENDMODE_NONE;
  if (mode != appliedBlend_) {
    SDL_SetTextureBlendMode(texture_, static_cast<SDL_BlendMode>(mode));
    appliedBlend_ = mode;
  }
}

// ----- renderer -----

namespace {

// The name of the OpenGL implementation behind a renderer just made ("" when it is not OpenGL).
std::string GlRendererName(const std::string& driver) {
  if (driver.rfind("opengl", 0) != 0) return "";
  using GetString = const unsigned char* (*)(unsigned int);
  auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  constexpr unsigned int kGlRenderer = 0x1F01;
  const unsigned char* name = getString ? getString(kGlRenderer) : nullptr;
  return name ? reinterpret_cast<const char*>(name) : "";
}

}  // namespace

bool TKLDSdlRenderer::DrawsInSoftware(const std::string& glRenderer) {
  for (const char* rasteriser : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"})
    if (glRenderer.find(rasteriser) != std::string::npos) return true;
  return false;
}

bool TKLDSdlRenderer::Create(SDL_Window* window, int attempt, bool vsync, std::string& error) {
  Destroy();
  softwareInsteadOf_.clear();
  uint32_t flags = 0;
  if (attempt == 0) flags = SDL_RENDERER_ACCELERATED | (vsync ? SDL_RENDERER_PRESENTVSYNC : 0);
  else if (attempt == 1) flags = vsync ? SDL_RENDERER_PRESENTVSYNC : 0;
  else flags = SDL_RENDERER_SOFTWARE;
  renderer_ = SDL_CreateRenderer(window, -1, flags);
  if (!renderer_) {
    error = LastError();
    return false;
  }
  // OpenGL drawn by the processor (Mesa's llvmpipe where no graphics driver exists) costs about
  // twice what SDL's own software renderer does for the same frame, idle or playing a film,
  // unless the user chose a renderer.
  const char* chosen = SDL_GetHint(SDL_HINT_RENDER_DRIVER);
  if (attempt == 0 && !(chosen && *chosen)) {
    SDL_RendererInfo info{};
    SDL_GetRendererInfo(renderer_, &info);
    const std::string glRenderer = GlRendererName(info.name ? info.name : "");
    if (DrawsInSoftware(glRenderer)) {
      SDL_DestroyRenderer(renderer_);
      // The window's pixels then go straight to the window system, not through OpenGL again.
      SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
      renderer_ = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
      if (!renderer_) {
        error = LastError();
        return false;
      }
      softwareInsteadOf_ = glRenderer;
    }
  }
  generation_ = ++g_nextGeneration;
  g_liveRenderers.push_back(this);
  SDL_RendererInfo info{};
  SDL_GetRendererInfo(renderer_, &info);
  driver_ = info.name ? info.name : "";
  vsync_ = (info.flags & SDL_RENDERER_PRESENTVSYNC) != 0;
  // The software renderer never waits for a retrace whatever it reports.
  if (driver_ == "software") vsync_ = false;
  // Only the software renderer's textures are fresh process memory; a graphics driver's are
  // its own business, and reusing one still in flight can make it wait.
  keepsSpares_ = driver_ == "software";
  return true;
}

void TKLDSdlRenderer::SetVSync(bool vsync) {
  if (!renderer_ || driver_ == "software") return;
  if (SDL_RenderSetVSync(renderer_, vsync ? 1 : 0) == 0) vsync_ = vsync;
}

void TKLDSdlRenderer::Destroy() {
  // Nothing recorded can be drawn any more; the textures it names must not wait for it.
  for (size_t i = executed_; i < ops_.size(); ++i)
    if (ops_[i].texture) ops_[i].texture->pending_ = 0;
  ops_.clear();
  last_.clear();
  lastValid_ = false;
  executed_ = 0;
  recording_ = false;
  flushedEarly_ = false;
  DropSpares();
  std::erase(g_liveRenderers, this);
  if (renderer_ && SDL_WasInit(SDL_INIT_VIDEO)) SDL_DestroyRenderer(renderer_);
  renderer_ = nullptr;
  vsync_ = false;
}

SDL_Texture* TKLDSdlRenderer::TakeSpare(int width, int height) {
  for (auto it = spares_.begin(); it != spares_.end(); ++it)
    if (it->width == width && it->height == height) {
      SDL_Texture* texture = it->texture;
      spareBytes_ -= size_t(width) * height * 4;
      spares_.erase(it);
      return texture;
    }
  return nullptr;
}

TKLDSdlRenderer* TKLDSdlRenderer::LiveRenderer(uint64_t generation) {
  for (TKLDSdlRenderer* renderer : g_liveRenderers)
    if (renderer->generation_ == generation) return renderer;
  return nullptr;
}

void TKLDSdlRenderer::KeepSpare(SDL_Texture* texture, int width, int height) {
  const size_t bytes = size_t(width) * height * 4;
  if (bytes > kMaxSpareBytes) {
    SDL_DestroyTexture(texture);
    return;
  }
  while (!spares_.empty() && spareBytes_ + bytes > kMaxSpareBytes) {
    SDL_DestroyTexture(spares_.front().texture);
    spareBytes_ -= size_t(spares_.front().width) * spares_.front().height * 4;
    spares_.erase(spares_.begin());
  }
  spares_.push_back({texture, width, height, SpareClock()});
  spareBytes_ += bytes;
}

uint64_t TKLDSdlRenderer::SpareClock() { return SDL_GetTicks64(); }

void TKLDSdlRenderer::ExpireSpares(uint64_t now) {
  // Oldest first: the expired ones are at the front.
  while (!spares_.empty() && spares_.front().keptAt + kSpareLifetimeMs < now) {
    SDL_DestroyTexture(spares_.front().texture);
    spareBytes_ -= size_t(spares_.front().width) * spares_.front().height * 4;
    spares_.erase(spares_.begin());
  }
}

void TKLDSdlRenderer::DropSpares() {
  if (SDL_WasInit(SDL_INIT_VIDEO))
    for (const Spare& spare : spares_) SDL_DestroyTexture(spare.texture);
  spares_.clear();
  spareBytes_ = 0;
}

bool TKLDSdlRenderer::OutputSize(int& width, int& height) const {
  return renderer_ && SDL_GetRendererOutputSize(renderer_, &width, &height) == 0;
}

void TKLDSdlRenderer::SetLogicalSize(int width, int height) {
  if (renderer_) SDL_RenderSetLogicalSize(renderer_, width, height);
}

static void SetColour(SDL_Renderer* r, uint32_t argb) {
  SDL_SetRenderDrawColor(r, (argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF, argb >> 24);
}

bool TKLDSdlRenderer::Op::SameAs(const Op& o) const {
  return kind == o.kind && flip == o.flip && colour == o.colour && x == o.x && y == o.y && w == o.w && h == o.h &&
         dx == o.dx && dy == o.dy && dw == o.dw && dh == o.dh && angle == o.angle && serial == o.serial &&
         version == o.version;
}

bool TKLDSdlRenderer::Execute(const Op& op) {
  switch (op.kind) {
    case Op::Clear:
      SetColour(renderer_, op.colour);
      return SDL_RenderClear(renderer_) == 0;
    case Op::Fill: {
      SDL_SetRenderDrawBlendMode(renderer_, SDL_BLENDMODE_NONE);
      SetColour(renderer_, op.colour);
      SDL_Rect rect{op.x, op.y, op.w, op.h};
      return SDL_RenderFillRect(renderer_, &rect) == 0;
    }
    case Op::Clip: {
      SDL_Rect rect{op.x, op.y, op.w, op.h};
      return SDL_RenderSetClipRect(renderer_, &rect) == 0;
    }
    case Op::NoClip: return SDL_RenderSetClipRect(renderer_, nullptr) == 0;
    case Op::Target:
      return SDL_SetRenderTarget(renderer_, op.texture && op.texture->Valid() ? op.texture->Handle() : nullptr) == 0;
    case Op::Copy: {
      TKLDSdlTexture& texture = *op.texture;
      if (!texture.Valid()) return false;
      // Opaque pixels under an opaque tint look the same copied as blended.
      texture.Apply(op.colour, texture.alpha_ && !(texture.opaque_ && (op.colour >> 24) == 0xFF));
      SDL_Rect src{op.x, op.y, op.w, op.h};
      SDL_FRect dst{op.dx, op.dy, op.dw, op.dh};
      // The plain copy keeps the software renderer on its fast blitters.
      if (op.angle == 0.0 && op.flip == 0) return SDL_RenderCopyF(renderer_, texture.Handle(), &src, &dst) == 0;
      return SDL_RenderCopyExF(renderer_, texture.Handle(), &src, &dst, op.angle, nullptr,
                               static_cast<SDL_RendererFlip>(op.flip)) == 0;
    }
  }
  return false;
}

// Outside a recorded frame a call is carried out at once; inside, it is kept for later.
#define LORVANE_RECORD_OR_RUN(op)            \
  do {                                       \
    if (!renderer_) return false;            \
    if (recording_) {                        \
      if ((op).texture) ++(op).texture->pending_; \
      ops_.push_back(op);                    \
      return true;                           \
    }                                        \
    return Execute(op);                      \
  } while (0)

bool TKLDSdlRenderer::Clear(uint32_t argb) {
  Op op;
  op.kind = Op::Clear;
  op.colour = argb;
  LORVANE_RECORD_OR_RUN(op);
}

bool TKLDSdlRenderer::FillRect(int left, int top, int right, int bottom, uint32_t argb) {
  Op op;
  op.kind = Op::Fill;
  op.colour = argb;
  op.x = left;
  op.y = top;
  op.w = right - left;
  op.h = bottom - top;
  LORVANE_RECORD_OR_RUN(op);
}

bool TKLDSdlRenderer::SetClip(int left, int top, int right, int bottom) {
  Op op;
  op.kind = Op::Clip;
  op.x = left;
  op.y = top;
  op.w = right - left;
  op.h = bottom - top;
  LORVANE_RECORD_OR_RUN(op);
}

bool TKLDSdlRenderer::ResetClip() {
  Op op;
  op.kind = Op::NoClip;
  LORVANE_RECORD_OR_RUN(op);
}

bool TKLDSdlRenderer::Copy(TKLDSdlTexture& texture, int sx, int sy, int sw, int sh, float dx, float dy, float dw,
                           float dh, double angleDegrees, bool flipHorizontal, bool flipVertical) {
  if (!texture.Valid()) return false;
  Op op;
  op.kind = Op::Copy;
  op.texture = &texture;
  op.serial = texture.serial_;
  op.version = texture.version_;
  op.colour = texture.modulation_;
  op.x = sx;
  op.y = sy;
  op.w = sw;
  op.h = sh;
  op.dx = dx;
  op.dy = dy;
  op.dw = dw;
  op.dh = dh;
  op.angle = angleDegrees;
  op.flip = static_cast<uint8_t>((flipHorizontal ? SDL_FLIP_HORIZONTAL : 0) | (flipVertical ? SDL_FLIP_VERTICAL : 0));
  LORVANE_RECORD_OR_RUN(op);
}

bool TKLDSdlRenderer::SetTarget(TKLDSdlTexture* texture) {
  Op op;
  op.kind = Op::Target;
  if (texture) {
    if (!texture->Valid()) return false;
    // What was drawn from it before must be drawn before its pixels change.
    texture->BeforeChange();
    ++texture->version_;
    op.texture = texture;
    op.serial = texture->serial_;
    op.version = texture->version_;
  }
  LORVANE_RECORD_OR_RUN(op);
}

#undef LORVANE_RECORD_OR_RUN

void TKLDSdlRenderer::BeginRecording() {
  Flush();
  ExpireSpares(SpareClock());
  ops_.clear();
  executed_ = 0;
  flushedEarly_ = false;
  recording_ = renderer_ != nullptr;
}

void TKLDSdlRenderer::Flush() {
  if (executed_ >= ops_.size()) return;
  if (recording_) flushedEarly_ = true;
  // Marked done before drawing: a texture that frees itself from here must not flush again.
  size_t from = executed_;
  executed_ = ops_.size();
  for (size_t i = from; i < ops_.size(); ++i) {
    const Op& op = ops_[i];
    if (op.texture) --op.texture->pending_;
    if (renderer_) Execute(op);
  }
}

bool TKLDSdlRenderer::FinishRecording(bool skipUnchanged) {
  if (!recording_) return true;
  recording_ = false;
  bool same = skipUnchanged && !flushedEarly_ && lastValid_ && ops_.size() == last_.size();
  for (size_t i = 0; same && i < ops_.size(); ++i) same = ops_[i].SameAs(last_[i]);
  if (same) {
    for (size_t i = executed_; i < ops_.size(); ++i)
      if (ops_[i].texture) --ops_[i].texture->pending_;
  } else {
    Flush();
  }
  last_.swap(ops_);
  lastValid_ = true;
  ops_.clear();
  executed_ = 0;
  flushedEarly_ = false;
  return !same;
}

bool TKLDSdlRenderer::ReadPixels(std::vector<uint32_t>& pixels, int& width, int& height) {
  Flush();
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
