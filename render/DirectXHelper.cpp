#include "render/DirectXHelper.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>

#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "platform/PngWriter.h"
#include "platform/SdlWindow.h"
#include "platform/SpriteContext.h"
#include "render/Screen.h"
#include "render/ScreenForm.h"

namespace lorvane {

namespace {

TKLDDirectXHelper* g_helper = nullptr;

constexpr const char* kCritical = "Critical DirectX error encountered.\r\n";

[[noreturn]] void Critical(const std::string& text) { throw TKLDException(kCritical + text); }
[[noreturn]] void Critical(const std::string& text, const std::string& error) {
  throw TKLDException(kCritical + text + ": " + error);
}

// Frames a laid-out text may go undrawn before its texture is dropped.
constexpr uint32_t kTextLifetime = 120;

// The first count characters of a UTF-8 text.
std::string Utf8Prefix(const std::string& text, size_t count) {
  size_t i = 0, chars = 0;
  while (i < text.size() && chars < count) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    size_t len = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 1;
    i += len;
    ++chars;
  }
  return text.substr(0, std::min(i, text.size()));
}

}  // namespace

TKLDDirectXHelper* DirectXHelper() { return g_helper; }
void SetGlobalDirectXHelper(TKLDDirectXHelper* helper) { g_helper = helper; }

uint32_t CombineColour(uint32_t colour, std::optional<uint32_t> modifier) {
  if (!modifier || *modifier == 0xFFFFFFFF) return colour;
  uint32_t out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    uint32_t c = (colour >> shift) & 0xFF, m = (*modifier >> shift) & 0xFF;
    out |= ((c * m + 127) / 255) << shift;
  }
  return out;
}

// =============================================================================================
// Sprites

TKLDDXSprite::TKLDDXSprite(TKLDDXSpriteManager* manager, int width, int height)
    : manager_(manager), width_(width), height_(height) {}

TKLDDXSprite::~TKLDDXSprite() {
  ReleaseTexture();
  if (manager_) manager_->Unregister(this);
}

void TKLDDXSprite::SetSize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  ReleaseTexture();
  creationAttempted_ = false;
}

void TKLDDXSprite::SetAlphaChannel(bool alpha) {
  if (alpha == alphaChannel_) return;
  alphaChannel_ = alpha;
  ReleaseTexture();
  creationAttempted_ = false;
}

void TKLDDXSprite::SetRenderTarget(bool target) {
  if (target == renderTarget_) return;
  renderTarget_ = target;
  ReleaseTexture();
  creationAttempted_ = false;
}

void TKLDDXSprite::ReleaseTexture() {
  dc_.reset();
  texture_.Reset();
}

bool TKLDDXSprite::OpenDC() {
  if (!texture_.Valid()) return false;
  if (!dc_) dc_ = std::make_unique<TKLDSpriteContext>();
  if (dc_->IsOpen()) return true;
  std::string error;
  if (!dc_->Open(texture_, error)) {
    LogWarn("Failed to lock DirectX surface for GDI rendering: " + error);
    return false;
  }
  return true;
}

void TKLDDXSprite::CloseDC() {
  if (!texture_.Valid() || !dc_) return;
  dc_->Close();
  texture_.SetOpaque(!alphaChannel_);
  // A sprite without an alpha channel stays opaque whatever the painter left in the alpha byte.
  if (!alphaChannel_) {
    uint8_t* pixels = nullptr;
    int pitch = 0;
    std::string error;
    if (texture_.Lock(pixels, pitch, error)) {
      for (int y = 0; y < texture_.Height(); ++y) {
        auto* row = reinterpret_cast<uint32_t*>(pixels + static_cast<size_t>(y) * pitch);
        for (int x = 0; x < texture_.Width(); ++x) row[x] |= 0xFF000000;
      }
      texture_.Unlock();
    }
  }
}

cairo_t* TKLDDXSprite::DC() const { return dc_ ? dc_->Context() : nullptr; }

TKLDDXSpriteManager::~TKLDDXSpriteManager() {
  // Sprites that outlive the device helper lose their textures and stop reporting back.
  for (TKLDDXSprite* sprite : sprites_) {
    sprite->ReleaseTexture();
    sprite->manager_ = nullptr;
  }
}

std::unique_ptr<TKLDDXSprite> TKLDDXSpriteManager::CreateSprite(int width, int height) {
  if (width == 0 || height == 0) {
    LogWarn("Create sprite method was passed invalid dimensions");
    return nullptr;
  }
  std::unique_ptr<TKLDDXSprite> sprite(new TKLDDXSprite(this, width, height));
  sprites_.push_back(sprite.get());
  return sprite;
}

