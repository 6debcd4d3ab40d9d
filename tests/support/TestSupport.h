#pragma once
#include <string>

namespace lorvane::test {

// A folder under /tmp that is removed with everything in it when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder's path, ending with "/".
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + name; }
  void Write(const std::string& name, const std::string& content) const;
  std::string Read(const std::string& name) const;

 private:
  std::string path_;
};

// Sets an environment variable (or, with none, removes it) until the object goes, then puts back
// what was there.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value);
  ~ScopedEnv();
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::string old_;
  bool hadOld_ = false;
};

// A disk that is full past `bytes` for this process until the object goes: no file may grow
// beyond it, and a write past it fails with EFBIG instead of ending the process.
class ScopedFileSizeLimit {
 public:
  explicit ScopedFileSizeLimit(unsigned long bytes);
  ~ScopedFileSizeLimit();
  ScopedFileSizeLimit(const ScopedFileSizeLimit&) = delete;
  ScopedFileSizeLimit& operator=(const ScopedFileSizeLimit&) = delete;

 private:
  unsigned long oldSoft_ = 0;
  void (*oldHandler_)(int) = nullptr;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);

// Writes the smallest theme that loads, named `name`, under base + "themes/", and a "conf/"
// folder, so that an application manager on `base` reaches the running state.
void WriteMinimalTheme(const TempDir& base, const std::string& name = "tv");

// Makes a media file with ffmpeg's generators: `args` are the input and codec options. Returns
// the command when it failed, empty on success.
std::string MakeMediaWithFfmpeg(const std::string& args, const std::string& file);

}  // namespace lorvane::test
