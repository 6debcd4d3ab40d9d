// Game controllers as remote controls, driven through SDL's virtual joystick: plugging in and
// out, the shipped mapping, the stick's dead zone, the pace of held buttons and a bad mapping.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/RemoteInputs.h"
#include "app/RemoteKeyMap.h"
#include "base/Logging.h"
#include "platform/GamepadClient.h"
#include "support/TestSupport.h"
#include "support/VirtualPad.h"

namespace lorvane {
namespace {

const std::string kSourceConf = std::string(LORVANE_SOURCE_DIR) + "/conf/";
constexpr int kFull = 32767;

int Travel(int percent) { return percent * kFull / 100; }


class GamepadInputsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logger_.SetEchoList(&lines_);
    SetGlobalLogger(&logger_);
    ASSERT_EQ(SDL_Init(SDL_INIT_EVENTS), 0) << SDL_GetError();
    inputs_.SetClock([this] { return now_; });
  }
  void TearDown() override {
    Detach();
    inputs_.Stop();
    SDL_Quit();
    SetGlobalLogger(nullptr);
    logger_.SetEchoList(nullptr);
  }

  void Attach(const char* name = "lorvane test pad") {
    std::string problem;
    ASSERT_TRUE(pad_.Attach(name, problem)) << problem;
    Pump();
  }
  void Detach() {
    if (!pad_.Attached()) return;
    pad_.Detach();
    Pump();
  }

  // What the loop does each pass: SDL's events to the inputs, then their Poll.
  void Pump() {
    SDL_PumpEvents();
    SDL_Event event;
    while (SDL_PollEvent(&event)) inputs_.HandleEvent(event);
    inputs_.Poll();
  }
  void Button(SDL_GameControllerButton button, bool down) {
    pad_.SetButton(button, down);
    Pump();
  }
  void Tap(SDL_GameControllerButton button) {
    Button(button, true);
    Button(button, false);
  }
  void Axis(SDL_GameControllerAxis axis, int value) {
    pad_.SetAxis(axis, value);
    Pump();
  }
  // A trigger's travel in percent, on the joystick's axis that runs from -32768.
  void Trigger(SDL_GameControllerAxis axis, int percent) { Axis(axis, -32768 + percent * 65535 / 100); }
  void Wait(uint32_t ms) {
    now_ += ms;
    Pump();
  }
  std::vector<int> TakeKeys() {
    std::vector<int> taken;
    taken.swap(keys_);
    return taken;
  }
  int Count(const std::string& text) const {
    return static_cast<int>(std::count_if(lines_.begin(), lines_.end(),
                                          [&](const std::string& l) { return l.find(text) != std::string::npos; }));
  }
  std::string All() const {
    std::string all;
    for (const std::string& l : lines_) all += l + "\n";
    return all;
  }

  std::vector<std::string> lines_;
  TKLDLogger logger_;
  uint32_t now_ = 1000;
  std::vector<int> keys_;
  TRemoteInputs inputs_{[this](int key, uint32_t) { keys_.push_back(key); }, nullptr};
  test::VirtualPad pad_;
};

