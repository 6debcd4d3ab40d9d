#pragma once
// Remote controls that reach lorvane without a keyboard: lircd's buttons (and the TV's remote over
// HDMI-CEC). Their buttons become virtual-key codes through the mapping files of the
// configuration folder and go on as remote keys, the way a remote-control message's key does.
// Everything here runs on the main thread except the readers' own threads, which only queue.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/RemoteKeyMap.h"

namespace lorvane {

class TCecClient;
class TLircClient;
struct TCecEvent;
struct TLircEvent;

class TRemoteInputs {
 public:
  // A held button repeats its key only from this repeat count on, so that a short press that
  // the remote reports with a repeat or two is still one key.
  static constexpr unsigned kRepeatDelay = 2;

  // `key` receives each key code (main thread); `wake` is called from any thread when something
  // waits for Poll.
  TRemoteInputs(std::function<void(int)> key, std::function<void()> wake);
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

  // Main thread, once per pass of the loop: logs what the readers had to say and hands on the
  // keys of the buttons pressed since the last call.
  void Poll();

  // Whether a press with this repeat count gives a key.
  static bool Counts(const TRemoteKey& key, unsigned repeat) {
    return repeat == 0 || (key.repeats && repeat >= kRepeatDelay);
  }

  void Stop();

 private:
  void HandleLirc(const TLircEvent& event);

  std::function<void(int)> key_;
  std::function<void()> wake_;
  TRemoteKeyMap lircMap_;
  std::unique_ptr<TLircClient> lirc_;
  std::function<void()> standby_;
  TRemoteKeyMap cecMap_;
  std::unique_ptr<TCecClient> cec_;
  // The code held down and how often it was pressed since (the TV repeats a held button).
  int cecHeld_ = -1;
  unsigned cecRepeat_ = 0;
  std::vector<std::string> unknownSeen_;
};

}  // namespace lorvane
