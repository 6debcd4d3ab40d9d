#include "platform/DirectoryReader.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace lorvane {

struct TKLDDirectoryReader::Handle {
  DIR* dir = nullptr;
  ~Handle() {
    if (dir) closedir(dir);
  }
};

namespace {

// With a "/" at the end, so that comparing the front of two paths compares whole folders.
std::string AsFolder(const std::string& path) { return path == "/" ? path : path + "/"; }

}  // namespace

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  if (!realpath(path.c_str(), buffer)) return std::string();
  return buffer;
}

namespace {
std::mutex g_hookMutex;
std::shared_ptr<const TKLDDirectoryReader::OpenHook> g_openHook;
}  // namespace

void TKLDDirectoryReader::SetOpenHook(OpenHook hook) {
  std::lock_guard<std::mutex> lock(g_hookMutex);
  g_openHook = hook ? std::make_shared<const OpenHook>(std::move(hook)) : nullptr;
}

TKLDDirectoryReader::TKLDDirectoryReader(const std::string& path) : path_(path) {
  if (path_.empty()) path_ = ".";
  if (path_.back() != '/') path_ += '/';
  std::shared_ptr<const OpenHook> hook;
  {
    std::lock_guard<std::mutex> lock(g_hookMutex);
    hook = g_openHook;
  }
  if (hook) (*hook)(path_);
  DIR* dir = opendir(path_.c_str());
  if (!dir) {
    notFound_ = errno == ENOENT || errno == ENOTDIR;
    error_ = std::strerror(errno);
    return;
  }
  handle_ = std::make_unique<Handle>();
  handle_->dir = dir;
}

TKLDDirectoryReader::~TKLDDirectoryReader() = default;

bool TKLDDirectoryReader::Next(TKLDDirectoryEntry& entry) {
  if (!handle_) return false;
  errno = 0;
  struct dirent* d = readdir(handle_->dir);
  if (!d) {
    if (errno != 0) error_ = std::strerror(errno);
    return false;
  }
  entry.name = d->d_name;
  switch (d->d_type) {
    case DT_DIR: entry.kind = TKLDEntryKind::Folder; break;
    case DT_REG: entry.kind = TKLDEntryKind::File; break;
    case DT_LNK: entry.kind = FollowLink(entry.name); break;
    case DT_UNKNOWN: {
      struct stat st {};
      if (fstatat(dirfd(handle_->dir), d->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        entry.kind = TKLDEntryKind::Broken;
      } else if (S_ISLNK(st.st_mode)) {
        entry.kind = FollowLink(entry.name);
      } else {
        entry.kind = S_ISDIR(st.st_mode)   ? TKLDEntryKind::Folder
                     : S_ISREG(st.st_mode) ? TKLDEntryKind::File
                                           : TKLDEntryKind::Other;
      }
      break;
    }
    default: entry.kind = TKLDEntryKind::Other; break;
  }
  return true;
}

TKLDEntryKind TKLDDirectoryReader::FollowLink(const std::string& name) {
  struct stat st {};
  if (fstatat(dirfd(handle_->dir), name.c_str(), &st, 0) != 0)
    return errno == ELOOP ? TKLDEntryKind::Cycle : TKLDEntryKind::Broken;
  if (S_ISREG(st.st_mode)) return TKLDEntryKind::File;
  if (!S_ISDIR(st.st_mode)) return TKLDEntryKind::Other;
  // A link to this folder or to one above it would let the user walk down forever, each
  // level a longer path to the same files.
  if (!realPathKnown_) {
    realPath_ = RealPath(path_);
    realPathKnown_ = true;
  }
  std::string target = RealPath(path_ + name);
  if (target.empty()) return TKLDEntryKind::Broken;
  const std::string there = AsFolder(target);
  auto leadsAbove = [&there](const std::string& folder) {
    return !folder.empty() && AsFolder(folder).compare(0, there.size(), there) == 0;
  };
  if (leadsAbove(realPath_)) return TKLDEntryKind::Cycle;
  for (const std::string& folder : foldersOnPath_)
    if (leadsAbove(folder)) return TKLDEntryKind::Cycle;
  return TKLDEntryKind::Folder;
}

bool TKLDDirectoryReader::Status(const std::string& name, TKLDFileStatus& status) const {
  if (!handle_) return false;
  struct stat st {};
  if (fstatat(dirfd(handle_->dir), name.c_str(), &st, 0) != 0) return false;
  status.size = static_cast<int64_t>(st.st_size);
  status.modified = st.st_mtim.tv_sec;
  return true;
}

std::string UserHomeFolder() {
  std::string home;
  if (const char* env = std::getenv("HOME"); env && *env) {
    home = env;
  } else if (const struct passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) {
    home = pw->pw_dir;
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  return home;
}

}  // namespace lorvane
