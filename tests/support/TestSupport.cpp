#include "support/TestSupport.h"

#include <sys/resource.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace lorvane::test {

namespace {
// Every test runs headless, whoever starts it; a caller's own choice of drivers still wins.
struct THeadlessEnvironment {
  THeadlessEnvironment() {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_RENDER_DRIVER", "software", 0);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("LORVANE_SOURCE", LORVANE_SOURCE_DIR, 0);
    setenv("LORVANE_STAGE", LORVANE_STAGE_DIR, 0);
  }
} g_headlessEnvironment;
}  // namespace

TempDir::TempDir() {
  std::string templ = (std::filesystem::temp_directory_path() / "lorvane-test-XXXXXX").string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  path_ = templ + "/";
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(const char* name, const char* value) : name_(name) {
  if (const char* old = std::getenv(name)) old_ = old, hadOld_ = true;
  if (value) setenv(name, value, 1);
  else unsetenv(name);
}

ScopedEnv::~ScopedEnv() {
  if (hadOld_) setenv(name_, old_.c_str(), 1);
  else unsetenv(name_);
}

ScopedFileSizeLimit::ScopedFileSizeLimit(unsigned long bytes) {
  oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  oldSoft_ = limit.rlim_cur;
  // Only the soft limit moves, so that it can be raised again without privileges.
  limit.rlim_cur = bytes;
  if (setrlimit(RLIMIT_FSIZE, &limit) != 0) throw std::runtime_error("setrlimit failed");
}

ScopedFileSizeLimit::~ScopedFileSizeLimit() {
  rlimit limit{};
  getrlimit(RLIMIT_FSIZE, &limit);
  limit.rlim_cur = oldSoft_;
  setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, oldHandler_);
}

void TempDir::Write(const std::string& name, const std::string& content) const {
  std::filesystem::path p(path_ + name);
  std::filesystem::create_directories(p.parent_path());
  WriteFile(p.string(), content);
}

std::string TempDir::Read(const std::string& name) const { return ReadFile(path_ + name); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

bool FileExists(const std::string& path) { return std::filesystem::exists(path); }

void WriteMinimalTheme(const TempDir& base, const std::string& name) {
  const std::string dir = "themes/" + name + "/";
  base.Write("conf/.keep", "");
  base.Write(dir + "ThemeDescriptor.xml",
             "<Theme name=\"" + name + "\"><DesignedWidth>800</DesignedWidth>"
             "<DesignedHeight>600</DesignedHeight></Theme>");
  base.Write(dir + "base-VisualDescriptor.xml", "<VisualDescriptor name=\"" + name + "\"/>");
  base.Write(dir + "base-InterfaceDescriptor.xml", "<InterfaceDescriptor name=\"" + name + "\"/>");
  base.Write(dir + "base-AudioDescriptor.xml", "<AudioDescriptor name=\"" + name + "\"/>");
  base.Write(dir + "base-LanguageDescriptor.xml",
             "<LanguageDescriptor name=\"" + name + "\">"
             "<SupportedLanguages><Language name=\"English\"/></SupportedLanguages>"
             "<NativeLanguage><Language name=\"English\"/></NativeLanguage>"
             "<Languages><Language name=\"English\"><Text name=\"hello\">Hello</Text></Language></Languages>"
             "</LanguageDescriptor>");
}

std::string MakeMediaWithFfmpeg(const std::string& args, const std::string& file) {
  const std::string command = "ffmpeg -nostdin -loglevel error -y " + args + " '" + file + "'";
  return std::system(command.c_str()) == 0 ? std::string() : command;
}

}  // namespace lorvane::test
