#pragma once
// The program's messages between instances and from remote-control senders. They travel as one
// line each over the per-user control socket: the registered name, a space and the parameter.
#include <cstddef>
#include <cstdint>
#include <climits>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/ControlSocket.h"

namespace lorvane {

enum TKLDMessageCode : int {
  MSG_NONE = 0,
  MSG_HELPER_SHUTDOWN = 1,  // consumed without effect
  MSG_CLIENT_SHUTDOWN = 2,  // end the host
  MSG_CLIENT_LAUNCH = 3,    // the Launch menu item
  MSG_REMOTE_CONTROL = 4,   // a remote-control key in the low 16 bits of the parameter
  MSG_CLIENT_CLOSE = 5,     // lorvane's own: the Close menu item
};

struct TKLDMessage {
  TKLDMessage(int code = MSG_NONE, uint64_t parameter = 0, std::optional<uint32_t> arrived = std::nullopt)
      : code(code), parameter(parameter), arrived(arrived) {}
  int code = MSG_NONE;
  uint64_t parameter = 0;
  // When it reached lorvane (SystemMilliseconds); Post stamps a message that has no time yet.
  std::optional<uint32_t> arrived;
  // When a message arrived does not make it another message.
  bool operator==(const TKLDMessage& other) const { return code == other.code && parameter == other.parameter; }
};

class TKLDMessenger {
 public:
  static constexpr int kLastCode = MSG_CLIENT_CLOSE;
  // Messages waiting for the frame loop beyond this are dropped, so a flood cannot grow memory.
  static constexpr size_t kMaxQueued = 256;

  // The registered name of a code; empty for 0 and unknown codes.
  static std::string RegisteredName(int code);
  // The code whose registered name equals `name` (in any case, as registered names compare), 0 else.
  static int ClassifyMessage(const std::string& name);
  static std::string FormatMessage(const TKLDMessage& message);
  // A line is a registered name, optionally followed by a space and a decimal parameter (0 when
  // absent). False with the reason for anything else.
  static bool ParseMessage(const std::string& line, TKLDMessage& message, std::string& problem);

  TKLDMessenger() = default;
  ~TKLDMessenger();
  TKLDMessenger(const TKLDMessenger&) = delete;
  TKLDMessenger& operator=(const TKLDMessenger&) = delete;

  // Called (from any thread) whenever something is queued, to wake the frame loop.
  void SetWake(std::function<void()> wake) { wake_ = std::move(wake); }
  // Starts receiving messages on the control socket at `path`.
  bool Listen(const std::string& path, std::string& problem);
  void StopListening();
  bool Listening() const { return socket_.IsOpen(); }
  TControlSocketServer& Socket() { return socket_; }

  // The host is ending: from now on senders are told "error exiting" and nothing more is queued,
  // so a message is never answered "ok" and then left unread.
  void BeginExit();
  bool Exiting() const;

  // Queues a message for the frame loop; any thread.
  bool Post(TKLDMessage message);
  // Main thread: up to `most` of the messages that arrived, oldest first. Problems the
  // socket met meanwhile are logged here at WARN, where the logger lives.
  std::vector<TKLDMessage> TakeMessages(size_t most = SIZE_MAX);
  // How many messages wait for the frame loop; any thread.
  size_t Waiting();

  // Sends one message to the host listening at `path`.
  static TControlSendResult Send(const std::string& path, const TKLDMessage& message, std::string& answer,
                                 uint32_t timeoutMs = 2000);

 private:
  std::string Receive(const std::string& line);
  void Warn(const std::string& problem);

  mutable std::mutex mutex_;
  bool exiting_ = false;
  std::deque<TKLDMessage> queue_;
  std::vector<std::string> warnings_;
  size_t droppedWarnings_ = 0;
  std::function<void()> wake_;
  TControlSocketServer socket_;
};

}  // namespace lorvane