TKLDSdlTexture* TKLDDXSpriteManager::GetTexture(TKLDDXSprite* sprite) {
  if (!sprite) return nullptr;
  if (sprite->texture_.Valid()) return &sprite->texture_;
  if (sprite->creationAttempted_) return nullptr;
  sprite->creationAttempted_ = true;
  std::string error;
  // Every sprite blends; one without an alpha channel is uploaded opaque, so only a tint's
  // alpha makes it translucent.
  if (!sprite->texture_.Create(helper_->Renderer(), sprite->width_, sprite->height_, true,
                               sprite->renderTarget_ ? TKLDSdlTexture::Target : TKLDSdlTexture::Streaming, error)) {
    LogWarn("Failed to create DirectX texture for rendering: " + error);
    return nullptr;
  }
  ++sprite->texturesCreated_;
  uint32_t granted = sprite->texture_.Format();
  if (granted != TextureFormat())
    LogWarn("Unexpected DirectX rendering texture format returned: " + TKLDDirectXHelper::FormatName(granted) +
            ", expected: " + TKLDDirectXHelper::FormatName(TextureFormat()));
  return &sprite->texture_;
}

namespace {

// Copies rows into a locked texture, turning Cairo's premultiplied pixels into straight alpha.
// Returns whether every pixel copied is opaque.
bool CopyRows(uint8_t* destination, int pitch, const TKLDBitmapDescription& bits, int columns, int rows,
              bool opaque) {
  uint32_t allAlpha = 0xFF000000;
  for (int y = 0; y < rows; ++y) {
    const uint8_t* src = bits.Bits + static_cast<ptrdiff_t>(y) * bits.Stride;
    uint8_t* dst = destination + static_cast<size_t>(y) * pitch;
    if (bits.BytesPerPixel != 4) {
      std::memcpy(dst, src, std::min<size_t>(static_cast<size_t>(columns) * bits.BytesPerPixel,
                                             static_cast<size_t>(columns) * 4));
      continue;
    }
    auto* out = reinterpret_cast<uint32_t*>(dst);
    const auto* in = reinterpret_cast<const uint32_t*>(src);
    if (bits.Premultiplied) {
      UnpremultiplyRow(out, in, columns);
      if (opaque)
        for (int x = 0; x < columns; ++x) out[x] |= 0xFF000000;
      else
        for (int x = 0; x < columns; ++x) allAlpha &= out[x];
    } else if (opaque) {
      // A film's frame each time it changes: one pass over its pixels, not two.
      for (int x = 0; x < columns; ++x) out[x] = in[x] | 0xFF000000;
    } else {
      for (int x = 0; x < columns; ++x) {
        out[x] = in[x];
        allAlpha &= in[x];
      }
    }
  }
  return opaque || (allAlpha & 0xFF000000) == 0xFF000000;
}

}  // namespace

bool TKLDDXSpriteManager::UploadBits(TKLDDXSprite* sprite, const TKLDBitmapDescription& bits) {
  TKLDSdlTexture* texture = GetTexture(sprite);
  if (!texture || !bits.Bits) return false;
  int columns = std::min(bits.Width, sprite->width_);
  int rows = std::min(bits.Height, sprite->height_);
  uint8_t* pixels = nullptr;
  int pitch = 0;
  std::string error;
  if (!texture->Lock(pixels, pitch, error)) {
    LogWarn("Failed to lock sprite texture surface: " + error);
    return false;
  }
  // Pixels the upload does not reach are left as they were, so only a full upload can be opaque.
  bool full = columns == sprite->width_ && rows == sprite->height_ && bits.BytesPerPixel == 4;
  bool opaque = columns > 0 && rows > 0 && CopyRows(pixels, pitch, bits, columns, rows, !sprite->alphaChannel_);
  texture->SetOpaque(full && opaque);
  texture->Unlock();
  return true;
}

void TKLDDXSpriteManager::ReleaseTextures() {
  for (TKLDDXSprite* sprite : sprites_) {
    sprite->ReleaseTexture();
    if (sprite->width_ > 0 && sprite->height_ > 0) sprite->creationAttempted_ = false;
  }
}

void TKLDDXSpriteManager::Unregister(TKLDDXSprite* sprite) {
  auto it = std::find(sprites_.begin(), sprites_.end(), sprite);
  if (it != sprites_.end()) sprites_.erase(it);
}

