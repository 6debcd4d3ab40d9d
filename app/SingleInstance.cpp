#include "app/SingleInstance.h"

#include <chrono>
#include <thread>

#include "app/Messaging.h"
#include "platform/ControlSocket.h"

namespace lorvane {

const char* const TKLDSingleInstance::kWarning =
    "lorvane appears to be already running. Only one instance of lorvane is allowed to run at a time.";

namespace {
// A host that has just taken the lock opens its socket a moment later.
constexpr int kConnectAttempts = 20;
constexpr auto kConnectPause = std::chrono::milliseconds(100);
// Ending a host writes the preferences and closes the interface; this is far more than that takes.
constexpr auto kExitWait = std::chrono::seconds(30);
}  // namespace

std::string TKLDSingleInstance::InstanceName() const { return "Tarnwick limited - " + title_; }

bool TKLDSingleInstance::Paths(std::string& lockPath, std::string& socketPath, std::string& problem) const {
  std::string folder;
  // Host and sender pass over the same too-long folders, so they still meet.
  const std::string socketName = InstanceName() + ".socket";
  const size_t longest = LongestSocketPath() > socketName.size() ? LongestSocketPath() - socketName.size() : 1;
  if (!PrivateRuntimeFolder(folder, problem, note_, longest, roots_)) return false;
  lockPath = folder + InstanceName() + ".lock";
  socketPath = folder + InstanceName() + ".socket";
  return true;
}

TKLDSingleInstance::Outcome TKLDSingleInstance::Claim(std::string& problem) {
  std::string lockPath;
  if (!Paths(lockPath, socketPath_, problem)) return Outcome::Failed;
  switch (lock_.Acquire(lockPath, problem)) {
    case TInstanceLock::Result::Acquired: return Outcome::First;
    case TInstanceLock::Result::Failed: return Outcome::Failed;
    case TInstanceLock::Result::Held: break;
  }
  // A host that is ending says so; this start then waits for its lock and becomes the host.
  bool exiting = false;
  const auto exitDeadline = std::chrono::steady_clock::now() + kExitWait;
  for (int attempt = 0;; ++attempt) {
    std::string answer;
    switch (TKLDMessenger::Send(socketPath_, {MSG_CLIENT_LAUNCH, 0}, answer)) {
      case TControlSendResult::Delivered: return Outcome::Forwarded;
      case TControlSendResult::NoListener: break;
      case TControlSendResult::Refused:
        if (answer != "error exiting") return Outcome::Silent;
        exiting = true;
        break;
      case TControlSendResult::NoAnswer: return Outcome::Silent;
    }
    // The host may have gone between the two tries, or have stopped listening on its way out.
    switch (lock_.Acquire(lockPath, problem)) {
      case TInstanceLock::Result::Acquired: return Outcome::First;
      case TInstanceLock::Result::Failed: return Outcome::Failed;
      case TInstanceLock::Result::Held: break;
    }
    if (exiting ? std::chrono::steady_clock::now() >= exitDeadline : attempt + 1 >= kConnectAttempts) break;
    std::this_thread::sleep_for(kConnectPause);
  }
  return Outcome::Silent;
}

std::string TKLDSingleInstance::TitleOfExecutable(const std::string& path) {
  std::string name = path.substr(path.rfind('/') + 1);
  size_t dot = name.rfind('.');
  if (dot != std::string::npos && dot > 0) name.erase(dot);
  return name.empty() ? "lorvane" : name;
}

}  // namespace lorvane
