#pragma once
// The device helper and its three resource managers: everything that draws to the display goes
// through here. The device is an SDL renderer; "texture" means an SDL texture.
//
// Usage from drawing code (canvas, graphics, render cache, renderers):
//
//   TKLDDirectXHelper* dx = DirectXHelper();                 // the process-wide helper
//   std::unique_ptr<TKLDDXSprite> sprite = dx->SpriteManager().CreateSprite(w, h);
//   TKLDBitmapDescription bits;                              // Cairo ARGB32 pixels (premultiplied)
//   bits.Width = w; bits.Height = h; bits.Stride = cairo_image_surface_get_stride(s);
//   bits.Bits = cairo_image_surface_get_data(s);             // after cairo_surface_flush(s)
//   if (!sprite->CreationAttempted())                        // first use, or released by a device loss
//     dx->SpriteManager().UploadBits(sprite.get(), bits);    // creates the texture, un-premultiplies
//   dx->RenderSprite(sprite.get(), {0, 0, w, h}, tint, {x, y, x + w, y + h});
//
//   if (sprite->OpenDC()) {                                  // Cairo straight onto the sprite's pixels
//     cairo_t* cr = sprite->DC(); ... ; sprite->CloseDC();
//   }
//
// Rectangles here are edge rectangles (left, top, right, bottom). Colours are 32-bit ARGB; an
// absent optional colour means "no tint" / "no colour". A sprite belongs to whoever created it;
// destroying it releases its texture and unregisters it.
#include <atomic>
#include <cstdint>
#include <functional>
#include <unordered_map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/PangoText.h"
#include "platform/SdlRenderer.h"

typedef struct _cairo cairo_t;

namespace lorvane {

class TKLDDirectXHelper;
class TKLDScreenForm;
class TKLDDisplayModes;
class TKLDSpriteContext;

// An edge rectangle in pixels.
struct TKLDDXRect {
  int Left = 0;
  int Top = 0;
  int Right = 0;
  int Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool operator==(const TKLDDXRect&) const = default;
};

// Pixels handed to the upload operations: 32 bits a pixel, B, G, R, A in memory order (Cairo's
// ARGB32 on a little-endian machine). Cairo's pixels are premultiplied; set Premultiplied to false
// for pixels that already carry straight alpha (or are opaque, which is faster).
struct TKLDBitmapDescription {
  int Width = 0;
  int Height = 0;
  int Stride = 0;
  int BytesPerPixel = 4;
  uint8_t* Bits = nullptr;
  bool WriteAccess = false;
  bool Premultiplied = true;
};

// What the text path needs of a canvas font. The font manager keys its cache on the address of
// this object, so a canvas font should own one (or derive from it) for its whole life.
struct TKLDFontStyle {
  std::string Name = "Arial";
  int Size = 10;  // points
  uint32_t Colour = 0xFFFFFFFF;
  bool Bold = false;
  bool Italic = false;
  bool Underline = false;  // carried, not drawn
  bool Shadow = false;
  uint32_t ShadowColour = 0xFF000000;
  int ShadowOffsetX = 0;
  int ShadowOffsetY = 0;
};

enum class TKLDTextAlign : uint8_t { Left, Right, Centre };

// The canvas-colour modifier rule: each channel scaled by the modifier's when the modifier is
// present and not opaque white.
uint32_t CombineColour(uint32_t colour, std::optional<uint32_t> modifier);

// ---------------------------------------------------------------------------------------------
// Sprites

class TKLDDXSpriteManager;

class TKLDDXSprite {
 public:
  ~TKLDDXSprite();
  TKLDDXSprite(const TKLDDXSprite&) = delete;
  TKLDDXSprite& operator=(const TKLDDXSprite&) = delete;

