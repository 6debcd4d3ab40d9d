#pragma once
// The process-wide screen: the interface's window, the screen and design sizes, the display
// modes, and the conversion of theme coordinates into pixels. The device itself belongs to the
// device helper (DirectXHelper.h).
//
// Start-up (the lead's wiring): a TKLDDisplayModule made at program load creates the helper and
// the screen and publishes them through DirectXHelper() and Screen(). Then, per interface run:
// Prepare, SetSize/SetFullScreen/SetWideScreen/SetDisplayAdapter from the preferences, SetDesignSize
// from the theme, Open (raises "Critical DirectX error encountered." ...), BeginFrame/EndFrame/
// PresentFrame each frame, Close. Every SDL event goes to HandleEvent.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "render/DirectXHelper.h"
#include "render/ScreenForm.h"

union SDL_Event;

namespace lorvane {

class TKLDCanvas;
class TKLDDrawBuffer;
class TKLDViewport;

class TKLDDisplayMode {
 public:
  TKLDDisplayMode(int width, int height, int bits) : width_(width), height_(height), bitsPerPixel_(bits) {}
  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bitsPerPixel_; }
  // "1024 x 768"
  std::string DisplayText() const;

 private:
  int width_;
  int height_;
  int bitsPerPixel_;
};

class TKLDDisplayModes {
 public:
  // Adds a mode unless an equal one exists; returns the one in the list.
  TKLDDisplayMode* AddMode(int width, int height, int bits);
  TKLDDisplayMode* FindMode(int width, int height, int bits) const;
  bool HasMode(int width, int height, int bits) const { return FindMode(width, height, bits) != nullptr; }
  TKLDDisplayMode* Item(int index) const;
  int Count() const { return static_cast<int>(modes_.size()); }
  void ClearModes() { modes_.clear(); }

 private:
  std::vector<std::unique_ptr<TKLDDisplayMode>> modes_;
};

class TKLDScreen {
 public:
  explicit TKLDScreen(TKLDDirectXHelper* helper);
  ~TKLDScreen();
  TKLDScreen(const TKLDScreen&) = delete;
  TKLDScreen& operator=(const TKLDScreen&) = delete;

  // Creates the window where missing, then ApplySize. Raises TKLDException when SDL cannot make
  // a window.
  void Prepare();
  void ApplySize();
  void SetSize(int width, int height);
  void Open();
  void Close();
  void Shutdown() noexcept;
  bool BeginFrame();
  void EndFrame();
  void PresentFrame();
  void BringToFront();

  // Events from the host loop: those of the window go to the form; the rest are ignored.
  bool HandleEvent(const SDL_Event& event);
  TKLDScreenHooks& Hooks() { return hooks_; }

  // Told the new size whenever ApplySize runs (the draw buffer and the viewport follow it).
  void AddSizeListener(std::function<void(int width, int height)> listener);

  // The draw buffer and viewport of the screen's size (made by Prepare, kept at the screen's
  // size from then on), and the draw buffer's canvas.
  TKLDDrawBuffer& DrawBuffer();
  TKLDViewport& Viewport();
  TKLDCanvas& Canvas();

  TKLDDXRect ScreenRect() const { return {0, 0, screenWidth_, screenHeight_}; }
  int ScaleX(int x) const;
  int ScaleY(int y) const;

  int ScreenWidth() const { return screenWidth_; }
  int ScreenHeight() const { return screenHeight_; }
  int DesignWidth() const { return designWidth_; }
  int DesignHeight() const { return designHeight_; }
  void SetDesignSize(int width, int height);
  void SetDesignWidth(int width) { designWidth_ = width; }
  void SetDesignHeight(int height) { designHeight_ = height; }
  float AspectRatio() const { return aspectRatio_; }
  bool FullScreen() const { return fullScreen_; }
  void SetFullScreen(bool fullscreen) { fullScreen_ = fullscreen; }
  // A run without a display (--headless) always draws in a window of the configured size,
  // whatever the preferences say about full screen.
  void SetWindowedOnly(bool windowed) { windowedOnly_ = windowed; }
  bool WideScreen() const { return wideScreen_; }
  void SetWideScreen(bool wide) { wideScreen_ = wide; }
  unsigned DisplayAdapter() const { return displayAdapter_; }
  void SetDisplayAdapter(unsigned adapter) { displayAdapter_ = adapter; }
  // Off: no vertical sync and no 60 Hz pacing (--no-vsync, benchmarks).
  void SetVSync(bool vsync) { helper_->SetVSync(vsync); }

  TKLDDisplayModes& DisplayModes() { return modes_; }
  TKLDScreenForm* Form() { return form_.get(); }
  TKLDDirectXHelper* Helper() { return helper_; }

  // Keep every presented frame so that SaveScreenshot has it (for --screenshot).
  void SetFrameCapture(bool capture) { helper_->SetFrameCapture(capture); }
  bool SaveScreenshot(const std::string& path) { return helper_->SaveScreenshot(path); }
  // Writes the next presented frame as a PNG (scripted screenshots).
  void RequestScreenshot(const std::string& path) { helper_->RequestScreenshot(path); }

 private:
  TKLDDirectXHelper* helper_;
  TKLDScreenHooks hooks_;
  std::unique_ptr<TKLDScreenForm> form_;
  TKLDDisplayModes modes_;
  std::vector<std::function<void(int, int)>> sizeListeners_;
  int designWidth_ = 800;
  int designHeight_ = 600;
  float aspectRatio_ = 800.0f / 600.0f;
  int screenWidth_ = 800;
  int screenHeight_ = 600;
  bool fullScreen_ = false;
  bool windowedOnly_ = false;
  bool wideScreen_ = false;
  unsigned displayAdapter_ = 0;
  bool followed_ = false;
};

// The process-wide screen (null before the display module starts).
TKLDScreen* Screen();
void SetGlobalScreen(TKLDScreen* screen);

// Creates the device helper and the screen, in that order, and publishes both; frees them in
// reverse order. One per process, made at program load.
class TKLDDisplayModule {
 public:
  TKLDDisplayModule();
  ~TKLDDisplayModule();
  TKLDDisplayModule(const TKLDDisplayModule&) = delete;
  TKLDDisplayModule& operator=(const TKLDDisplayModule&) = delete;
  TKLDScreen& Screen() { return *screen_; }
  TKLDDirectXHelper& Helper() { return *helper_; }

 private:
  std::unique_ptr<TKLDDirectXHelper> helper_;
  std::unique_ptr<TKLDScreen> screen_;
};

}  // namespace lorvane
