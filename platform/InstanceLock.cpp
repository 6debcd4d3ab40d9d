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

bool PrivateRuntimeFolder(std::string& folder, std::string& problem, std::string& note) {
  note.clear();
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) {
    std::string path = runtime;
    std::string why;
    if (IsPrivateFolder(path, why)) {
      folder = path.back() == '/' ? path : path + "/";
      return true;
    }
    note = "XDG_RUNTIME_DIR is not usable (" + why + ")";
  }
  std::string path = "/tmp/lorvane-" + std::to_string(::getuid());
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
    problem = "cannot make " + path + ": " + std::strerror(errno);
    return false;
  }
  std::string why;
  if (!IsPrivateFolder(path, why)) {
    problem = why;
    return false;
  }
  folder = path + "/";
  return true;
}

}  // namespace lorvane
