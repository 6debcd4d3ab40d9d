#pragma once
// A game controller for the tests: SDL's virtual joystick with SDL's buttons and axes in SDL's
// own order (joystick button b is SDL's button b, axis a SDL's axis a), given a controller
// mapping that says so. SDL's game controller subsystem must be running.
#include <SDL.h>

#include <algorithm>
#include <string>

namespace lorvane::test {

inline SDL_VirtualJoystickDesc VirtualPadDesc(const char* name) {
  SDL_VirtualJoystickDesc desc;
  SDL_zero(desc);
  desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
  desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
  desc.naxes = SDL_CONTROLLER_AXIS_MAX;
  desc.nbuttons = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1;
  desc.vendor_id = 0x1209;
  desc.product_id = 0x0031;
  desc.name = name;
  return desc;
}

class VirtualPad {
 public:
  VirtualPad() = default;
  ~VirtualPad() { Detach(); }
  VirtualPad(const VirtualPad&) = delete;
  VirtualPad& operator=(const VirtualPad&) = delete;

  // Plugs the controller in; false with SDL's reason in `problem`.
  bool Attach(const char* name, std::string& problem) {
    SDL_VirtualJoystickDesc desc = VirtualPadDesc(name);
    int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) {
      problem = SDL_GetError();
      return false;
    }
    char guid[64];
    SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(index), guid, sizeof guid);
    std::string mapping = std::string(guid) + "," + name +
                          ",a:b0,b:b1,x:b2,y:b3,back:b4,guide:b5,start:b6,leftstick:b7,rightstick:b8,"
                          "leftshoulder:b9,rightshoulder:b10,dpup:b11,dpdown:b12,dpleft:b13,dpright:b14,"
                          "leftx:a0,lefty:a1,rightx:a2,righty:a3,lefttrigger:a4,righttrigger:a5,";
    if (SDL_GameControllerAddMapping(mapping.c_str()) < 0 || !(joystick_ = SDL_JoystickOpen(index))) {
      problem = SDL_GetError();
      return false;
    }
    // Triggers rest at the low end of the joystick's axis.
    SetAxis(SDL_CONTROLLER_AXIS_TRIGGERLEFT, -32768);
    SetAxis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, -32768);
    return true;
  }
  // Takes over a joystick attached by the caller.
  void Adopt(SDL_Joystick* joystick) { joystick_ = joystick; }
  void Detach() {
    if (!joystick_) return;
    SDL_JoystickID id = SDL_JoystickInstanceID(joystick_);
    SDL_JoystickClose(joystick_);
    joystick_ = nullptr;
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
      if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
  }
  bool Attached() const { return joystick_ != nullptr; }

  void SetButton(SDL_GameControllerButton button, bool down) {
    SDL_JoystickSetVirtualButton(joystick_, button, down ? 1 : 0);
  }
  void SetAxis(SDL_GameControllerAxis axis, int value) {
    SDL_JoystickSetVirtualAxis(joystick_, axis, static_cast<Sint16>(std::clamp(value, -32768, 32767)));
  }

 private:
  SDL_Joystick* joystick_ = nullptr;
};

}  // namespace lorvane::test
