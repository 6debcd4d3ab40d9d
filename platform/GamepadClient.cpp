#include "platform/GamepadClient.h"

#include <SDL.h>

#include <algorithm>
#include <cstdlib>

#include "base/Logging.h"

namespace lorvane {

namespace {

constexpr int kAxisFull = 32767;

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

bool IsTrigger(int axis) { return axis == SDL_CONTROLLER_AXIS_TRIGGERLEFT || axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT; }

std::string AxisName(int axis) {
  const char* name = SDL_GameControllerGetStringForAxis(static_cast<SDL_GameControllerAxis>(axis));
  return name ? name : "";
}

// The control a stick's axis stands for when pushed towards `sign`.
std::string Direction(int axis, int sign) { return AxisName(axis) + (sign > 0 ? "+" : "-"); }

int Units(int percent) { return std::clamp(percent, 0, 100) * kAxisFull / 100; }

}  // namespace

struct TGamepadClient::Pad {
  SDL_GameController* controller = nullptr;
  int instance = -1;
  std::string name;
  int axes[SDL_CONTROLLER_AXIS_MAX] = {};
  // The direction each stick holds (the axis and its sign), or none; the triggers' states.
  struct Held {
    int axis = -1;
    int sign = 0;
  } sticks[2];
  bool triggers[2] = {};
  std::vector<std::string> buttons;  // held
};

std::string TGamepadClient::ControlName(const std::string& raw) {
  std::string name = Lower(raw);
  if (name.empty()) return "";
  SDL_GameControllerButton button = SDL_GameControllerGetButtonFromString(name.c_str());
  if (button != SDL_CONTROLLER_BUTTON_INVALID) {
    const char* known = SDL_GameControllerGetStringForButton(button);
    // SDL also reads a few old spellings; the name it gives back is the one events carry.
    return known ? known : "";
  }
  char sign = name.back();
  std::string base = sign == '+' || sign == '-' ? name.substr(0, name.size() - 1) : name;
  SDL_GameControllerAxis axis = SDL_GameControllerGetAxisFromString(base.c_str());
  if (axis == SDL_CONTROLLER_AXIS_INVALID || base.empty()) return "";
  // A trigger travels one way only; a stick's axis needs its direction.
  if (IsTrigger(axis)) return sign == '-' ? "" : AxisName(axis);
  if (sign != '+' && sign != '-') return "";
  return Direction(axis, sign == '+' ? 1 : -1);
}

TGamepadClient::TGamepadClient() { SetDeadZone(kDefaultDeadZone, kDefaultThreshold); }

TGamepadClient::~TGamepadClient() { Stop(); }

bool TGamepadClient::Start(std::string& problem) {
  Stop();
  // A controller is a remote: it must reach lorvane whichever window has the focus (its press
  // brings the interface to the front), and while no window is open at all.
  SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, "1");
  if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
    problem = SDL_GetError();
    return false;
  }
  started_ = true;
  return true;
}

