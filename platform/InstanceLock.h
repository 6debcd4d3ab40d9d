#pragma once
// The single-instance lock: an advisory lock (flock) on a file in the user's private runtime
// folder. The system drops the lock when the process ends, however it ends.
#include <string>

namespace lorvane {

class TInstanceLock {
 public:
  enum class Result { Acquired, Held, Failed };

  TInstanceLock() = default;
  ~TInstanceLock();
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;

  // Held: another process (or another lock object) holds it. Failed: the file cannot be opened.
  Result Acquire(const std::string& path, std::string& problem);
  void Release();
  bool Owned() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The folder for this user's runtime files: $XDG_RUNTIME_DIR when it is set and is a folder only
// this user can enter, otherwise /tmp/lorvane-<uid>, made private. Ends with "/". False (with the
// reason) when no such folder can be had. `note` tells why $XDG_RUNTIME_DIR was passed over.
bool PrivateRuntimeFolder(std::string& folder, std::string& problem, std::string& note);

}  // namespace lorvane