  TKLDDXRect GetBounds() const { return {0, 0, width_, height_}; }
  int Width() const { return width_; }
  int Height() const { return height_; }
  // A change releases the texture; the same size keeps it.
  void SetSize(int width, int height);
  bool AlphaChannel() const { return alphaChannel_; }
  void SetAlphaChannel(bool alpha);
  bool CreationAttempted() const { return creationAttempted_; }
  bool HasTexture() const { return texture_.Valid(); }
  // A sprite drawn into (BeginSpriteTarget) rather than uploaded to; a change drops the texture.
  void SetRenderTarget(bool target);
  bool RenderTarget() const { return renderTarget_; }
  // How many textures this sprite has created so far (tests and diagnostics).
  int TexturesCreated() const { return texturesCreated_; }

  // A Cairo context on the texture's pixels between OpenDC and CloseDC. OpenDC needs an existing
  // texture (it does not create one).
  bool OpenDC();
  void CloseDC();
  cairo_t* DC() const;

  void ReleaseTexture();

 private:
  friend class TKLDDXSpriteManager;
  friend class TKLDDirectXHelper;
  TKLDDXSprite(TKLDDXSpriteManager* manager, int width, int height);

  TKLDDXSpriteManager* manager_;
  bool alphaChannel_ = true;
  bool renderTarget_ = false;
  int width_;
  int height_;
  bool creationAttempted_ = false;
  int texturesCreated_ = 0;
  TKLDSdlTexture texture_;
  std::unique_ptr<TKLDSpriteContext> dc_;
};

class TKLDDXSpriteManager {
 public:
  explicit TKLDDXSpriteManager(TKLDDirectXHelper* helper) : helper_(helper) {}
  ~TKLDDXSpriteManager();

  // None (with a warning) when either size is 0; negative sizes are accepted.
  std::unique_ptr<TKLDDXSprite> CreateSprite(int width, int height);
  // A sprite sized later (−1 × −1).
  std::unique_ptr<TKLDDXSprite> CreateSprite() { return CreateSprite(-1, -1); }
  // Anything with Width() and Height() (a graphic); none for no graphic.
  template <class G>
  std::unique_ptr<TKLDDXSprite> CreateSpriteFor(const G* graphic) {
    if (!graphic) return nullptr;
    return CreateSprite(graphic->Width(), graphic->Height());
  }

  // The sprite's texture, created on first use (once between releases).
  TKLDSdlTexture* GetTexture(TKLDDXSprite* sprite);
  bool UploadBits(TKLDDXSprite* sprite, const TKLDBitmapDescription& bits);
  void ReleaseTextures();
  void Unregister(TKLDDXSprite* sprite);
  int Count() const { return static_cast<int>(sprites_.size()); }

 private:
  TKLDDirectXHelper* helper_;
  std::vector<TKLDDXSprite*> sprites_;
};

// ---------------------------------------------------------------------------------------------
// Surfaces: pictures copied to the back buffer unscaled and unblended.

class TKLDDXSurfaceManager;

class TKLDDXSurface {
 public:
  ~TKLDDXSurface();
  TKLDDXSurface(const TKLDDXSurface&) = delete;
  TKLDDXSurface& operator=(const TKLDDXSurface&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  void SetSize(int width, int height);
  bool CreationAttempted() const { return creationAttempted_; }
  bool HasSurface() const { return texture_.Valid(); }
  void ReleaseSurface();

 private:
  friend class TKLDDXSurfaceManager;
  friend class TKLDDirectXHelper;
  TKLDDXSurface(TKLDDXSurfaceManager* manager, int width, int height);

  TKLDDXSurfaceManager* manager_;
  int width_;
  int height_;
  bool creationAttempted_ = false;
  TKLDSdlTexture texture_;
};

class TKLDDXSurfaceManager {
 public:
  explicit TKLDDXSurfaceManager(TKLDDirectXHelper* helper) : helper_(helper) {}
  ~TKLDDXSurfaceManager();

