#pragma once
// What lorvane has learnt about the user's files, kept on disk between runs: tags, the pictures
// that stand for files (covers taken out of music files, pictures of films), thumbnails, and
// where films were stopped. Every record is keyed by the file's path, size and time of change,
// so a file changed since it was read is read again. One database file (WAL journal, so that a
// host and a scripted run can share it) and two folders of pictures, all in one cache folder,
// kept under a size bound by forgetting what was used longest ago.
//
// Nothing here may stop lorvane: a database that cannot be opened, or turns out damaged, is set
// aside and made anew; when even that fails, or the folder cannot be written, the cache says so
// once in the log and answers as an empty cache that keeps nothing. Calls may come from any
// thread; the database is opened on the first call, so the frame thread need never make one.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "media/MediaFolders.h"

namespace lorvane {

class TKLDPixbufImage;
class TKLDSqliteDatabase;

// A file as it is now.
struct TKLDFileKey {
  std::string path;
  int64_t size = 0;
  int64_t changed = 0;  // nanoseconds since 1970

  // False when the file is not there.
  static bool Of(const std::string& path, TKLDFileKey& key);
};

class TKLDLibraryCache {
 public:
  // folder ends with "/"; maxBytes bounds the picture files the cache writes.
  explicit TKLDLibraryCache(std::string folder, int64_t maxBytes = int64_t(512) << 20);
  ~TKLDLibraryCache();
  TKLDLibraryCache(const TKLDLibraryCache&) = delete;
  TKLDLibraryCache& operator=(const TKLDLibraryCache&) = delete;

  // The cache folder: "cache/" beside the logs of a tree (the logs folder's parent), or
  // $XDG_CACHE_HOME/lorvane/ (by default ~/.cache/lorvane/) for an installed copy.
  static std::string FolderFor(bool installed, const std::string& logsFolder);

  const std::string& Folder() const { return folder_; }
  // False once the cache has given up (and said why); it then keeps nothing.
  bool Usable();

  bool FindInfo(const TKLDFileKey& key, TKLDMediaInfo& info);
  void StoreInfo(const TKLDFileKey& key, const TKLDMediaInfo& info);

  // A thumbnail file made for the file at that cell size, or empty.
  std::string FindThumbnail(const TKLDFileKey& key, int width, int height);
  // Saves the picture as the file's thumbnail; false when it could not be kept.
  bool StoreThumbnail(const TKLDFileKey& key, int width, int height, const TKLDPixbufImage& picture);

  // Keeps a picture taken out of a file (an embedded cover) and returns its file; the same
  // bytes make the same file, so an album's tracks share one. Empty when it cannot be kept.
  std::string StoreArt(const std::vector<uint8_t>& bytes, const std::string& mimeType);
  // Keeps the picture of a film, records it as the film's art and returns its file.
  std::string StoreFilmPicture(const TKLDFileKey& key, const TKLDPixbufImage& picture);
  // The film picture kept for the file as it is now, or empty.
  std::string FindFilmPicture(const TKLDFileKey& key);

  // Seconds into the file where playing stopped, 0 when none is kept (or the file changed).
  double FindResume(const TKLDFileKey& key);
  // Keeps the position; 0 or less forgets it.
  void StoreResume(const TKLDFileKey& key, double seconds);

  // Forgets what was used longest ago until the picture files fit the bound again.
  void Prune();
  // Bytes of picture files the cache has recorded.
  int64_t PictureBytes();

 private:
  bool OpenLocked();
  bool SetUpLocked(std::string& error);
  void GiveUpLocked(const std::string& why);
  void WriteFailedLocked(const std::string& what, const std::string& error);
  bool ExecLocked(const std::string& sql);
  void PruneLocked();
  std::string PicturePath(const std::string& folder, const std::string& name) const;

  const std::string folder_;
  const int64_t maxBytes_;
  std::mutex mutex_;
  std::unique_ptr<TKLDSqliteDatabase> db_;
  bool tried_ = false, gaveUp_ = false, writeWarned_ = false;
  int storesSincePrune_ = 0;
};

}  // namespace lorvane
