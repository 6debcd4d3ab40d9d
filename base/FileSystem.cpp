#include "base/FileSystem.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>

namespace lorvane {

bool FileExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateFolder(const std::string& path) {
  return mkdir(path.c_str(), 0755) == 0 || DirectoryExists(path);
}

bool FileStamp(const std::string& path, int64_t& size, int64_t& changed) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return false;
  size = st.st_size;
  changed = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

bool WriteWholeFile(const std::string& path, std::string_view data, std::string& error) {
  error.clear();
  // Per thread, so two writers never share one; on the main thread it is the process id.
  const std::string temporary = path + ".tmp" + std::to_string(gettid());
  auto fail = [&](const std::string& step, int code) {
    error = "Could not " + step + " file " + path + ": " + std::strerror(code);
    unlink(temporary.c_str());
    return false;
  };
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    // Whatever stands in the way is not ours to remove.
    error = "Could not create file " + path + ": " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  while (done < data.size()) {
    const ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int code = n < 0 ? errno : ENOSPC;
      close(fd);
      return fail("write", code);
    }
    done += static_cast<size_t>(n);
  }
  // A full disk or a lost network share may only say so here. The data must be on disk before
  // the rename makes it the file, or a crash could leave an empty file behind.
  if (fsync(fd) != 0) {
    const int code = errno;
    close(fd);
    return fail("write", code);
  }
  if (close(fd) != 0) return fail("write", errno);
  if (rename(temporary.c_str(), path.c_str()) != 0) return fail("replace", errno);
  return true;
}

bool WriteWholeFile(const std::string& path, const std::vector<uint8_t>& data, std::string& error) {
  return WriteWholeFile(path, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), error);
}

bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& data) {
  data.clear();
  if (!FileExists(path)) return false;
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0) return false;
  in.seekg(0, std::ios::beg);
  data.resize(static_cast<size_t>(size));
  if (size > 0 && !in.read(reinterpret_cast<char*>(data.data()), size)) {
    data.clear();
    return false;
  }
  return true;
}

}  // namespace lorvane
