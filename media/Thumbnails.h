#pragma once
// Thumbnails of pictures for the media grids. Decoding a photograph takes far longer than a
// frame, so worker threads decode (shrinking while they decode, turned upright by the EXIF
// orientation) and the main thread takes the results in Collect; a grid shows the picture icon
// until then. Decoded thumbnails stay in a bounded cache, least recently used first out, so that
// scrolling back shows them at once.
//
// Get, Collect and the destructor belong to the main thread (graphics become device textures
// there); the workers only decode files into memory.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace lorvane {

class TKLDGraphic;
class TKLDPixbufImage;

class TKLDThumbnailCache {
 public:
  enum class TState { Pending, Ready, Failed };

  // capacity: thumbnails kept (failures are remembered alongside); workers: decoding threads;
  // maxQueued: decodes waiting at most, the oldest requests giving way to new ones.
  explicit TKLDThumbnailCache(size_t capacity = 600, int workers = 2, size_t maxQueued = 256);
  ~TKLDThumbnailCache();
  TKLDThumbnailCache(const TKLDThumbnailCache&) = delete;
  TKLDThumbnailCache& operator=(const TKLDThumbnailCache&) = delete;

  // The picture fitted into width × height, centred on a transparent thumbnail of exactly that
  // size. Ready: returned. Failed: none, and it is not tried again while remembered. Pending:
  // none, and the decode is asked for (the newest requests are decoded first).
  std::shared_ptr<TKLDGraphic> Get(const std::string& path, int width, int height, TState& state);
  // Takes finished decodes into the cache and logs the files that could not be read; returns
  // how many arrived. Never waits for a decode.
  int Collect();

  size_t Cached() const { return entries_.size(); }
  size_t Capacity() const { return capacity_; }
  // Requests queued or being decoded.
  size_t Outstanding() const;
  // Blocks until no decode is queued or running: for tests and benchmarks, never the frame loop.
  void WaitIdle();

  // The decode itself (any thread): fitted, never enlarged, centred; null when unreadable.
  static std::unique_ptr<TKLDPixbufImage> Decode(const std::string& path, int width, int height,
                                                 std::string& error);

 private:
  struct TJob {
    std::string key, path;
    int width = 0, height = 0;
  };
  struct TDone {
    TJob job;
    std::unique_ptr<TKLDPixbufImage> image;
    std::string error;
  };
  struct TEntry {
    std::shared_ptr<TKLDGraphic> graphic;  // none for a failure
    std::list<std::string>::iterator use;
  };

  void Work();
  void Touch(TEntry& entry);
  void Evict();

  const size_t capacity_;
  const size_t maxQueued_;
  // Main thread only.
  std::unordered_map<std::string, TEntry> entries_;
  std::list<std::string> recent_;  // front: most recently used
  std::unordered_set<std::string> requested_;
  // Shared with the workers, under mutex_.
  mutable std::mutex mutex_;
  std::condition_variable wake_, idle_;
  std::deque<TJob> queue_;
  std::vector<TDone> done_;
  int running_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> workers_;
};

}  // namespace lorvane