// =============================================================================================
// Surfaces

TKLDDXSurface::TKLDDXSurface(TKLDDXSurfaceManager* manager, int width, int height)
    : manager_(manager), width_(width), height_(height) {}

TKLDDXSurface::~TKLDDXSurface() {
  ReleaseSurface();
  if (manager_) manager_->Unregister(this);
}

void TKLDDXSurface::SetSize(int width, int height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  ReleaseSurface();
  creationAttempted_ = false;
}

void TKLDDXSurface::ReleaseSurface() { texture_.Reset(); }

TKLDDXSurfaceManager::~TKLDDXSurfaceManager() {
  for (TKLDDXSurface* surface : surfaces_) {
    surface->ReleaseSurface();
    surface->manager_ = nullptr;
  }
}

std::unique_ptr<TKLDDXSurface> TKLDDXSurfaceManager::CreateSurface(int width, int height) {
  std::unique_ptr<TKLDDXSurface> surface(new TKLDDXSurface(this, width, height));
  surfaces_.push_back(surface.get());
  return surface;
}

TKLDSdlTexture* TKLDDXSurfaceManager::GetSurface(TKLDDXSurface* surface) {
  if (!surface) return nullptr;
  if (surface->texture_.Valid()) return &surface->texture_;
  if (surface->creationAttempted_) return nullptr;
  surface->creationAttempted_ = true;
  std::string error;
  // A surface is copied like a picture put straight into the back buffer, except where its
  // picture is see-through (a thumbnail's margins): those pixels let the screen show.
  if (!surface->texture_.Create(helper_->Renderer(), surface->width_, surface->height_, true,
                                TKLDSdlTexture::Streaming, error)) {
    LogWarn("Failed to create DirectX surface for rendering: " + error);
    return nullptr;
  }
  return &surface->texture_;
}

bool TKLDDXSurfaceManager::UploadBits(TKLDDXSurface* surface, const TKLDBitmapDescription& bits) {
  TKLDSdlTexture* texture = GetSurface(surface);
  if (!texture || !bits.Bits) return false;
  int columns = std::min(bits.Width, surface->width_);
  int rows = std::min(bits.Height, surface->height_);
  uint8_t* pixels = nullptr;
  int pitch = 0;
  std::string error;
  if (!texture->Lock(pixels, pitch, error)) {
    LogWarn("Failed to lock rendering surface: " + error);
    return false;
  }
  // Pixels the upload does not reach are left as they were, so only a full upload can be opaque.
  const bool full = columns == surface->width_ && rows == surface->height_ && bits.BytesPerPixel == 4;
  const bool opaque = columns > 0 && rows > 0 && CopyRows(pixels, pitch, bits, columns, rows, false);
  texture->SetOpaque(full && opaque);
  texture->Unlock();
  return true;
}

void TKLDDXSurfaceManager::ReleaseSurfaces() {
  for (TKLDDXSurface* surface : surfaces_) {
    surface->ReleaseSurface();
    if (surface->width_ != 0 && surface->height_ != 0) surface->creationAttempted_ = false;
  }
}

void TKLDDXSurfaceManager::Unregister(TKLDDXSurface* surface) {
  auto it = std::find(surfaces_.begin(), surfaces_.end(), surface);
  if (it != surfaces_.end()) surfaces_.erase(it);
}

// =============================================================================================
// Fonts

TKLDDXFont* TKLDDXFontManager::GetFont(const TKLDFontStyle* canvasFont) {
  if (!canvasFont) return nullptr;
  for (auto& font : fonts_)
    if (font->CanvasFont == canvasFont) return font.get();
  // Points to pixels at the desktop's logical resolution, truncated toward zero; the negative
  // height asks for the character height.
  int height = -(canvasFont->Size * pixelsPerInch_) / PointsPerInch;
  int pixels = std::abs(height);
  if (pixels == 0) {
    LogWarn("Failed to create DirectX font: a size of " + std::to_string(canvasFont->Size) +
            " points gives no pixels");
    return nullptr;
  }
  auto font = std::make_unique<TKLDDXFont>();
  font->CanvasFont = canvasFont;
  font->Font = std::make_unique<TKLDPangoFont>(Utf8Prefix(canvasFont->Name, 31), pixels, canvasFont->Bold,
                                               canvasFont->Italic);
  fonts_.push_back(std::move(font));
  return fonts_.back().get();
}

