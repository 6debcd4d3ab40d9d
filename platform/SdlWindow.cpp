#include "platform/SdlWindow.h"
#include "platform/SdlMemory.h"

#include <SDL.h>

#include <cstring>

#include "platform/HostLoop.h"
#include "platform/VirtualKeys.h"

namespace lorvane {

std::string VideoError() {
  const char* text = SDL_GetError();
  return text && *text ? text : "unknown SDL error";
}

bool StartVideo(std::string& error) {
  if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
  THostLoop::AllowScreenSaverHint();
  UseLargeBlocksForSdl();
  if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
    error = VideoError();
    return false;
  }
  return true;
}

int DisplayCount() {
  int count = SDL_GetNumVideoDisplays();
  return count < 0 ? 0 : count;
}

bool DisplayExists(int display, std::string& error) {
  if (display < 0 || display >= DisplayCount()) {
    error = "display " + std::to_string(display) + " does not exist";
    return false;
  }
  SDL_Rect bounds;
  if (SDL_GetDisplayBounds(display, &bounds) != 0) {
    error = VideoError();
    return false;
  }
  return true;
}

static TKLDVideoMode FromSdl(const SDL_DisplayMode& m) {
  int bits = SDL_BITSPERPIXEL(m.format);
  return TKLDVideoMode{m.w, m.h, bits == 15 || bits == 16 ? 16 : 32, m.format};
}

bool DesktopMode(int display, TKLDVideoMode& mode, std::string& error) {
  SDL_DisplayMode m{};
  if (SDL_GetDesktopDisplayMode(display, &m) != 0) {
    error = VideoError();
    return false;
  }
  mode = FromSdl(m);
  return true;
}

std::vector<TKLDVideoMode> DisplayModes(int display) {
  std::vector<TKLDVideoMode> modes;
  int count = SDL_GetNumDisplayModes(display);
  for (int i = 0; i < count; ++i) {
    SDL_DisplayMode m{};
    if (SDL_GetDisplayMode(display, i, &m) == 0) modes.push_back(FromSdl(m));
  }
  return modes;
}

bool HeadlessVideo() {
  const char* driver = SDL_GetCurrentVideoDriver();
  return !driver || std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0;
}

bool TKLDSdlWindow::Create(const std::string& caption, int width, int height, std::string& error) {
  Destroy();
  window_ = SDL_CreateWindow(caption.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width > 0 ? width : 1,
                             height > 0 ? height : 1, SDL_WINDOW_HIDDEN);
  if (!window_) {
    error = VideoError();
    return false;
  }
  return true;
}

void TKLDSdlWindow::Destroy() {
  if (window_ && SDL_WasInit(SDL_INIT_VIDEO)) SDL_DestroyWindow(window_);
  window_ = nullptr;
}

uint32_t TKLDSdlWindow::Id() const { return window_ ? SDL_GetWindowID(window_) : 0; }
void TKLDSdlWindow::Show() { if (window_) SDL_ShowWindow(window_); }
void TKLDSdlWindow::Hide() { if (window_) SDL_HideWindow(window_); }
bool TKLDSdlWindow::Visible() const { return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN); }

// SDL learns where the window really is from the window system's answer, an event. Until that
// event is read, it keeps the place the window was created at as the window's own; a window
// made again under it (as an OpenGL renderer does) or put back from full screen then goes
// there. Without a window manager nothing else moves it, so a full-screen window would sit
// where a small window was once centred. Reading the events at once keeps SDL's record true.
static void TakeWindowSystemAnswer() { SDL_PumpEvents(); }

void TKLDSdlWindow::SetClientSize(int width, int height) {
  if (!window_ || width <= 0 || height <= 0) return;
  SDL_SetWindowSize(window_, width, height);
  TakeWindowSystemAnswer();
}

void TKLDSdlWindow::ClientSize(int& width, int& height) const {
  width = height = 0;
  if (window_) SDL_GetWindowSize(window_, &width, &height);
}

void TKLDSdlWindow::Move(int x, int y) {
  if (!window_) return;
  SDL_SetWindowPosition(window_, x, y);
  TakeWindowSystemAnswer();
}

