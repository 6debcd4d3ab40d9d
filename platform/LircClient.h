#pragma once
// A client of lircd's socket: the button presses lircd decodes, one line each
// ("<code> <repeat> <button> <remote>"). A thread of its own reads the socket, so the frame loop
// never waits for lircd; the owner takes what arrived on its own thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lorvane {

struct TLircEvent {
  std::string button;  // "KEY_UP"
  unsigned repeat = 0; // 0 for a new press, counting up while the button is held
  std::string remote;  // the remote's name in lircd's configuration ("devinput")
  uint32_t arrived = 0;  // when it was read (SystemMilliseconds), not when it is handled
  // When a press arrived does not make it another press.
  bool operator==(const TLircEvent& other) const {
    return button == other.button && repeat == other.repeat && remote == other.remote;
  }
};

// Something the reading thread has to say, for the owner to log where the logger lives.
struct TLircNotice {
  bool problem = false;  // a fault (WARN) rather than news (INFO)
  std::string text;
};

class TLircClient {
 public:
  // Lines beyond this are not lircd's and are dropped whole.
  static constexpr size_t kMaxLine = 512;
  // Events not yet taken beyond this are dropped, so a flood cannot grow memory.
  static constexpr size_t kMaxQueued = 256;
  // After lircd goes away, a new connection is tried this often.
  static constexpr uint32_t kReconnectMs = 2000;

  // $LIRC_SOCKET_PATH when set (as LIRC's own clients read it), else /var/run/lirc/lircd.
  static std::string SocketPath();
  // One line as lircd sends it; false for anything else.
  static bool ParseLine(const std::string& line, TLircEvent& event);

  TLircClient();
  ~TLircClient();
  TLircClient(const TLircClient&) = delete;
  TLircClient& operator=(const TLircClient&) = delete;

  // Connects without waiting (a Unix socket either takes the connection at once or refuses it)
  // and starts the reading thread. False with the reason when nothing listens at `path`.
  // `wake` is called from that thread whenever something can be taken.
  bool Start(const std::string& path, std::function<void()> wake, std::string& problem);
  void Stop();
  bool Running() const { return worker_ != nullptr; }

  // Any thread, usually the main one: the presses and the notices since the last call.
  void Take(std::vector<TLircEvent>& events, std::vector<TLircNotice>& notices);

 private:
  struct Worker;
  std::unique_ptr<Worker> worker_;
};

}  // namespace lorvane