  std::unique_ptr<TKLDDXSurface> CreateSurface(int width, int height);
  template <class G>
  std::unique_ptr<TKLDDXSurface> CreateSurfaceFor(const G* graphic) {
    if (!graphic) return nullptr;
    return CreateSurface(graphic->Width(), graphic->Height());
  }
  TKLDSdlTexture* GetSurface(TKLDDXSurface* surface);
  bool UploadBits(TKLDDXSurface* surface, const TKLDBitmapDescription& bits);
  void ReleaseSurfaces();
  void Unregister(TKLDDXSurface* surface);
  int Count() const { return static_cast<int>(surfaces_.size()); }

 private:
  TKLDDirectXHelper* helper_;
  std::vector<TKLDDXSurface*> surfaces_;
};

// ---------------------------------------------------------------------------------------------
// Fonts: one Pango font per canvas font; each keeps its laid-out texts as textures, rebuilt only
// when the text, the box or the flags change.

struct TKLDDXFont {
  const TKLDFontStyle* CanvasFont = nullptr;  // the cache key, by identity; not owned
  std::unique_ptr<TKLDPangoFont> Font;
  struct Text {
    TKLDSdlTexture Texture;
    TKLDDXRect Ink;  // where the texture lies, relative to the box's top-left corner
    uint32_t LastUsed = 0;
  };
  std::unordered_map<std::string, Text> Texts;
  int TextsBuilt = 0;
};

class TKLDDXFontManager {
 public:
  explicit TKLDDXFontManager(TKLDDirectXHelper* helper) : helper_(helper) {}

  TKLDDXFont* GetFont(const TKLDFontStyle* canvasFont);
  int Count() const { return static_cast<int>(fonts_.size()); }
  TKLDDXFont* Item(int index) const;
  // Laid-out texts are device resources: dropped on a loss, rebuilt on next use.
  void DeviceLost();
  void DeviceReset() {}
  void ReleaseAll();
  // Drops laid-out texts not drawn for a while (called once a frame).
  void Expire(uint32_t frame);

  static constexpr int PointsPerInch = 72;
  int PixelsPerInch() const { return pixelsPerInch_; }
  void SetPixelsPerInch(int ppi) { pixelsPerInch_ = ppi; }

 private:
  TKLDDirectXHelper* helper_;
  std::vector<std::unique_ptr<TKLDDXFont>> fonts_;
  int pixelsPerInch_ = 96;
};

// ---------------------------------------------------------------------------------------------
// The device helper.

// A video or visualisation player; the media subsystem supplies the real ones.
class TKLDDXPlayer {
 public:
  virtual ~TKLDDXPlayer() = default;
  virtual void Shutdown() = 0;
  virtual void Render(const TKLDDXRect& rect) = 0;
  // Ends a player its slot let go of (self is this player). By default at once; a player whose
  // shutdown waits lets go of what belongs to the frame thread and is destroyed elsewhere.
  virtual void Dispose(std::unique_ptr<TKLDDXPlayer> self) {
    Shutdown();
    self.reset();
  }
  static void Release(std::unique_ptr<TKLDDXPlayer>& slot) {
    if (TKLDDXPlayer* player = slot.get()) player->Dispose(std::move(slot));
  }
};

class TKLDDirectXHelper {
 public:
  TKLDDirectXHelper();
  ~TKLDDirectXHelper();
  TKLDDirectXHelper(const TKLDDirectXHelper&) = delete;
  TKLDDirectXHelper& operator=(const TKLDDirectXHelper&) = delete;

  void AttachWindow(TKLDScreenForm* form) { screenForm_ = form; }
  void SetDisplaySize(int width, int height);
  void SetAdapter(int adapter) { adapter_ = adapter; }
  void SetFullscreen(bool fullscreen) { fullscreen_ = fullscreen; }
  void SetWideScreen(bool wide) { wideScreen_ = wide; }
  // The display-mode list that Initialise fills (the screen's).
  void SetDisplayModes(TKLDDisplayModes* modes) { modes_ = modes; }
  // Vertical sync (and the 60 Hz pacing of a display without it); off for benchmarks.
  void SetVSync(bool vsync);
  bool VSync() const { return vsync_; }

