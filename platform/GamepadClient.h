#pragma once
// Game controllers through SDL's game controller API: the controllers SDL knows (its own
// database, and the mappings the user gives in SDL_GAMECONTROLLERCONFIG, which SDL reads when the
// subsystem starts) are opened as they are plugged in and closed as they are taken out. Their
// buttons, stick directions and triggers come out as presses and releases of controls named as
// SDL names them. Everything here runs on the main thread, from the SDL events the loop takes.
#include <cstdint>
#include <string>
#include <vector>

union SDL_Event;

namespace lorvane {

struct TGamepadEvent {
  int pad = 0;          // SDL's instance number of the controller
  std::string control;  // "a", "dpup", "leftx-", "lefttrigger"
  bool pressed = true;
  bool operator==(const TGamepadEvent&) const = default;
};

class TGamepadClient {
 public:
  // Percent of a stick's or trigger's full travel.
  static constexpr int kDefaultDeadZone = 30;
  static constexpr int kDefaultThreshold = 60;

  // The name a control is known by, lower case: a button as SDL names it ("a", "start",
  // "dpup"), a stick's axis with the direction ("leftx-", "lefty+"), a trigger ("lefttrigger";
  // "lefttrigger+" says the same). Empty when `name` names no control.
  static std::string ControlName(const std::string& name);

  TGamepadClient();
  ~TGamepadClient();
  TGamepadClient(const TGamepadClient&) = delete;
  TGamepadClient& operator=(const TGamepadClient&) = delete;

  // Starts SDL's game controller subsystem. False with the reason when SDL cannot.
  bool Start(std::string& problem);
  void Stop();
  bool Running() const { return started_; }
  // How many of the joysticks present at start are game controllers (they arrive as events).
  int ControllersPresent() const;
  size_t Open() const;

  // A stick direction or trigger is pressed from `threshold` percent of its travel on and
  // released when it falls back under `deadZone` percent, so a resting stick sends nothing and
  // one held near the threshold does not flicker.
  void SetDeadZone(int deadZone, int threshold);

  // Every SDL event of the main thread: true when it was a controller's; what the controls did
  // is appended to `events`.
  bool HandleEvent(const SDL_Event& event, std::vector<TGamepadEvent>& events);

 private:
  struct Pad;
  Pad* Find(int instance);
  void Added(int deviceIndex);
  void Removed(int instance, std::vector<TGamepadEvent>& events);
  void Axis(Pad& pad, int axis, int value, std::vector<TGamepadEvent>& events);

  bool started_ = false;
  int deadZone_ = 0;   // in axis units
  int threshold_ = 0;
  std::vector<Pad> pads_;
};

}  // namespace lorvane