void TKLDSdlWindow::MoveToDisplay(int display) {
  if (!window_) return;
  if (display < 0) display = SDL_GetWindowDisplayIndex(window_);
  SDL_Rect bounds{0, 0, 0, 0};
  if (display >= 0 && SDL_GetDisplayBounds(display, &bounds) == 0) SDL_SetWindowPosition(window_, bounds.x, bounds.y);
  else SDL_SetWindowPosition(window_, 0, 0);
  TakeWindowSystemAnswer();
}

TKLDWindowEvent TranslateWindowEvent(const SDL_Event& event, uint32_t windowId) {
  TKLDWindowEvent out;
  switch (event.type) {
    case SDL_WINDOWEVENT:
      if (event.window.windowID != windowId) break;
      switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE: out.kind = TKLDWindowEvent::Close; break;
        case SDL_WINDOWEVENT_MINIMIZED: out.kind = TKLDWindowEvent::Minimised; break;
        case SDL_WINDOWEVENT_RESTORED: out.kind = TKLDWindowEvent::Restored; break;
        case SDL_WINDOWEVENT_MAXIMIZED: out.kind = TKLDWindowEvent::Maximised; break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: out.kind = TKLDWindowEvent::FocusGained; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: out.kind = TKLDWindowEvent::FocusLost; break;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED: out.kind = TKLDWindowEvent::Exposed; break;
        default: break;
      }
      break;
    case SDL_KEYDOWN:
      if (event.key.windowID != windowId && event.key.windowID != 0) break;
      out.kind = TKLDWindowEvent::KeyDown;
      out.Key = VirtualKeyFromSdl(event.key.keysym.sym);
      break;
    case SDL_MOUSEBUTTONDOWN:
      if (event.button.windowID != windowId) break;
      out.kind = TKLDWindowEvent::MouseDown;
      out.X = event.button.x;
      out.Y = event.button.y;
      out.LeftButton = event.button.button == SDL_BUTTON_LEFT;
      break;
    case SDL_MOUSEMOTION:
      if (event.motion.windowID != windowId) break;
      out.kind = TKLDWindowEvent::MouseMove;
      out.X = event.motion.x;
      out.Y = event.motion.y;
      out.LeftButton = (event.motion.state & SDL_BUTTON_LMASK) != 0;
      break;
    default: break;
  }
  return out;
}

void TKLDSdlWindow::Position(int& x, int& y) const {
  x = y = 0;
  if (window_) SDL_GetWindowPosition(window_, &x, &y);
}

void TKLDSdlWindow::SetMinimumSize(int width, int height) {
  if (window_) SDL_SetWindowMinimumSize(window_, width, height);
}

void TKLDSdlWindow::SetBorderless(bool borderless) {
  if (window_) SDL_SetWindowBordered(window_, borderless ? SDL_FALSE : SDL_TRUE);
}

void TKLDSdlWindow::SetAlwaysOnTop(bool onTop) {
  if (window_) SDL_SetWindowAlwaysOnTop(window_, onTop ? SDL_TRUE : SDL_FALSE);
}

bool TKLDSdlWindow::SetExclusiveFullScreen(bool fullscreen, int width, int height, std::string& error) {
  if (!window_) {
    error = "no window";
    return false;
  }
  if (fullscreen) {
    SDL_DisplayMode wanted{SDL_PIXELFORMAT_RGB888, width, height, 0, nullptr};
    SDL_DisplayMode closest{};
    int display = SDL_GetWindowDisplayIndex(window_);
    if (SDL_GetClosestDisplayMode(display < 0 ? 0 : display, &wanted, &closest) &&
        SDL_SetWindowDisplayMode(window_, &closest) != 0) {
      error = VideoError();
      return false;
    }
  }
  if (SDL_SetWindowFullscreen(window_, fullscreen ? SDL_WINDOW_FULLSCREEN : 0) != 0) {
    error = VideoError();
    return false;
  }
  return true;
}

bool TKLDSdlWindow::Minimised() const { return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED); }
bool TKLDSdlWindow::Maximised() const { return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_MAXIMIZED); }
bool TKLDSdlWindow::HasInputFocus() const {
  return window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_INPUT_FOCUS);
}
void TKLDSdlWindow::Minimise() { if (window_) SDL_MinimizeWindow(window_); }
void TKLDSdlWindow::Restore() { if (window_) SDL_RestoreWindow(window_); }
void TKLDSdlWindow::Raise() { if (window_) SDL_RaiseWindow(window_); }
void TKLDSdlWindow::HideCursor() { SDL_ShowCursor(SDL_DISABLE); }

}  // namespace lorvane