TKLDDXFont* TKLDDXFontManager::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return fonts_[index].get();
}

void TKLDDXFontManager::DeviceLost() {
  for (auto& font : fonts_) font->Texts.clear();
}

void TKLDDXFontManager::ReleaseAll() { fonts_.clear(); }

void TKLDDXFontManager::Expire(uint32_t frame) {
  for (auto& font : fonts_)
    for (auto it = font->Texts.begin(); it != font->Texts.end();) {
      if (frame - it->second.LastUsed > kTextLifetime) it = font->Texts.erase(it);
      else ++it;
    }
}

// =============================================================================================
// The device helper

TKLDDirectXHelper::TKLDDirectXHelper() : fontManager_(this), spriteManager_(this), surfaceManager_(this) {}

TKLDDirectXHelper::~TKLDDirectXHelper() {
  Finalise();
  if (g_helper == this) g_helper = nullptr;
}

void TKLDDirectXHelper::SetDisplaySize(int width, int height) {
  displayWidth_ = width;
  displayHeight_ = height;
}

void TKLDDirectXHelper::ForgetLastFrame() { renderer_.ForgetLastFrame(); }

void TKLDDirectXHelper::SetVSync(bool vsync) {
  vsync_ = vsync;
  renderer_.SetVSync(vsync);
  nextPresentNs_ = 0;
}

std::string TKLDDirectXHelper::FormatName(uint32_t format) { return PixelFormatName(format); }

std::string TKLDDirectXHelper::PoolName(int pool) {
  switch (pool) {
    case 1: return "D3DPOOL_MANAGED";
    case 2: return "D3DPOOL_SYSTEMMEM";
    case 3: return "D3DPOOL_SCRATCH";
    default: return "D3DPOOL_DEFAULT";
  }
}

void TKLDDirectXHelper::OnDeviceReset(void* self) {
  static_cast<TKLDDirectXHelper*>(self)->lossSignalled_ = true;
}

bool TKLDDirectXHelper::CreateRenderer(std::string& error) {
  SDL_Window* window = screenForm_ ? screenForm_->Window().Handle() : nullptr;
  if (!window) {
    error = "no window attached";
    return false;
  }
  // Accelerated with vertical sync first, then whatever SDL offers, then the software renderer.
  for (int attempt = 0; attempt < 3; ++attempt)
    if (renderer_.Create(window, attempt, vsync_, error)) return true;
  return false;
}