  // Raises TKLDException "Critical DirectX error encountered.\r\n..." when no device can be made.
  bool Initialise();
  void Finalise();
  bool Initialised() const { return renderer_.Valid(); }

  bool BeginFrame();
  void EndFrame();
  void PresentFrame();
  // While paced to the display (vertical sync), a frame whose drawing names exactly what the last
  // drawn frame named is neither drawn nor presented; PresentFrame then rests until the next
  // display tick or an event. On by default; tests turn it off to see every frame drawn.
  void SetSkipUnchangedFrames(bool skip) { skipUnchanged_ = skip; }
  bool SkipUnchangedFrames() const { return skipUnchanged_; }
  // Whether the frame that just ended was drawn (false: skipped as unchanged).
  bool FrameDrawn() const { return drawn_; }
  uint64_t FramesDrawn() const { return framesDrawn_; }
  uint64_t FramesSkipped() const { return framesSkipped_; }
  // The next frame is drawn whatever it shows (the window was uncovered, resized or restored).
  void ForgetLastFrame();
  // How a skipped frame rests: waits up to the given milliseconds, returning early when an event
  // arrives. Without one it simply sleeps. The host sets one that watches its event queue.
  void SetIdleWait(std::function<void(uint32_t ms)> wait) { idleWait_ = std::move(wait); }

  void SetClipViewport(const TKLDDXRect& rect);
  void ResetClipViewport();
  bool Clipped() const { return clipped_; }

  // Replaces the pixels of the rectangle (no blending).
  void FillRect(const TKLDDXRect& rect, std::optional<uint32_t> colour);
  void RenderVideo(const TKLDDXRect& rect, std::optional<uint32_t> colour);
  void RenderSurface(TKLDDXSurface* surface, const TKLDDXRect& rect);
  void RenderSprite(TKLDDXSprite* sprite, const TKLDDXRect& dest, std::optional<uint32_t> tint = {});
  void RenderSprite(TKLDDXSprite* sprite, const TKLDDXRect& source, std::optional<uint32_t> tint,
                    const TKLDDXRect& dest);
  // Angle in radians, clockwise on screen, about the centre of the drawn rectangle.
  void RenderSprite(TKLDDXSprite* sprite, const TKLDDXRect& source, float angle, bool flipVertical,
                    bool flipHorizontal, std::optional<uint32_t> tint, const TKLDDXRect& dest);
  void FlushSprites() {}
  // Drawing between these two goes into a render-target sprite (SetRenderTarget) instead of the
  // back buffer, in the sprite's own pixels and without the clip viewport; the sprite can then be
  // drawn, scaled, like any other. Opaque promises that the drawing covers every pixel with an
  // opaque colour, so that the sprite is copied rather than blended. False without a texture.
  bool BeginSpriteTarget(TKLDDXSprite* sprite, bool opaque);
  void EndSpriteTarget();
  // Returns where the text's pixels lie (its shadow aside); empty when nothing was drawn.
  TKLDDXRect RenderText(const TKLDDXRect& rect, const TKLDFontStyle* font, const std::string& text,
                        TKLDTextAlign align = TKLDTextAlign::Left, std::optional<uint32_t> modifier = {},
                        bool wordWrap = false);

  // Player slots: the media subsystem fills them through these factories.
  using PlayerFactory = std::unique_ptr<TKLDDXPlayer> (*)(const std::string& fileName, bool video);
  void SetPlayerFactory(PlayerFactory factory) { playerFactory_ = factory; }
  bool HasPlayerFactory() const { return playerFactory_ != nullptr; }
  bool CreateVideoPlayer(const std::string& fileName);
  bool CreateVisualisationPlayer(const std::string& fileName);
  void ReleaseVideoPlayer();
  void ReleaseVisualisationPlayer();
  TKLDDXPlayer* VideoPlayer() const { return videoPlayer_.get(); }
  TKLDDXPlayer* VisualisationPlayer() const { return visualisationPlayer_.get(); }
  // A music player fading out leaves the slot (so a new one can start at once) and may come
  // back when a pause's fade is cancelled; Attach fails while the slot is taken.
  std::unique_ptr<TKLDDXPlayer> DetachVisualisationPlayer() { return std::move(visualisationPlayer_); }
  bool AttachVisualisationPlayer(std::unique_ptr<TKLDDXPlayer>& player);
  // Written by a player's opening thread, read by the frame.
  int VideoStage() const { return videoStage_; }
  void SetVideoStage(int stage) { videoStage_ = stage; }

