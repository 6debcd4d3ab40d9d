#include "app/FolderLayout.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/FileSystem.h"

namespace lorvane {

namespace fs = std::filesystem;

namespace {

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

std::string Home() {
  const char* home = std::getenv("HOME");
  if (home && *home) return home;
  if (passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
  return "/tmp";
}

// An XDG variable counts only when set to an absolute path; otherwise its default under $HOME.
std::string XdgFolder(const char* variable, const char* fallbackUnderHome) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return WithSlash(value);
  return WithSlash(Home()) + fallbackUnderHome;
}

}  // namespace

TFolderLayout TFolderLayout::ForBase(const std::string& baseFolder) {
  TFolderLayout layout;
  layout.base = WithSlash(baseFolder);
  const std::string shared = layout.base + "share/lorvane/";
  layout.installed = DirectoryExists(layout.base + "share/lorvane") && !DirectoryExists(layout.base + "conf");
  if (!layout.installed) {
    layout.configuration = layout.base + "conf/";
    layout.themes = layout.base + "themes/";
    layout.logs = layout.base + "logs/";
    return layout;
  }
  layout.templates = shared + "conf/";
  layout.themes = shared + "themes/";
  layout.configuration = XdgFolder("XDG_CONFIG_HOME", ".config/") + "lorvane/";
  layout.logs = XdgFolder("XDG_STATE_HOME", ".local/state/") + "lorvane/logs/";
  return layout;
}

void TFolderLayout::Prepare(std::vector<std::string>& notes, std::vector<std::string>& problems) const {
  if (!installed) return;
  std::error_code error;
  for (const std::string& folder : {configuration, logs}) {
    fs::create_directories(folder, error);
    if (error) problems.push_back("Could not create the folder " + folder + ": " + error.message());
  }
  if (!DirectoryExists(templates)) {
    problems.push_back("The configuration templates are missing: " + templates);
    return;
  }
  for (const fs::directory_entry& entry : fs::directory_iterator(templates, error)) {
    if (!entry.is_regular_file(error)) continue;
    const std::string name = entry.path().filename().string();
    const std::string target = configuration + name;
    if (fs::exists(target, error)) continue;
    if (fs::copy_file(entry.path(), target, fs::copy_options::none, error))
      notes.push_back("Made " + target + " from the template " + entry.path().string());
    else problems.push_back("Could not copy the template " + entry.path().string() + " to " + target + ": " +
                            error.message());
  }
}

}  // namespace lorvane