bool TKLDDirectXHelper::Initialise() {
  std::string error;
  if (!StartVideo(error)) Critical("Failed to initialise DirectX9 classes");
  if (DisplayCount() < 1) Critical("Failed to create Direct3D object");

  if (!DisplayExists(adapter_, error)) {
    if (adapter_ != 0) {
      std::string primaryError;
      if (!DisplayExists(0, primaryError))
        Critical("Failed to determine requested or primary display information", primaryError);
      adapter_ = 0;
      LogInfo("Requested display adapter not available. Using primary display instead");
    } else {
      Critical("Failed to determine primary display information", error);
    }
  }

  // Full-screen modes are 32-bit; a window uses the desktop's depth.
  int depth = 32;
  if (!fullscreen_) {
    TKLDVideoMode desktop;
    if (!DesktopMode(adapter_, desktop, error)) Critical("Failed to determine current windows screen mode", error);
    depth = desktop.BitsPerPixel;
  }
  std::vector<TKLDVideoMode> modes = DisplayModes(adapter_);
  auto inFormat = [depth](const TKLDVideoMode& m) { return m.BitsPerPixel == depth; };
  if (std::count_if(modes.begin(), modes.end(), inFormat) == 0)
    Critical("Requested display adapter does not support requested format");
  for (const TKLDVideoMode& mode : modes)
    if (inFormat(mode) && mode.Width > 799 && mode.Height > 599 && modes_) modes_->AddMode(mode.Width, mode.Height, depth);
  // A television that cannot show the exact mode asked for still shows the interface: in the
  // desktop's own mode, with the picture scaled to it.
  int modeWidth = displayWidth_, modeHeight = displayHeight_;
  if (fullscreen_ && (!modes_ || !modes_->HasMode(displayWidth_, displayHeight_, depth))) {
    TKLDVideoMode desktop;
    if (!DesktopMode(adapter_, desktop, error) || desktop.Width <= 0 || desktop.Height <= 0)
      Critical("Selected display mode is not supported by requested display adapter");
    modeWidth = desktop.Width;
    modeHeight = desktop.Height;
    LogWarn("Selected display mode " + std::to_string(displayWidth_) + " x " + std::to_string(displayHeight_) +
            " is not supported by requested display adapter; using the desktop's mode " +
            std::to_string(modeWidth) + " x " + std::to_string(modeHeight));
  }
  if (RenderDriverCount() < 1)
    Critical("Requested display adapter does not support DirectX 9 acceleration. Please check that you have "
             "suitable display drivers installed.",
             TKLDSdlRenderer::LastError());

  if (screenForm_) {
    screenForm_->Window().MoveToDisplay(adapter_);
    // Full screen, the window takes the mode's size itself: where no window manager makes it
    // cover the display, a window of the designed size would run off a smaller one.
    if (fullscreen_) screenForm_->SetClientSize(modeWidth, modeHeight);
    else screenForm_->SetClientSize(displayWidth_, displayHeight_);
    screenForm_->SetFullScreen(fullscreen_);
    if (fullscreen_ && !screenForm_->Window().SetExclusiveFullScreen(true, modeWidth, modeHeight, error))
      Critical("Failed to create DirectX display device", error);
  }

  if (!CreateRenderer(error)) Critical("Failed to create DirectX display device", error);
  if (modeWidth != displayWidth_ || modeHeight != displayHeight_) renderer_.SetLogicalSize(displayWidth_, displayHeight_);
  deviceLost_ = false;
  lossSignalled_ = false;
  clipped_ = false;
  nextPresentNs_ = 0;
  drawn_ = true;
  resetWatch_ = std::make_unique<TKLDDeviceResetWatch>(&TKLDDirectXHelper::OnDeviceReset, this);

  // A theme's text size follows the desktop's logical resolution, never the monitor's density.
  fontManager_.SetPixelsPerInch(96);
  int width = 0, height = 0;
  if (!renderer_.OutputSize(width, height))
    LogInfo("Failed to determine Direct3D capabilities for display device: " + TKLDSdlRenderer::LastError());
  if (!renderer_.SoftwareInsteadOf().empty())
    LogInfo("OpenGL is drawn by the processor here (" + renderer_.SoftwareInsteadOf() +
            "): using SDL's software renderer, which costs less; SDL_RENDER_DRIVER chooses another");
  LogDebug("Display device: " + renderer_.DriverName() + " renderer, " + std::to_string(width) + " x " +
           std::to_string(height) + (renderer_.HasVSync() ? ", vertical sync" : ""));
  return true;
}

void TKLDDirectXHelper::Finalise() {
  ReleaseVideoPlayer();
  ReleaseVisualisationPlayer();
  fontManager_.ReleaseAll();
  spriteManager_.ReleaseTextures();
  surfaceManager_.ReleaseSurfaces();
  resetWatch_.reset();
  if (renderer_.Valid() && screenForm_ && fullscreen_) {
    std::string ignored;
    screenForm_->Window().SetExclusiveFullScreen(false, 0, 0, ignored);
  }
  renderer_.Destroy();
  inFrame_ = false;
  clipped_ = false;
}

void TKLDDirectXHelper::CheckResult(bool ok, const char* /*what*/) {
  if (lossSignalled_.exchange(false) && !deviceLost_) {
    deviceLost_ = true;
    LogInfo("Lost display device, will attempt to reset next frame");
  }
  if (!ok && !deviceLost_) {
    LogDebug("DirectX rendering operation failed: " + TKLDSdlRenderer::LastError());
  }
}

bool TKLDDirectXHelper::RecoverDevice() {
  LogInfo("Attempting recovery from lost DirectX display device");
  fontManager_.DeviceLost();
  ReleaseVideoPlayer();
  // SDL's textures do not survive a reset: their owners upload again when CreationAttempted
  // is clear.
  spriteManager_.ReleaseTextures();
  surfaceManager_.ReleaseSurfaces();
  renderer_.DropSpares();
  if (!renderer_.Valid()) return false;
  int width = 0, height = 0;
  if (!renderer_.OutputSize(width, height)) {
    std::string error;
    if (!CreateRenderer(error)) {
      LogInfo("Failed to reset DirectX display device: " + error);
      return false;
    }
  }
  fontManager_.DeviceReset();
  renderer_.ForgetLastFrame();
  deviceLost_ = false;
  lossSignalled_ = false;
  LogInfo("Successfully recovered from lost DirectX display device");
  return true;
}

