#include "base/FileSystem.h"

#include <sys/stat.h>

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
