#pragma once
// The SDL window of the interface and SDL's display queries.
#include <cstdint>
#include <string>
#include <vector>

struct SDL_Window;
union SDL_Event;

namespace lorvane {

struct TKLDVideoMode {
  int Width = 0;
  int Height = 0;
  int BitsPerPixel = 32;  // 16 for the 15/16-bit formats, 32 otherwise
  uint32_t Format = 0;
};

// Starts SDL's video subsystem when nobody has yet (the host loop normally has).
bool StartVideo(std::string& error);
int DisplayCount();
bool DisplayExists(int display, std::string& error);
bool DesktopMode(int display, TKLDVideoMode& mode, std::string& error);
std::vector<TKLDVideoMode> DisplayModes(int display);
// True on SDL's offscreen and dummy drivers: there is no monitor and so no retrace to wait for.
bool HeadlessVideo();
std::string VideoError();

// A window event, told apart from SDL's event union.
struct TKLDWindowEvent {
  enum Kind : uint8_t { None, Close, KeyDown, MouseDown, MouseMove, Minimised, Restored, Maximised, FocusGained, FocusLost,
              Exposed };  // Exposed: shown, uncovered or resized, so its picture must be drawn again
  Kind kind = None;
  int Key = 0;  // virtual-key number for KeyDown (0 when the key has none)
  int X = 0;
  int Y = 0;
  bool LeftButton = false;  // MouseDown: the left button; MouseMove: left button held
};

// What an SDL event means for the window with this id (None when it is not the window's).
TKLDWindowEvent TranslateWindowEvent(const SDL_Event& event, uint32_t windowId);

class TKLDSdlWindow {
 public:
  TKLDSdlWindow() = default;
  ~TKLDSdlWindow() { Destroy(); }
  TKLDSdlWindow(const TKLDSdlWindow&) = delete;
  TKLDSdlWindow& operator=(const TKLDSdlWindow&) = delete;

  // Created hidden.
  bool Create(const std::string& caption, int width, int height, std::string& error);
  void Destroy();
  bool Valid() const { return window_ != nullptr; }
  SDL_Window* Handle() const { return window_; }
  uint32_t Id() const;

  void Show();
  void Hide();
  bool Visible() const;
  void SetClientSize(int width, int height);
  void ClientSize(int& width, int& height) const;
  void Move(int x, int y);
  // Moves the window to the top-left corner of a display (of its own display when -1).
  void MoveToDisplay(int display);
  void Position(int& x, int& y) const;
  void SetMinimumSize(int width, int height);
  void SetBorderless(bool borderless);
  void SetAlwaysOnTop(bool onTop);
  // Exclusive full-screen in the given mode on the window's display, or back to a window.
  bool SetExclusiveFullScreen(bool fullscreen, int width, int height, std::string& error);
  bool Minimised() const;
  bool Maximised() const;
  bool HasInputFocus() const;
  void Minimise();
  void Restore();
  void Raise();
  static void HideCursor();

 private:
  SDL_Window* window_ = nullptr;
};

}  // namespace lorvane