bool TKLDDirectXHelper::BeginFrame() {
  if (!renderer_.Valid()) return false;
  if (deviceLost_ && !RecoverDevice()) return false;
  clipped_ = false;
  // The frame is recorded and drawn when it ends, so that a frame showing exactly what the last
  // one showed need not be drawn at all.
  renderer_.BeginRecording();
  renderer_.ResetClip();
  CheckResult(renderer_.Clear(0xFF000000), "clear");
  ++frameNumber_;
  inFrame_ = !deviceLost_;
  return inFrame_;
}

void TKLDDirectXHelper::EndFrame() {
  // Unchanged frames are skipped only while paced to the display: a benchmark without vertical
  // sync draws every one, and a screenshot asked for is always drawn.
  bool skip = vsync_ && skipUnchanged_ && pendingShot_.empty() && !deviceLost_;
  drawn_ = renderer_.FinishRecording(skip);
  if (drawn_) ++framesDrawn_;
  else ++framesSkipped_;
  CheckResult(true, "end of scene");
  inFrame_ = false;
  if ((frameNumber_ & 63) == 0) fontManager_.Expire(frameNumber_);
}

namespace {
uint64_t NowNs() {
  using namespace std::chrono;
  return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count();
}
constexpr uint64_t kFramePeriodNs = 1000000000ull / 60;
}  // namespace

void TKLDDirectXHelper::PresentFrame() {
  if (!renderer_.Valid()) return;
  if (!drawn_) {
    // Nothing changed on screen: instead of presenting, rest until the next tick of the display
    // or until an event arrives, whichever comes first. The frame clock then measures the same
    // frame durations as for a presented frame.
    uint64_t now = NowNs();
    if (nextPresentNs_ == 0 || now > nextPresentNs_ + kFramePeriodNs) nextPresentNs_ = now + kFramePeriodNs;
    if (nextPresentNs_ > now) {
      uint32_t ms = static_cast<uint32_t>((nextPresentNs_ - now + 999999) / 1000000);
      if (idleWait_) idleWait_(ms);
      else std::this_thread::sleep_for(std::chrono::nanoseconds(nextPresentNs_ - now));
    }
    // Woken early by an event, the next frame still aims at the same tick.
    if (NowNs() >= nextPresentNs_) nextPresentNs_ += kFramePeriodNs;
    drawn_ = true;
    return;
  }
  if (!deviceLost_) {
    if (capture_ || !pendingShot_.empty()) Capture();
    renderer_.Present();
  }
  CheckResult(true, "present");
  if (!vsync_) return;
  uint64_t now = NowNs();
  if (renderer_.HasVSync()) {
    // The retrace has just been waited for; a skipped frame after this one waits for the next.
    nextPresentNs_ = now + kFramePeriodNs;
    return;
  }
  // Without a retrace to wait for, wait here for the next 60 Hz tick so that the frame durations
  // measured around rendering are those of a real display.
  if (nextPresentNs_ == 0 || now > nextPresentNs_ + kFramePeriodNs) {
    nextPresentNs_ = now + kFramePeriodNs;
  } else {
    if (nextPresentNs_ > now) std::this_thread::sleep_for(std::chrono::nanoseconds(nextPresentNs_ - now));
    nextPresentNs_ += kFramePeriodNs;
  }
}

void TKLDDirectXHelper::Capture() {
  if (!renderer_.ReadPixels(lastFrame_, lastFrameWidth_, lastFrameHeight_)) {
    LogWarn("Failed to read back the presented frame: " + TKLDSdlRenderer::LastError());
    lastFrame_.clear();
    return;
  }
  if (!pendingShot_.empty()) {
    std::string path = pendingShot_;
    pendingShot_.clear();
    std::string error;
    if (!WritePngFile(path, lastFrame_, lastFrameWidth_, lastFrameHeight_, error))
      LogWarn("Failed to write screenshot " + path + ": " + error);
  }
}

bool TKLDDirectXHelper::ReadFrame(std::vector<uint32_t>& pixels, int& width, int& height) {
  return renderer_.ReadPixels(pixels, width, height);
}

bool TKLDDirectXHelper::SaveScreenshot(const std::string& path) {
  std::string error;
  if (lastFrame_.empty() && !renderer_.ReadPixels(lastFrame_, lastFrameWidth_, lastFrameHeight_)) {
    LogWarn("Failed to write screenshot " + path + ": no frame has been presented");
    return false;
  }
  if (!WritePngFile(path, lastFrame_, lastFrameWidth_, lastFrameHeight_, error)) {
    LogWarn("Failed to write screenshot " + path + ": " + error);
    return false;
  }
  return true;
}

