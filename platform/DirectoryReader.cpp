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

namespace lorvane {

struct TKLDDirectoryReader::Handle {
  DIR* dir = nullptr;
  ~Handle() {
    if (dir) closedir(dir);
  }
};

namespace {

std::string Resolved(const std::string& path) {
  char buffer[PATH_MAX];
  if (!realpath(path.c_str(), buffer)) return std::string();
  return buffer;
}

}  // namespace

TKLDDirectoryReader::TKLDDirectoryReader(const std::string& path) : path_(path) {
  if (path_.empty()) path_ = ".";
  if (path_.back() != '/') path_ += '/';
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
    realPath_ = Resolved(path_);
    realPathKnown_ = true;
  }
  std::string target = Resolved(path_ + name);
  if (target.empty()) return TKLDEntryKind::Broken;
  if (!realPath_.empty()) {
    std::string here = realPath_ == "/" ? realPath_ : realPath_ + "/";
    std::string there = target == "/" ? target : target + "/";
    if (here.compare(0, there.size(), there) == 0) return TKLDEntryKind::Cycle;
  }
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
