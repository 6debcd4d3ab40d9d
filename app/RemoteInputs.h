#pragma once
// Remote controls that reach lorvane without a keyboard: lircd's buttons, the TV's remote over
// HDMI-CEC and game controllers. Their buttons become virtual-key codes through the mapping files
// of the configuration folder and go on as remote keys, the way a remote-control message's key
// does; a held button repeats its key at the pace the user chose (TKeyRepeat).
// Everything here runs on the main thread except the readers' own threads, which only queue.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/KeyRepeat.h"
#include "app/RemoteKeyMap.h"

union SDL_Event;

namespace lorvane {

class TCecClient;
class TGamepadClient;
class TLircClient;
struct TCecEvent;
struct TGamepadEvent;
struct TLircEvent;

class TRemoteInputs {
 public:
  // `key` receives each key code with the time its press arrived (main thread); `wake` is called
  // from any thread when something waits for Poll.
  using KeyTarget = std::function<void(int key, uint32_t arrived)>;
  TRemoteInputs(KeyTarget key, std::function<void()> wake);
  ~TRemoteInputs();
  TRemoteInputs(const TRemoteInputs&) = delete;
  TRemoteInputs& operator=(const TRemoteInputs&) = delete;

  // Connects to lircd at `socketPath` and reads `configFolder` + "LircButtons.xml". Without
  // lircd this logs one INFO line and does nothing more.
  void StartLirc(const std::string& configFolder, const std::string& socketPath);
  bool LircRunning() const;
  // Looks for an HDMI-CEC adapter on a thread of its own and reads `configFolder` +
  // "CecKeys.xml". Without an adapter (or libcec) one INFO line says so.
  void StartCec(const std::string& configFolder);
  // Called when the TV goes to standby.
  void SetStandbyHandler(std::function<void()> standby) { standby_ = std::move(standby); }
  // One event from the TV, as Poll hands them on (tests give them without an adapter).
  void HandleCec(const TCecEvent& event);

  // Opens game controllers as they come and go and reads `configFolder` +
  // "GamepadButtons.xml". Without a controller this logs one DEBUG line.
  void StartGamepads(const std::string& configFolder);
  bool GamepadsRunning() const;
  // Main thread: every SDL event the loop takes; true when it was a game controller's.
  bool HandleEvent(const SDL_Event& event);
  void HandleGamepad(const TGamepadEvent& event);

  // The pace of held buttons ("RemoteRepeatDelay", "RemoteRepeatRate").
  void SetRepeatTiming(TRepeatTiming timing);
  // The clock repeats are timed by (tests step their own); the system's by default.
  void SetClock(std::function<uint32_t()> clock) { clock_ = std::move(clock); }
  // True while keys given earlier still wait to be handled: a repeat due then is left out, so a
  // slow frame loop does not go on scrolling after the button is let go. Presses always count.
  void SetBacklog(std::function<bool()> backlog) { backlog_ = std::move(backlog); }

  // Main thread, once per pass of the loop: logs what the readers had to say and hands on the
  // keys of the buttons pressed since the last call, and of held buttons whose repeat is due.
  void Poll();

  void Stop();

 private:
  void HandleLirc(const TLircEvent& event);
  void Unknown(const std::string& button, const char* file);
  // Hands on the key of a press (`repeat` false) or, unless keys still wait, of a repeat.
  void Give(int keyCode, bool repeat, uint32_t arrived);

  KeyTarget key_;
  std::function<void()> wake_;
  TRemoteKeyMap lircMap_;
  std::unique_ptr<TLircClient> lirc_;
  std::function<void()> standby_;
  TRemoteKeyMap cecMap_;
  std::unique_ptr<TCecClient> cec_;
  // The code held down and how often it was pressed since (the TV repeats a held button).
  int cecHeld_ = -1;
  unsigned cecRepeat_ = 0;
  TKeyRepeat cecRepeats_;
  std::string lircHeld_;
  TKeyRepeat lircRepeats_;
  TRemoteKeyMap gamepadMap_;
  std::string gamepadProblem_;  // why the controllers' buttons do nothing, told when one comes
  std::unique_ptr<TGamepadClient> gamepads_;
  struct THeldControl {
    int keyCode = 0;
    TKeyRepeat repeat;
  };
  std::map<std::pair<int, std::string>, THeldControl> gamepadHeld_;  // by controller and control
  TRepeatTiming timing_;
  std::function<uint32_t()> clock_;
  std::function<bool()> backlog_;
  std::vector<std::string> unknownSeen_;
};

}  // namespace lorvane