void TKLDDirectXHelper::ForceDeviceLoss() { TKLDDeviceResetWatch::Simulate(); }

void TKLDDirectXHelper::SetClipViewport(const TKLDDXRect& rect) {
  if (!renderer_.Valid()) return;
  // A viewport of negative size cannot be set; SDL would take it as "no clipping" without a word.
  if (rect.Width() < 0 || rect.Height() < 0)
    LogWarn("Failed to set DirectX viewport: invalid viewport " + std::to_string(rect.Width()) + " x " +
            std::to_string(rect.Height()));
  else if (!renderer_.SetClip(rect.Left, rect.Top, rect.Right, rect.Bottom))
    LogWarn("Failed to set DirectX viewport: " + TKLDSdlRenderer::LastError());
  clipped_ = true;
}

void TKLDDirectXHelper::ResetClipViewport() {
  if (!clipped_) return;
  if (!renderer_.ResetClip()) LogWarn("Failed to reset DirectX viewport: " + TKLDSdlRenderer::LastError());
  clipped_ = false;
}

void TKLDDirectXHelper::FillRect(const TKLDDXRect& rect, std::optional<uint32_t> colour) {
  if (!inFrame_ || !colour) return;
  renderer_.FillRect(rect.Left, rect.Top, rect.Right, rect.Bottom, *colour);
}

void TKLDDirectXHelper::RenderVideo(const TKLDDXRect& rect, std::optional<uint32_t> colour) {
  if (videoPlayer_) videoPlayer_->Render(rect);
  else FillRect(rect, colour);
}

void TKLDDirectXHelper::RenderSurface(TKLDDXSurface* surface, const TKLDDXRect& rect) {
  TKLDSdlTexture* texture = surfaceManager_.GetSurface(surface);
  if (!texture) return;
  int w = texture->Width(), h = texture->Height();
  if (!renderer_.Copy(*texture, 0, 0, w, h, static_cast<float>(rect.Left), static_cast<float>(rect.Top),
                      static_cast<float>(w), static_cast<float>(h), 0.0, false, false))
    LogInfo("Failed to render surface: " + TKLDSdlRenderer::LastError());
}

void TKLDDirectXHelper::RenderSprite(TKLDDXSprite* sprite, const TKLDDXRect& dest, std::optional<uint32_t> tint) {
  if (!sprite) return;
  RenderSprite(sprite, sprite->GetBounds(), 0.0f, false, false, tint, dest);
}

void TKLDDirectXHelper::RenderSprite(TKLDDXSprite* sprite, const TKLDDXRect& source, std::optional<uint32_t> tint,
                                     const TKLDDXRect& dest) {
  RenderSprite(sprite, source, 0.0f, false, false, tint, dest);
}

void TKLDDirectXHelper::RenderSprite(TKLDDXSprite* sprite, const TKLDDXRect& source, float angle,
                                     bool flipVertical, bool flipHorizontal, std::optional<uint32_t> tint,
                                     const TKLDDXRect& dest) {
  TKLDSdlTexture* texture = spriteManager_.GetTexture(sprite);
  if (!texture) return;
  if (source.Width() <= 0 || source.Height() <= 0 || dest.Width() <= 0 || dest.Height() <= 0) return;
  uint32_t colour = 0xFFFFFFFF;
  if (tint) {
    if ((*tint >> 24) == 0) return;
    colour = *tint;
  }
  texture->SetModulation(colour);
  double degrees = static_cast<double>(angle) * 180.0 / M_PI;
  if (!renderer_.Copy(*texture, source.Left, source.Top, source.Width(), source.Height(),
                      static_cast<float>(dest.Left), static_cast<float>(dest.Top), static_cast<float>(dest.Width()),
                      static_cast<float>(dest.Height()), degrees, flipHorizontal, flipVertical))
    LogInfo("Failed to render sprite: " + TKLDSdlRenderer::LastError());
}

