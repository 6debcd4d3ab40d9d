#pragma once
// The per-user control socket: a Unix-domain stream socket carrying one text line per message.
// The listening end is served by a worker thread of its own, so a client that is slow, silent or
// hostile never holds up the frame loop; what it receives goes to handlers the owner gives.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace lorvane {

class TControlSocketServer {
 public:
  struct Limits {
    size_t maxLine = 4096;       // longer lines are dropped whole
    size_t maxClients = 32;      // beyond this the least recently active client is cut off
    uint32_t idleMs = 60000;     // clients silent for this long are cut off
  };
  // Both handlers run on the worker thread. The line handler's result is sent back to the
  // client as the answer line.
  using LineHandler = std::function<std::string(const std::string& line)>;
  using ProblemHandler = std::function<void(const std::string& problem)>;

  TControlSocketServer();
  ~TControlSocketServer();
  TControlSocketServer(const TControlSocketServer&) = delete;
  TControlSocketServer& operator=(const TControlSocketServer&) = delete;

  void SetLimits(const Limits& limits) { limits_ = limits; }
  // Connections whose peer runs as another user are refused. Tests pretend to be someone else.
  void SetAllowedUser(uint32_t uid) { allowedUser_ = uid; }

  // Binds `path` (mode 0600; a stale file there is replaced) and starts the worker thread.
  bool Open(const std::string& path, LineHandler onLine, ProblemHandler onProblem, std::string& problem);
  // Stops the worker, closes every connection and removes the socket file.
  void Close();
  bool IsOpen() const { return worker_ != nullptr; }
  const std::string& Path() const { return path_; }

 private:
  struct Worker;
  Limits limits_;
  uint32_t allowedUser_;
  std::string path_;
  std::unique_ptr<Worker> worker_;
};

enum class TControlSendResult {
  Delivered,    // the listener answered "ok"
  Refused,      // the listener answered something else (the answer says why)
  NoListener,   // nothing listens at the path
  NoAnswer,     // connected, but no answer came in time
};

// Sends one line and waits up to timeoutMs for the answer line.
TControlSendResult SendControlLine(const std::string& path, const std::string& line, std::string& answer,
                                   uint32_t timeoutMs);

// The longest path a control socket may have (the address field of a Unix socket, less its end).
size_t LongestSocketPath();

// The user this process runs as.
uint32_t CurrentUserId();

}  // namespace lorvane
