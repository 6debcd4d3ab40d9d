#pragma once
// Reads what files say about themselves on a worker thread, so that a folder lists at once by
// its names and fills in its titles and covers as they are read: tags, length and cover of
// music (the cover in the file, else the folder's cover.jpg, folder.jpg or front.jpg), the
// title and length of films with the picture and stop position kept for them, the cover of a
// music folder. What was read is kept in the library cache when there is one, so a second visit
// reads nothing. A file that cannot be read is known by its name alone, as before.
//
// Get, Find, Collect, SetArt and RememberStop belong to the main thread; Read runs anywhere.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "base/WorkerQueue.h"
#include "media/MediaFolders.h"

namespace lorvane {

class TKLDLibraryCache;
class TKLDMetaDataManager;

// "hh:mm:ss" of whole seconds, as the clock's values show lengths; empty for 0 or less.
std::string DurationText(double seconds);
// "h:mm:ss" for a stop position ("0:12:34").
std::string PositionText(double seconds);

// Sets prefix + ".title", ".artist", ".album", ".year", ".track", ".genre", ".duration", ".art"
// and ".resume" (empty without info), and ".credited": "yes" when the file names its artist or
// album, else "no". A file without a title of its own is titled by its name (name). withDuration false leaves ".duration" empty, so that a name the clock computes while
// playing ("media.current.duration") stays the clock's.
void PublishMediaInfo(TKLDMetaDataManager& meta, const std::string& prefix, const TKLDMediaInfo* info,
                      const std::string& name, bool withDuration = true);

class TKLDMediaInfoReader {
 public:
  // cache may be null (nothing kept between runs). It is shared with the reader's worker, which
  // may outlive the reader when a read never returns.
  explicit TKLDMediaInfoReader(std::shared_ptr<TKLDLibraryCache> cache, size_t maxQueued = 1024);
  ~TKLDMediaInfoReader();
  TKLDMediaInfoReader(const TKLDMediaInfoReader&) = delete;
  TKLDMediaInfoReader& operator=(const TKLDMediaInfoReader&) = delete;

  // Whether a file of that type has anything to read: music, films and folders.
  static bool Wants(uint8_t mediaType);
  // What is known of the file, or null; asks for it (newest first) when it is not known yet.
  std::shared_ptr<const TKLDMediaInfo> Get(const std::string& path, uint8_t mediaType);
  std::shared_ptr<const TKLDMediaInfo> Find(const std::string& path) const;
  // Takes finished reads in; returns how many arrived. Never waits.
  int Collect();
  // Counts every change of what is known, so that whoever shows it can tell when to look again.
  uint64_t Changes() const { return changes_; }

  // A film's picture, made by the thumbnail workers, is its art from now on.
  void SetArt(const std::string& path, const std::string& file);
  // Playing a film stopped at position of duration seconds: between 5 % and 95 % the position
  // is kept, past 95 % (watched) it is forgotten, before 5 % what was kept stays.
  void RememberStop(const std::string& path, double position, double duration);

  // A read running this long is taken to be stuck on a mount that does not answer: the reads
  // behind it get a thread of their own, up to kMaxThreads with the stuck ones.
  static constexpr uint32_t kStuckMs = 5000;
  static constexpr int kMaxThreads = 4;

  // Blocks until every read and write asked for is done (tests, benchmarks, shutdown).
  void WaitIdle() { queue_.WaitIdle(); }
  size_t Outstanding() const { return queue_.Outstanding(); }

  // The read itself (any thread).
  static TKLDMediaInfo Read(const std::string& path, uint8_t mediaType, TKLDLibraryCache* cache);
  // The picture file of a folder: cover, folder or front (any case; .jpg, .jpeg or .png), else
  // the cover inside its first music file; empty when there is none.
  static std::string FolderArt(const std::string& folder, TKLDLibraryCache* cache);

 private:
  struct TJob {
    std::string path;
    uint8_t mediaType = MEDIA_UNKNOWN;
    bool storeResume = false;
    double position = 0;
  };
  using TResult = std::shared_ptr<const TKLDMediaInfo>;

  void Publish(const std::string& path, std::shared_ptr<const TKLDMediaInfo> info);

  // Main thread only.
  std::unordered_map<std::string, std::shared_ptr<const TKLDMediaInfo>> known_;
  std::unordered_set<std::string> asked_;
  uint64_t changes_ = 0;
  TKLDWorkerQueue<TJob, TResult> queue_;
};

}  // namespace lorvane
