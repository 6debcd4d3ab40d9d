#pragma once
#include <cstdint>
#include <functional>
#include <string>

union SDL_Event;

namespace lorvane {

// The windowing host: SDL's event queue stands in for the message loop and its idle handler.
class THostLoop {
 public:
  // Headless runs use the offscreen video driver, the software renderer and no sound device.
  static void ConfigureHeadless();
  // Initialises SDL's video and event subsystems; false with the reason logged when it fails.
  static bool Initialise();
  static void Finalise();

  using EventHandler = std::function<void(const SDL_Event&)>;
  // Handles every pending event; returns false when the application was told to quit.
  static bool PumpEvents(const EventHandler& handler);
  // Waits up to timeoutMs for one event and handles it; returns false on quit.
  static bool WaitEvent(const EventHandler& handler, uint32_t timeoutMs);
  // Wakes a WaitEvent from the main thread or any other.
  static void PostWake();
  static void SleepMs(uint32_t ms);
  // Keeps the display awake (the system screen saver and power-off).
  static void KeepAwake();
  // True when there is a display a dialog can appear on.
  static bool HasDisplay();
};

// The modal unhandled-error dialog. Without a display the text goes to stderr and the
// choice is Abort. Returns true when the user chose Ignore.
bool ShowErrorDialog(const std::string& title, const std::string& text, bool offerIgnore);

}  // namespace lorvane