void TGamepadClient::Stop() {
  for (Pad& pad : pads_) SDL_GameControllerClose(pad.controller);
  pads_.clear();
  if (started_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
  started_ = false;
}

int TGamepadClient::ControllersPresent() const {
  if (!started_) return 0;
  int count = 0;
  for (int i = 0; i < SDL_NumJoysticks(); ++i)
    if (SDL_IsGameController(i)) ++count;
  return count;
}

size_t TGamepadClient::Open() const { return pads_.size(); }

void TGamepadClient::SetDeadZone(int deadZone, int threshold) {
  deadZone_ = Units(deadZone);
  threshold_ = std::max(Units(threshold), deadZone_);
}

TGamepadClient::Pad* TGamepadClient::Find(int instance) {
  auto found = std::find_if(pads_.begin(), pads_.end(), [&](const Pad& p) { return p.instance == instance; });
  return found == pads_.end() ? nullptr : &*found;
}

void TGamepadClient::Added(int deviceIndex) {
  SDL_GameController* controller = SDL_GameControllerOpen(deviceIndex);
  if (!controller) {
    LogWarn(std::string("A game controller could not be opened: ") + SDL_GetError());
    return;
  }
  int instance = SDL_JoystickInstanceID(SDL_GameControllerGetJoystick(controller));
  if (Find(instance)) {
    // Told twice about one controller: SDL counts the second opening, so it is given back.
    SDL_GameControllerClose(controller);
    return;
  }
  Pad pad;
  pad.controller = controller;
  pad.instance = instance;
  const char* name = SDL_GameControllerName(controller);
  pad.name = name && *name ? name : "an unnamed controller";
  LogInfo("Game controller connected: " + pad.name);
  pads_.push_back(std::move(pad));
}

void TGamepadClient::Removed(int instance, std::vector<TGamepadEvent>& events) {
  Pad* pad = Find(instance);
  if (!pad) return;
  // Whatever it held is let go, so nothing it pressed goes on repeating.
  for (const std::string& button : pad->buttons) events.push_back({instance, button, false});
  for (const Pad::Held& held : pad->sticks)
    if (held.axis >= 0) events.push_back({instance, Direction(held.axis, held.sign), false});
  for (int t = 0; t < 2; ++t)
    if (pad->triggers[t])
      events.push_back({instance, AxisName(t ? SDL_CONTROLLER_AXIS_TRIGGERRIGHT : SDL_CONTROLLER_AXIS_TRIGGERLEFT), false});
  LogInfo("Game controller disconnected: " + pad->name);
  SDL_GameControllerClose(pad->controller);
  pads_.erase(pads_.begin() + (pad - pads_.data()));
}

void TGamepadClient::Axis(Pad& pad, int axis, int value, std::vector<TGamepadEvent>& events) {
  if (axis < 0 || axis >= SDL_CONTROLLER_AXIS_MAX) return;
  pad.axes[axis] = value;
  if (IsTrigger(axis)) {
    bool& held = pad.triggers[axis == SDL_CONTROLLER_AXIS_TRIGGERRIGHT ? 1 : 0];
    bool now = held ? value >= deadZone_ : value >= threshold_;
    if (now != held) events.push_back({pad.instance, AxisName(axis), now});
    held = now;
    return;
  }
  const bool left = axis == SDL_CONTROLLER_AXIS_LEFTX || axis == SDL_CONTROLLER_AXIS_LEFTY;
  const int xAxis = left ? SDL_CONTROLLER_AXIS_LEFTX : SDL_CONTROLLER_AXIS_RIGHTX;
  const int yAxis = left ? SDL_CONTROLLER_AXIS_LEFTY : SDL_CONTROLLER_AXIS_RIGHTY;
  Pad::Held& held = pad.sticks[left ? 0 : 1];
  if (held.axis >= 0) {
    // The direction holds until the stick comes back into the dead zone along it.
    if (pad.axes[held.axis] * held.sign >= deadZone_) return;
    events.push_back({pad.instance, Direction(held.axis, held.sign), false});
    held = {};
  }
  // Pushed askew, the stick means the way it leans most.
  const int x = pad.axes[xAxis], y = pad.axes[yAxis];
  const int along = std::abs(x) >= std::abs(y) ? xAxis : yAxis;
  const int reach = pad.axes[along];
  if (std::abs(reach) < threshold_) return;
  held = {along, reach > 0 ? 1 : -1};
  events.push_back({pad.instance, Direction(held.axis, held.sign), true});
}

bool TGamepadClient::HandleEvent(const SDL_Event& event, std::vector<TGamepadEvent>& events) {
  switch (event.type) {
    case SDL_CONTROLLERDEVICEADDED:
      if (started_) Added(event.cdevice.which);
      return true;
    case SDL_CONTROLLERDEVICEREMOVED:
      Removed(event.cdevice.which, events);
      return true;
    case SDL_CONTROLLERDEVICEREMAPPED:
      return true;
    case SDL_JOYDEVICEADDED:
      // Joysticks SDL has no controller mapping for (and other devices that say they are one)
      // are left alone; SDL_GAMECONTROLLERCONFIG can give them a mapping.
      if (started_ && !SDL_IsGameController(event.jdevice.which)) {
        const char* name = SDL_JoystickNameForIndex(event.jdevice.which);
        LogDebug(std::string("Ignoring the joystick ") + (name ? name : "?") +
                 ": SDL has no game controller mapping for it");
      }
      return false;
    case SDL_CONTROLLERBUTTONDOWN:
    case SDL_CONTROLLERBUTTONUP: {
      Pad* pad = Find(event.cbutton.which);
      const char* name = SDL_GameControllerGetStringForButton(static_cast<SDL_GameControllerButton>(event.cbutton.button));
      if (!pad || !name) return true;
      const bool down = event.type == SDL_CONTROLLERBUTTONDOWN;
      auto held = std::find(pad->buttons.begin(), pad->buttons.end(), name);
      if (down == (held != pad->buttons.end())) return true;  // no change
      if (down) pad->buttons.push_back(name);
      else pad->buttons.erase(held);
      events.push_back({pad->instance, name, down});
      return true;
    }
    case SDL_CONTROLLERAXISMOTION:
      if (Pad* pad = Find(event.caxis.which)) Axis(*pad, event.caxis.axis, event.caxis.value, events);
      return true;
    default:
      return false;
  }
}

}  // namespace lorvane