TKLDDXRect TKLDDirectXHelper::RenderText(const TKLDDXRect& rect, const TKLDFontStyle* font, const std::string& text,
                                         TKLDTextAlign align, std::optional<uint32_t> modifier, bool wordWrap) {
  TKLDDXFont* dxFont = fontManager_.GetFont(font);
  if (!dxFont || text.empty() || rect.Width() <= 0 || rect.Height() <= 0) return {};
  std::string key = text;
  key += '\x1f';
  key += std::to_string(rect.Width());
  key += 'x';
  key += std::to_string(rect.Height());
  key += static_cast<char>('0' + static_cast<int>(align));
  key += wordWrap ? 'w' : 'n';
  auto found = dxFont->Texts.find(key);
  if (found == dxFont->Texts.end()) {
    TKLDDXFont::Text entry;
    TKLDTextImage image;
    TKLDTextLayoutAlign layoutAlign = align == TKLDTextAlign::Right    ? TKLDTextLayoutAlign::Right
                                      : align == TKLDTextAlign::Centre ? TKLDTextLayoutAlign::Centre
                                                                       : TKLDTextLayoutAlign::Left;
    if (LayoutText(*dxFont->Font, text, rect.Width(), rect.Height(), layoutAlign, wordWrap, image)) {
      std::string error;
      if (entry.Texture.Create(renderer_, image.Width, image.Height, true, TKLDSdlTexture::Static, error) &&
          entry.Texture.Update(image.Pixels.data(), image.Width * 4, error)) {
        entry.Ink = {image.X, image.Y, image.X + image.Width, image.Y + image.Height};
      } else {
        entry.Texture.Reset();
        LogInfo("Failed to render font.");
        LogDebug(error);
      }
    }
    ++dxFont->TextsBuilt;
    // An invisible text is remembered too, so it is not laid out again every frame.
    found = dxFont->Texts.emplace(std::move(key), std::move(entry)).first;
  }
  TKLDDXFont::Text& entry = found->second;
  entry.LastUsed = frameNumber_;
  if (!entry.Texture.Valid()) return {};
  TKLDSdlTexture& texture = entry.Texture;
  auto draw = [&](int dx, int dy, uint32_t colour) {
    if ((colour >> 24) == 0) return true;
    texture.SetModulation(colour);
    return renderer_.Copy(texture, 0, 0, texture.Width(), texture.Height(), static_cast<float>(rect.Left + dx + entry.Ink.Left),
                          static_cast<float>(rect.Top + dy + entry.Ink.Top), static_cast<float>(texture.Width()),
                          static_cast<float>(texture.Height()), 0.0, false, false);
  };
  if (font->Shadow && !draw(font->ShadowOffsetX, font->ShadowOffsetY, CombineColour(font->ShadowColour, modifier)))
    LogInfo("Failed to render font shadow.");
  if (!draw(0, 0, CombineColour(font->Colour, modifier))) LogInfo("Failed to render font.");
  return {rect.Left + entry.Ink.Left, rect.Top + entry.Ink.Top, rect.Left + entry.Ink.Right, rect.Top + entry.Ink.Bottom};
}

bool TKLDDirectXHelper::BeginSpriteTarget(TKLDDXSprite* sprite, bool opaque) {
  if (!inFrame_ || !sprite || !sprite->RenderTarget()) return false;
  TKLDSdlTexture* texture = spriteManager_.GetTexture(sprite);
  if (!texture || !renderer_.SetTarget(texture)) return false;
  texture->SetOpaque(opaque);
  return true;
}

void TKLDDirectXHelper::EndSpriteTarget() {
  renderer_.SetTarget(nullptr);
  // The back buffer's clip viewport comes back with it.
}

// ----- players -----

bool TKLDDirectXHelper::CreateVideoPlayer(const std::string& fileName) {
  if (videoPlayer_ || !playerFactory_) return false;
  videoPlayer_ = playerFactory_(fileName, true);
  return videoPlayer_ != nullptr;
}

bool TKLDDirectXHelper::CreateVisualisationPlayer(const std::string& fileName) {
  if (visualisationPlayer_ || !playerFactory_) return false;
  visualisationPlayer_ = playerFactory_(fileName, false);
  return visualisationPlayer_ != nullptr;
}

bool TKLDDirectXHelper::AttachVisualisationPlayer(std::unique_ptr<TKLDDXPlayer>& player) {
  if (visualisationPlayer_ || !player) return false;
  visualisationPlayer_ = std::move(player);
  return true;
}

void TKLDDirectXHelper::ReleaseVideoPlayer() {
  TKLDDXPlayer::Release(videoPlayer_);
}

void TKLDDirectXHelper::ReleaseVisualisationPlayer() {
  TKLDDXPlayer::Release(visualisationPlayer_);
}

}  // namespace lorvane