TEST_F(GamepadInputsTest, AControllerPluggedInAndOutIsToldAndLetGoOf) {
  inputs_.StartGamepads(kSourceConf);
  ASSERT_TRUE(inputs_.GamepadsRunning()) << All();
  Pump();
  // Without a controller: one DEBUG line, nothing else.
  ASSERT_EQ(lines_.size(), 1u) << All();
  EXPECT_NE(lines_[0].find("DEBUG: No game controller connected"), std::string::npos) << All();

  Attach();
  EXPECT_EQ(Count(" INFO: Game controller connected: lorvane test pad"), 1) << All();
  Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  EXPECT_EQ(TakeKeys(), (std::vector<int>{0x28}));
  // Taken out while the button is held: it is let go, nothing goes on repeating.
  Detach();
  EXPECT_EQ(Count(" INFO: Game controller disconnected: lorvane test pad"), 1) << All();
  Wait(5000);
  EXPECT_EQ(TakeKeys(), std::vector<int>{});

  // Plugged in again, it works again.
  Attach();
  EXPECT_EQ(Count(" INFO: Game controller connected: lorvane test pad"), 2) << All();
  Tap(SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(TakeKeys(), (std::vector<int>{0x0D}));
  EXPECT_EQ(Count(" WARN:"), 0) << All();
}

TEST_F(GamepadInputsTest, EveryDefaultControlGivesTheKeyOfItsRemoteButton) {
  inputs_.StartGamepads(kSourceConf);
  Attach();
  struct Expect {
    SDL_GameControllerButton button;
    int key;
  };
  // Move, choose, back, home (as a remote's menu key), play/pause, info, page.
  for (Expect e : {Expect{SDL_CONTROLLER_BUTTON_DPAD_UP, 0x26}, {SDL_CONTROLLER_BUTTON_DPAD_DOWN, 0x28},
                   {SDL_CONTROLLER_BUTTON_DPAD_LEFT, 0x25}, {SDL_CONTROLLER_BUTTON_DPAD_RIGHT, 0x27},
                   {SDL_CONTROLLER_BUTTON_A, 0x0D}, {SDL_CONTROLLER_BUTTON_B, 0x08},
                   {SDL_CONTROLLER_BUTTON_START, 0x24}, {SDL_CONTROLLER_BUTTON_X, 0xB3},
                   {SDL_CONTROLLER_BUTTON_Y, 0x09}, {SDL_CONTROLLER_BUTTON_BACK, 0x08},
                   {SDL_CONTROLLER_BUTTON_LEFTSHOULDER, 0x21}, {SDL_CONTROLLER_BUTTON_RIGHTSHOULDER, 0x22}}) {
    Tap(e.button);
    EXPECT_EQ(TakeKeys(), std::vector<int>{e.key}) << SDL_GameControllerGetStringForButton(e.button);
  }
  // The left stick moves as the d-pad does (its y axis grows downwards).
  struct Push {
    SDL_GameControllerAxis axis;
    int value;
    int key;
  };
  for (Push p : {Push{SDL_CONTROLLER_AXIS_LEFTY, -kFull, 0x26}, {SDL_CONTROLLER_AXIS_LEFTY, kFull, 0x28},
                 {SDL_CONTROLLER_AXIS_LEFTX, -kFull, 0x25}, {SDL_CONTROLLER_AXIS_LEFTX, kFull, 0x27}}) {
    Axis(p.axis, p.value);
    Axis(p.axis, 0);
    EXPECT_EQ(TakeKeys(), std::vector<int>{p.key}) << p.axis << " " << p.value;
  }
  // The triggers change the volume.
  Trigger(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 100);
  Trigger(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 0);
  Trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 100);
  Trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0);
  EXPECT_EQ(TakeKeys(), (std::vector<int>{0xAE, 0xAF}));
  // What the file leaves out does nothing, and says so only to those debugging.
  Tap(SDL_CONTROLLER_BUTTON_GUIDE);
  Tap(SDL_CONTROLLER_BUTTON_LEFTSTICK);
  Axis(SDL_CONTROLLER_AXIS_RIGHTX, kFull);
  EXPECT_EQ(TakeKeys(), std::vector<int>{});
  EXPECT_EQ(Count("DEBUG: Ignoring the game controller's rightx+"), 1) << All();

  // The shipped file is whole: every entry names a control and nothing is warned about.
  TRemoteKeyMap map;
  std::vector<std::string> warnings;
  std::string problem;
  TRemoteKeyMap::Rules rules;
  rules.buttonName = &TGamepadClient::ControlName;
  ASSERT_TRUE(map.Load(kSourceConf + TRemoteKeyMap::kGamepadFile, "GamepadButtons", warnings, problem, rules));
  EXPECT_EQ(warnings, std::vector<std::string>{});
  EXPECT_EQ(map.Size(), 18u);
}

TEST_F(GamepadInputsTest, ARestingOrBarelyPushedStickSendsNothing) {
  inputs_.StartGamepads(kSourceConf);  // dead zone 30 %, threshold 60 %
  Attach();
  // A worn stick's drift and a light touch are no press.
  for (int percent : {5, -12, 25, 45, -59}) {
    Axis(SDL_CONTROLLER_AXIS_LEFTX, Travel(percent));
    Axis(SDL_CONTROLLER_AXIS_LEFTY, Travel(-percent));
  }
  Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
  Axis(SDL_CONTROLLER_AXIS_LEFTY, 0);
  EXPECT_EQ(TakeKeys(), std::vector<int>{});

  // Past the threshold it presses once; easing back, still outside the dead zone, it stays
  // held (no second press) and repeats; inside the dead zone it is let go.
  Axis(SDL_CONTROLLER_AXIS_LEFTX, Travel(70));
  EXPECT_EQ(TakeKeys(), std::vector<int>{0x27});
  Axis(SDL_CONTROLLER_AXIS_LEFTX, Travel(40));
  Axis(SDL_CONTROLLER_AXIS_LEFTX, Travel(65));
  EXPECT_EQ(TakeKeys(), std::vector<int>{});
  Wait(TKeyRepeat::kOwnDelayMs);
  EXPECT_EQ(TakeKeys(), std::vector<int>{0x27});
  Axis(SDL_CONTROLLER_AXIS_LEFTX, Travel(20));
  Wait(5000);
  EXPECT_EQ(TakeKeys(), std::vector<int>{});

  // Pushed askew, the stick means the way it leans most.
  Axis(SDL_CONTROLLER_AXIS_LEFTX, Travel(65));
  Axis(SDL_CONTROLLER_AXIS_LEFTY, -Travel(90));
  EXPECT_EQ(TakeKeys(), (std::vector<int>{0x27}));
  Axis(SDL_CONTROLLER_AXIS_LEFTX, 0);
  EXPECT_EQ(TakeKeys(), (std::vector<int>{0x26})) << "right let go, up taken";
  Axis(SDL_CONTROLLER_AXIS_LEFTY, 0);

  // A trigger pressed a little is no volume change either.
  Trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 40);
  Trigger(SDL_CONTROLLER_AXIS_TRIGGERRIGHT, 0);
  EXPECT_EQ(TakeKeys(), std::vector<int>{});
}

