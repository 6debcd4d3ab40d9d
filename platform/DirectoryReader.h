#pragma once
// Reading folders: the one place the media code asks the operating system what a folder holds.
//
//   TKLDDirectoryReader reader(path);
//   if (!reader.IsOpen()) ... reader.Error() says why;
//   TKLDDirectoryEntry entry;
//   while (reader.Next(entry)) { ... reader.Status(entry.name, status) for the entries kept ... }
//
// Names are the file system's own bytes, valid UTF-8 or not. The entry kind comes from the
// listing itself wherever the file system gives it, so listing a folder of many files does not
// touch each file; only symbolic links (which are followed) and file systems that give no kind
// cost a look-up.
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lorvane {

enum class TKLDEntryKind : uint8_t {
  File,    // a regular file, or a link to one
  Folder,  // a folder, or a link to one
  Other,   // devices, pipes, sockets: nothing a media client lists
  Broken,  // a link whose target does not exist or cannot be reached
  Cycle,   // a link that leads back into itself or to a folder above it
};

struct TKLDDirectoryEntry {
  std::string name;
  TKLDEntryKind kind = TKLDEntryKind::Other;
};

struct TKLDFileStatus {
  int64_t size = 0;          // bytes
  std::time_t modified = 0;  // last modification, seconds since 1970 (UTC)
};

class TKLDDirectoryReader {
 public:
  // Opens the folder; path may or may not end with "/".
  explicit TKLDDirectoryReader(const std::string& path);
  ~TKLDDirectoryReader();
  TKLDDirectoryReader(const TKLDDirectoryReader&) = delete;
  TKLDDirectoryReader& operator=(const TKLDDirectoryReader&) = delete;

  // Called with the folder's path before each folder is opened, on the opening thread. Tests
  // stand a folder on a mount that stops answering in with one that blocks here.
  using OpenHook = std::function<void(const std::string& path)>;
  static void SetOpenHook(OpenHook hook);

  bool IsOpen() const { return handle_ != nullptr; }
  // Why the folder could not be opened or read on, as the system words it.
  const std::string& Error() const { return error_; }
  // The folder could not be opened because it (or a folder on its path) does not exist.
  bool NotFound() const { return notFound_; }

  // The next entry, "." and ".." included when the file system lists them; false at the end
  // or when reading fails part-way (Error() is then set).
  bool Next(TKLDDirectoryEntry& entry);
  // The real paths of the folders the user came through to reach this one (the folder's own
  // included). A link to any of them, or to a folder above one, is a Cycle: two folders that
  // link to each other would otherwise make an endless path.
  void SetFoldersOnPath(std::vector<std::string> realPaths) { foldersOnPath_ = std::move(realPaths); }
  // Size and modification time of an entry of this folder, following links.
  bool Status(const std::string& name, TKLDFileStatus& status) const;

 private:
  TKLDEntryKind FollowLink(const std::string& name);

  struct Handle;
  std::unique_ptr<Handle> handle_;
  std::string path_;
  std::string error_;
  bool notFound_ = false;
  // The folder's own resolved path, worked out the first time a link to a folder needs it.
  std::string realPath_;
  bool realPathKnown_ = false;
  std::vector<std::string> foldersOnPath_;
};

// The path with every link and "." or ".." resolved, as the system finds it; empty when some
// part of it cannot be reached.
std::string RealPath(const std::string& path);

// The user's home folder without a trailing "/", empty when it cannot be found.
std::string UserHomeFolder();

}  // namespace lorvane
