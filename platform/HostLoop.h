#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

union SDL_Event;

namespace lorvane {

// The windowing host: SDL's event queue stands in for the message loop and its idle handler.
class THostLoop {
 public:
  // Headless runs use the offscreen video driver, the software renderer and no sound device.
  static void ConfigureHeadless();
  // A resident host outlives its windows: closing the last one must not end the loop (only a
  // quit signal does). Call before Initialise.
  static void ConfigureResident();
  // Initialises SDL's video and event subsystems; false with the reason logged when it fails.
  static bool Initialise();
  static void Finalise();

  using EventHandler = std::function<void(const SDL_Event&)>;
  // Handles every pending event; returns false when the application was told to quit.
  static bool PumpEvents(const EventHandler& handler);
  // Waits up to timeoutMs for one event and handles it; returns false on quit.
  static bool WaitEvent(const EventHandler& handler, uint32_t timeoutMs);
  // Waits up to timeoutMs until an event is queued, leaving it queued for the next PumpEvents.
  static void WaitForEvent(uint32_t timeoutMs);
  // Wakes a WaitEvent from the main thread or any other.
  static void PostWake();
  static void SleepMs(uint32_t ms);
  // Keeps the display awake (the system screen saver and power-off); returns whether the
  // system's screen saver was allowed before, so that the caller can give it back.
  static bool KeepAwake();
  // Gives the display its screen saver and power-off back.
  static void AllowSleep();
  static bool SystemScreenSaverAllowed();
  // SDL turns the desktop's screen saver off for as long as video runs unless told otherwise;
  // lorvane decides that itself (see KeepAwake), so this is set before every video start.
  static void AllowScreenSaverHint();
  // True when there is a display a dialog can appear on.
  static bool HasDisplay();
};

// The modal unhandled-error dialog. Without a display the text goes to stderr and the
// choice is Abort. Returns true when the user chose Ignore.
bool ShowErrorDialog(const std::string& title, const std::string& text, bool offerIgnore);

// A modal dialog offering `buttons` (the first is the default). Returns the chosen button's index,
// or -1 when there is no display or the dialog could not be shown.
int ShowChoiceDialog(const std::string& title, const std::string& text, const std::vector<std::string>& buttons);

// Opens a web address in the user's browser (xdg-open) without waiting for it; failures are ignored.
void OpenWebAddress(const std::string& address);

}  // namespace lorvane
