#pragma once
// The single-instance lock: an advisory lock (flock) on a file in the user's private runtime
// folder. The system drops the lock when the process ends, however it ends.
#include <cstddef>
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

// Where the runtime folder may be. Tests point these at folders of their own.
struct TRuntimeFolderRoots {
  std::string session = "/run/user/";  // + uid: the login session's folder, used only when it exists
  std::string fallback = "/tmp/";      // + "lorvane-" + uid: made when nothing better is there
};

// The folder for this user's runtime files, tried in this order: $XDG_RUNTIME_DIR, the session's
// /run/user/<uid>, /tmp/lorvane-<uid> (made private). A folder counts only when it is ours, only
// we may enter it and it is at most `longestFolder` bytes long (with its "/"; 0 = no limit), so
// a host and a sender with different environments still meet in the same folder. Ends with "/".
// False (with the reason) when no such folder can be had. `note` tells why folders were passed over.
bool PrivateRuntimeFolder(std::string& folder, std::string& problem, std::string& note, size_t longestFolder = 0,
                          const TRuntimeFolderRoots& roots = {});

}  // namespace lorvane