  TKLDDXFontManager& FontManager() { return fontManager_; }
  TKLDDXSpriteManager& SpriteManager() { return spriteManager_; }
  TKLDDXSurfaceManager& SurfaceManager() { return surfaceManager_; }
  TKLDSdlRenderer& Renderer() { return renderer_; }

  int Adapter() const { return adapter_; }
  bool Fullscreen() const { return fullscreen_; }
  bool WideScreen() const { return wideScreen_; }
  int DisplayWidth() const { return displayWidth_; }
  int DisplayHeight() const { return displayHeight_; }
  bool DeviceLost() const { return deviceLost_; }
  uint32_t FrameNumber() const { return frameNumber_; }

  // Simulates the renderer losing its device, through the same event a real loss sends.
  void ForceDeviceLoss();
  // Pixels of the frame being drawn (call before PresentFrame), ARGB, row after row.
  bool ReadFrame(std::vector<uint32_t>& pixels, int& width, int& height);
  // Keeps a copy of every presented frame for SaveScreenshot (costs one read-back a frame).
  void SetFrameCapture(bool capture) { capture_ = capture; }
  // Writes the next presented frame to a PNG file.
  void RequestScreenshot(const std::string& path) { pendingShot_ = path; }
  // Writes the last presented frame (or, without capture, what the renderer holds now).
  bool SaveScreenshot(const std::string& path);

  // Texture formats and pools under the names the log has always used for them.
  static std::string FormatName(uint32_t format);
  static std::string PoolName(int pool);

 private:
  void CheckResult(bool ok, const char* what);
  bool RecoverDevice();
  bool CreateRenderer(std::string& error);
  void Capture();
  static void OnDeviceReset(void* self);

  int adapter_ = 0;
  bool fullscreen_ = false;
  bool wideScreen_ = false;
  bool vsync_ = true;
  bool skipUnchanged_ = true;
  bool drawn_ = true;
  uint64_t framesDrawn_ = 0;
  uint64_t framesSkipped_ = 0;
  std::function<void(uint32_t ms)> idleWait_;
  int displayWidth_ = 800;
  int displayHeight_ = 600;
  TKLDScreenForm* screenForm_ = nullptr;
  TKLDDisplayModes* modes_ = nullptr;
  TKLDSdlRenderer renderer_;
  bool deviceLost_ = false;
  std::atomic<bool> lossSignalled_{false};
  std::unique_ptr<TKLDDeviceResetWatch> resetWatch_;
  bool clipped_ = false;
  bool inFrame_ = false;
  uint32_t frameNumber_ = 0;
  uint64_t nextPresentNs_ = 0;
  bool capture_ = false;
  std::string pendingShot_;
  std::vector<uint32_t> lastFrame_;
  int lastFrameWidth_ = 0;
  int lastFrameHeight_ = 0;
  std::atomic<int> videoStage_{0};
  PlayerFactory playerFactory_ = nullptr;
  std::unique_ptr<TKLDDXPlayer> videoPlayer_;
  std::unique_ptr<TKLDDXPlayer> visualisationPlayer_;
  TKLDDXFontManager fontManager_;
  TKLDDXSpriteManager spriteManager_;
  TKLDDXSurfaceManager surfaceManager_;
};

// The process-wide helper (null before the display module starts).
TKLDDirectXHelper* DirectXHelper();
void SetGlobalDirectXHelper(TKLDDirectXHelper* helper);

}  // namespace lorvane
