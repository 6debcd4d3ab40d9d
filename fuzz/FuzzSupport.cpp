#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace lorvane::fuzz {

namespace {
class PrivateFolder {
 public:
  PrivateFolder() {
    std::string base = std::filesystem::temp_directory_path().string() + "/lorvane-fuzz-XXXXXX";
    if (char* made = mkdtemp(base.data())) path_ = std::string(made) + "/";
  }
  ~PrivateFolder() {
    std::error_code error;
    if (!path_.empty()) std::filesystem::remove_all(path_, error);
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};
}  // namespace

const std::string& Folder() {
  static PrivateFolder folder;
  if (folder.Path().empty()) std::abort();
  return folder.Path();
}

void WriteInput(const std::string& name, const std::string& bytes) {
  std::ofstream out(Folder() + name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string DefaultThemeFolder() { return std::string(LORVANE_SOURCE_DIR) + "/themes/tv/"; }

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

}  // namespace lorvane::fuzz
