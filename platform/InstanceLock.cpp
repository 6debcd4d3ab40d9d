#include "platform/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace lorvane {

namespace {
// A folder of ours that nobody else may enter; lstat, so a symbolic link planted there fails.
bool IsPrivateFolder(const std::string& path, std::string& why) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) {
    why = path + ": " + std::strerror(errno);
    return false;
  }
  if (!S_ISDIR(info.st_mode)) {
    why = path + " is not a folder";
    return false;
  }
  if (info.st_uid != ::getuid()) {
    why = path + " belongs to another user";
    return false;
  }
  if ((info.st_mode & 077) != 0) {
    why = path + " may be entered by other users";
    return false;
  }
  return true;
}
}  // namespace

TInstanceLock::~TInstanceLock() { Release(); }

TInstanceLock::Result TInstanceLock::Acquire(const std::string& path, std::string& problem) {
  Release();
  int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    problem = "cannot open the instance lock " + path + ": " + std::strerror(errno);
    return Result::Failed;
  }
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    int error = errno;
    ::close(fd);
    if (error == EWOULDBLOCK) return Result::Held;
    problem = "cannot lock " + path + ": " + std::strerror(error);
    return Result::Failed;
  }
  fd_ = fd;
  return Result::Acquired;
}

void TInstanceLock::Release() {
  if (fd_ < 0) return;
  // The file stays: removing it would let two processes lock two different files of one name.
  ::close(fd_);
  fd_ = -1;
}

bool PrivateRuntimeFolder(std::string& folder, std::string& problem, std::string& note, size_t longestFolder,
                          const TRuntimeFolderRoots& roots) {
  note.clear();
  auto passOver = [&note](const std::string& why) { note += (note.empty() ? "" : "; ") + why; };
  auto usable = [&](const std::string& path, std::string& why) {
    if (!IsPrivateFolder(path, why)) return false;
    if (longestFolder != 0 && path.size() + 1 > longestFolder) {
      why = path + " is too long a path for the control socket";
      return false;
    }
    return true;
  };
  const std::string uid = std::to_string(::getuid());
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) {
    std::string path = runtime;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    std::string why;
    if (usable(path, why)) {
      folder = path + "/";
      return true;
    }
    passOver("XDG_RUNTIME_DIR is not usable (" + why + ")");
  }
  // The session folder is where a desktop host sits even when a sender's environment (cron, ssh,
  // sudo -u) lacks XDG_RUNTIME_DIR; it is never made here, only used when it exists.
  std::string session = roots.session + uid;
  struct stat info {};
  if (::lstat(session.c_str(), &info) == 0) {
    std::string why;
    if (usable(session, why)) {
      folder = session + "/";
      return true;
    }
    passOver(why);
  }
  std::string path = roots.fallback + "lorvane-" + uid;
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    problem = "cannot make " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string why;
  if (!usable(path, why)) {
    problem = why;
    return false;
  }
  folder = path + "/";
  return true;
}

}  // namespace lorvane