TEST_F(GamepadInputsTest, HeldControlsRepeatAfterTheChosenDelayAtTheChosenRate) {
  inputs_.StartGamepads(kSourceConf);
  inputs_.SetRepeatTiming({400, 10});
  Attach();
  Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  std::vector<uint32_t> at;
  const uint32_t pressed = now_;
  for (int i = 0; i < 100; ++i) {  // a second in steps of 10 ms
    if (!TakeKeys().empty()) at.push_back(now_ - pressed);
    Wait(10);
  }
  EXPECT_EQ(at, (std::vector<uint32_t>{0, 400, 500, 600, 700, 800, 900}));
  Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
  TakeKeys();
  Wait(1000);
  EXPECT_EQ(TakeKeys(), std::vector<int>{});

  // Another pace for the next press; a button that does not repeat never does.
  inputs_.SetRepeatTiming({150, 20});
  Trigger(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 100);
  Wait(150);
  Wait(50);
  Wait(50);
  Trigger(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 0);
  EXPECT_EQ(TakeKeys(), (std::vector<int>{0xAE, 0xAE, 0xAE, 0xAE}));
  Button(SDL_CONTROLLER_BUTTON_A, true);
  Wait(3000);
  Button(SDL_CONTROLLER_BUTTON_A, false);
  EXPECT_EQ(TakeKeys(), std::vector<int>{0x0D});
}

TEST_F(GamepadInputsTest, RepeatsWaitForTheKeysBeforeThemButPressesDoNot) {
  bool backlog = false;
  inputs_.SetBacklog([&] { return backlog; });
  inputs_.StartGamepads(kSourceConf);
  inputs_.SetRepeatTiming({200, 10});
  Attach();
  Button(SDL_CONTROLLER_BUTTON_DPAD_UP, true);
  EXPECT_EQ(TakeKeys(), std::vector<int>{0x26});
  // The frame loop falls behind: the repeats due meanwhile are left out, a press is not.
  backlog = true;
  Wait(200);
  Wait(100);
  Button(SDL_CONTROLLER_BUTTON_A, true);
  EXPECT_EQ(TakeKeys(), std::vector<int>{0x0D});
  // Caught up, the held button goes on at its pace.
  backlog = false;
  Wait(100);
  EXPECT_EQ(TakeKeys(), std::vector<int>{0x26});
  Button(SDL_CONTROLLER_BUTTON_DPAD_UP, false);
  Wait(1000);
  EXPECT_EQ(TakeKeys(), std::vector<int>{});
}

TEST_F(GamepadInputsTest, TwoControllersHoldTheirButtonsEachForItself) {
  inputs_.StartGamepads(kSourceConf);
  inputs_.SetRepeatTiming({200, 10});
  Attach();
  test::VirtualPad second;
  std::string problem;
  ASSERT_TRUE(second.Attach("second pad", problem)) << problem;
  Pump();
  EXPECT_EQ(Count(" INFO: Game controller connected: second pad"), 1) << All();
  // Both hold Down; the first lets go, the second's Down goes on repeating, once a time.
  Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  second.SetButton(SDL_CONTROLLER_BUTTON_DPAD_DOWN, true);
  Pump();
  EXPECT_EQ(TakeKeys(), (std::vector<int>{0x28, 0x28}));
  Button(SDL_CONTROLLER_BUTTON_DPAD_DOWN, false);
  Wait(200);
  Wait(100);
  EXPECT_EQ(TakeKeys(), (std::vector<int>{0x28, 0x28}));
  // Taken out, the second stops too.
  second.Detach();
  Wait(1000);
  EXPECT_EQ(TakeKeys(), std::vector<int>{});
}

