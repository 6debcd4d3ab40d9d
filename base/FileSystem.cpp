#include "base/FileSystem.h"

#include <sys/stat.h>

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

}  // namespace lorvane
