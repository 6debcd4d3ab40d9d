#pragma once
// Thumbnails of pictures for the media grids. Decoding a photograph takes far longer than a
// frame, so worker threads decode (shrinking while they decode, turned upright by the EXIF
// orientation) and the main thread takes the results in Collect; a grid shows the picture icon
// until then. Decoded thumbnails stay in a bounded cache, least recently used first out, so that
// scrolling back shows them at once.
//
// A film's thumbnail is a picture of the film (media/LibraryCache keeps it as the film's art).
// With a library cache, every thumbnail made is kept on disk too, so that the next visit of a
// folder of large photographs reads small files instead of decoding them again.
//
// Get, Collect and the destructor belong to the main thread (graphics become device textures
// there); the workers only decode files into memory.
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "base/WorkerQueue.h"

namespace lorvane {

class TKLDGraphic;
class TKLDLibraryCache;
class TKLDPixbufImage;

class TKLDThumbnailCache {
 public:
  enum class TState { Pending, Ready, Failed };

  // capacity: thumbnails kept (failures are remembered alongside); workers: decoding threads;
  // maxQueued: decodes waiting at most, the oldest requests giving way to new ones.
  // library: where thumbnails and film pictures are kept between runs; may be null. It is shared
  // with the workers, which may outlive the cache when a decode never returns.
  explicit TKLDThumbnailCache(size_t capacity = 600, int workers = 2, size_t maxQueued = 256,
                              std::shared_ptr<TKLDLibraryCache> library = nullptr);
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
  // Told (on the main thread, in Collect) of each film picture made: the film and the file.
  void SetFilmPictureHandler(std::function<void(const std::string&, const std::string&)> handler) {
    filmPictureMade_ = std::move(handler);
  }

  // A decode running this long is taken to be stuck on a mount that does not answer: the ones
  // behind it get a thread of their own, up to kMaxThreads with the stuck ones.
  static constexpr uint32_t kStuckMs = 5000;
  static constexpr int kMaxThreads = 8;

  size_t Cached() const { return entries_.size(); }
  size_t Capacity() const { return capacity_; }
  // Requests queued or being decoded.
  size_t Outstanding() const;
  // Blocks until no decode is queued or running: for tests and benchmarks, never the frame loop.
  void WaitIdle();

  // The decode itself (any thread): fitted, never enlarged, centred; null when unreadable.
  static std::unique_ptr<TKLDPixbufImage> Decode(const std::string& path, int width, int height,
                                                 std::string& error);
  // A film's picture (a frame a tenth of the way in) fitted the same way. With a library, the
  // picture is taken from it or kept in it, and filmPicture names its file.
  static std::unique_ptr<TKLDPixbufImage> DecodeFilm(const std::string& path, int width, int height,
                                                     TKLDLibraryCache* library,
                                                     std::string& filmPicture, std::string& error);
  // What a worker does: the kept thumbnail when there is one, otherwise a decode (kept after).
  static std::unique_ptr<TKLDPixbufImage> Make(const std::string& path, int width, int height,
                                               TKLDLibraryCache* library, std::string& filmPicture,
                                               std::string& error);

 private:
  struct TJob {
    std::string key, path;
    int width = 0, height = 0;
  };
  struct TMade {
    std::unique_ptr<TKLDPixbufImage> image;
    std::string filmPicture, error;
  };
  struct TEntry {
    std::shared_ptr<TKLDGraphic> graphic;  // none for a failure
    std::list<std::string>::iterator use;
  };

  void Touch(TEntry& entry);
  void Evict();

  const size_t capacity_;
  // Main thread only.
  std::unordered_map<std::string, TEntry> entries_;
  std::list<std::string> recent_;  // front: most recently used
  std::unordered_set<std::string> requested_;
  std::function<void(const std::string&, const std::string&)> filmPictureMade_;
  // Last: its workers stop (or are left to themselves) before the cache's own state goes.
  TKLDWorkerQueue<TJob, TMade> queue_;
};

}  // namespace lorvane
