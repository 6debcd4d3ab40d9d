#pragma once
// The window the interface is drawn in. The host loop hands every SDL event to
// TKLDScreen::HandleEvent; the form reacts to those of its own window and calls the hooks the
// application manager set.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/SdlWindow.h"

union SDL_Event;

namespace lorvane {

// What the window's events ask of the application manager.
struct TKLDScreenHooks {
  std::function<void()> CloseRequested;  // CloseInterface
  std::function<bool(int)> KeyDown;      // ProcessKey(virtual-key code); true = consumed
  std::function<void()> Suspend;         // minimised (and Close)
  std::function<void()> Resume;          // restored or maximised
  std::function<void()> Activate;        // the window gained the keyboard focus
  std::function<void()> Deactivate;      // the window lost it
};

enum class TKLDWindowState : uint8_t { Normal, Minimised, Maximised };

class TKLDScreenForm {
 public:
  static constexpr const char* Caption = "lorvane";
  static constexpr int MinimumWidth = 200;
  static constexpr int MinimumHeight = 150;

  explicit TKLDScreenForm(TKLDScreenHooks* hooks) : hooks_(hooks) {}

  // Creates the hidden window and hides the mouse pointer.
  bool Create(std::string& error);
  bool Created() const { return window_.Valid(); }

  // Client size, and the window moved to the top-left corner of its display.
  void SetClientSize(int width, int height);
  // Borderless and on top when true; a normal window otherwise.
  void SetFullScreen(bool fullscreen);
  bool FullScreen() const { return fullScreen_; }

  void Show() { window_.Show(); }
  void Hide() { window_.Hide(); }
  bool Visible() const { return window_.Visible(); }
  void BringToFront();

  // Reacts to an event of this window; false when the event is not the window's.
  bool HandleEvent(const SDL_Event& event);

  TKLDSdlWindow& Window() { return window_; }
  TKLDWindowState LastWindowState() const { return lastState_; }

 private:
  void WindowStateChanged(TKLDWindowState state);
  TKLDWindowState CurrentState() const;

  TKLDScreenHooks* hooks_;
  TKLDSdlWindow window_;
  TKLDWindowState lastState_ = TKLDWindowState::Normal;
  int mouseDownX_ = 0;
  int mouseDownY_ = 0;
  bool fullScreen_ = false;
};

}  // namespace lorvane