TEST_F(GamepadInputsTest, AMappingWithUnknownNamesAndBadValuesKeepsWhatIsGood) {
  test::TempDir conf;
  conf.Write(TRemoteKeyMap::kGamepadFile,
             "<GamepadButtons deadzone=\"half\" threshold=\"150\">\n"
             "  <Button name=\"a\" key=\"0x41\"/>\n"
             "  <Button name=\"turbo\" key=\"0x42\"/>\n"
             "  <Button name=\"leftx\" key=\"0x43\"/>\n"
             "  <Button name=\"lefttrigger-\" key=\"0x44\"/>\n"
             "  <Button name=\"b\" key=\"0x1FF\"/>\n"
             "  <Button name=\"x\" key=\"0x45\" repeat=\"often\"/>\n"
             "  <Button name=\"LeftShoulder\" key=\"0x46\" repeat=\"yes\"/>\n"
             "  <Button name=\"lefttrigger+\" key=\"0x47\"/>\n"
             "  <Button name=\"lefty+\" key=\"0x48\"/>\n"
             "</GamepadButtons>\n");
  inputs_.StartGamepads(conf.Path());
  EXPECT_EQ(Count(" WARN:"), 7) << All();
  for (const char* named : {"\"turbo\"", "\"leftx\"", "\"lefttrigger-\"", "\"0x1FF\"", "\"often\"", "deadzone \"half\"",
                            "threshold \"150\""})
    EXPECT_EQ(Count(named), 1) << named << "\n" << All();
  Attach();
  Tap(SDL_CONTROLLER_BUTTON_A);
  Tap(SDL_CONTROLLER_BUTTON_B);
  Tap(SDL_CONTROLLER_BUTTON_X);
  Tap(SDL_CONTROLLER_BUTTON_LEFTSHOULDER);
  Trigger(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 100);
  Trigger(SDL_CONTROLLER_AXIS_TRIGGERLEFT, 0);
  // The dead zone and threshold fall back to 30 % and 60 %.
  Axis(SDL_CONTROLLER_AXIS_LEFTY, Travel(55));
  Axis(SDL_CONTROLLER_AXIS_LEFTY, Travel(65));
  EXPECT_EQ(TakeKeys(), (std::vector<int>{0x41, 0x46, 0x47, 0x48}));
}

TEST_F(GamepadInputsTest, WithoutItsFileAControllerIsToldToDoNothing) {
  test::TempDir conf;
  inputs_.StartGamepads(conf.Path());
  ASSERT_TRUE(inputs_.GamepadsRunning());
  EXPECT_EQ(Count(" WARN:"), 0) << "nothing to say while no controller is there\n" << All();
  Attach();
  EXPECT_EQ(Count(" WARN: The game controller's buttons do nothing: "), 1) << All();
  Tap(SDL_CONTROLLER_BUTTON_A);
  EXPECT_EQ(TakeKeys(), std::vector<int>{});
}

TEST_F(GamepadInputsTest, TheUsersOwnControllerMappingIsHonoured) {
  // The virtual controller's identity, as SDL makes it, to name it in the variable.
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_JOYSTICK), 0) << SDL_GetError();
  SDL_VirtualJoystickDesc desc = test::VirtualPadDesc("lorvane test pad");
  int index = SDL_JoystickAttachVirtualEx(&desc);
  ASSERT_GE(index, 0) << SDL_GetError();
  char guid[64];
  SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(index), guid, sizeof guid);
  SDL_JoystickDetachVirtual(index);
  SDL_QuitSubSystem(SDL_INIT_JOYSTICK);

  // The user's mapping swaps A and B and names the controller its own way.
  const std::string mine = std::string(guid) + ",Sofa pad,a:b1,b:b0,start:b6,platform:Linux,";
  test::ScopedEnv config("SDL_GAMECONTROLLERCONFIG", mine.c_str());
  inputs_.StartGamepads(kSourceConf);
  index = SDL_JoystickAttachVirtualEx(&desc);
  ASSERT_GE(index, 0) << SDL_GetError();
  pad_.Adopt(SDL_JoystickOpen(index));
  Pump();
  EXPECT_EQ(Count(" INFO: Game controller connected: Sofa pad"), 1) << All();
  Tap(SDL_CONTROLLER_BUTTON_A);  // the joystick's button 0, which the user calls B
  EXPECT_EQ(TakeKeys(), std::vector<int>{0x08});
}

}  // namespace
}  // namespace lorvane
