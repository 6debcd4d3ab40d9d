#include "media/Thumbnails.h"

#include <algorithm>
#include <cmath>

#include "base/Logging.h"
#include "media/LibraryCache.h"
#include "media/MediaFolders.h"
#include "platform/FilmReader.h"
#include "platform/PixbufImage.h"
#include "platform/SystemInfo.h"
#include "render/Graphic.h"

namespace lorvane {

namespace {

std::string KeyOf(const std::string& path, int width, int height) {
  return std::to_string(width) + "x" + std::to_string(height) + "|" + path;
}

// Fitted into width × height, never enlarged, centred on a transparent cell of exactly that size.
std::unique_ptr<TKLDPixbufImage> FitIntoCell(std::unique_ptr<TKLDPixbufImage> picture, int width,
                                             int height, std::string& error) {
  int w = picture->Width(), h = picture->Height();
  const double f = std::min({1.0, double(width) / w, double(height) / h});
  const int fw = std::clamp(static_cast<int>(std::lround(w * f)), 1, width);
  const int fh = std::clamp(static_cast<int>(std::lround(h * f)), 1, height);
  if (fw != w || fh != h) {
    picture = picture->Scaled(fw, fh);
    if (!picture) {
      error = "out of memory";
      return nullptr;
    }
    w = fw, h = fh;
  }
  if (w == width && h == height) return picture;
  std::vector<uint8_t> fitted(size_t(w) * h * 4);
  picture->ToBGRA(fitted.data(), w * 4);
  std::vector<uint8_t> cell(size_t(width) * height * 4, 0);
  const int left = (width - w) / 2, top = (height - h) / 2;
  for (int y = 0; y < h; ++y)
    std::copy_n(fitted.data() + size_t(y) * w * 4, size_t(w) * 4,
                cell.data() + (size_t(top + y) * width + left) * 4);
  return TKLDPixbufImage::FromBGRA(width, height, cell.data(), width * 4);
}

// Film pictures are kept at this size at most, large enough for a theme's poster.
constexpr int kFilmPictureWidth = 640, kFilmPictureHeight = 640;

}  // namespace

TKLDThumbnailCache::TKLDThumbnailCache(size_t capacity, int workers, size_t maxQueued,
                                       std::shared_ptr<TKLDLibraryCache> library)
    : capacity_(std::max<size_t>(1, capacity)),
      queue_(workers, maxQueued,
             [library](TJob& job) {
               TMade made;
               made.image = Make(job.path, job.width, job.height, library.get(), made.filmPicture, made.error);
               return made;
             },
             {.name = "thumbnail workers",
              // The decoders would otherwise take the processors from the frame loop while a page
              // fills; a mild step, so that they still get their share beside other programs.
              .threadStart = [] { LowerCurrentThreadPriority(5); },
              .describe = [](const TJob& job) { return job.path; },
              .stopWaitMs = 500,
              .stuckMs = kStuckMs,
              .maxThreads = std::max(workers, kMaxThreads)}) {}

TKLDThumbnailCache::~TKLDThumbnailCache() { queue_.Stop(); }

std::unique_ptr<TKLDPixbufImage> TKLDThumbnailCache::Decode(const std::string& path, int width,
                                                            int height, std::string& error) {
  if (width <= 0 || height <= 0) {
    error = "no thumbnail size";
    return nullptr;
  }
  auto fit = [&](int nw, int nh, int& w, int& h) {
    const double f = std::min({1.0, double(width) / std::max(1, nw), double(height) / std::max(1, nh)});
    w = std::clamp(static_cast<int>(std::lround(nw * f)), 1, width);
    h = std::clamp(static_cast<int>(std::lround(nh * f)), 1, height);
  };
  std::unique_ptr<TKLDPixbufImage> picture = TKLDPixbufImage::Load(path, fit, error);
  if (!picture || picture->Width() <= 0 || picture->Height() <= 0) return nullptr;
  // A decoder that ignored the size asked for is scaled down here.
  return FitIntoCell(std::move(picture), width, height, error);
}


std::unique_ptr<TKLDPixbufImage> TKLDThumbnailCache::DecodeFilm(const std::string& path, int width,
                                                                int height, TKLDLibraryCache* library,
                                                                std::string& filmPicture,
                                                                std::string& error) {
  if (width <= 0 || height <= 0) {
    error = "no thumbnail size";
    return nullptr;
  }
  TKLDFileKey key;
  const bool known = library && TKLDFileKey::Of(path, key);
  if (known) {
    const std::string kept = library->FindFilmPicture(key);
    if (!kept.empty()) {
      if (auto picture = Decode(kept, width, height, error)) {
        filmPicture = kept;
        return picture;
      }
    }
  }
  TKLDFilmFrame frame;
  if (!GrabFilmFrame(path, kFilmPictureWidth, kFilmPictureHeight, frame, error)) return nullptr;
  std::unique_ptr<TKLDPixbufImage> picture =
      TKLDPixbufImage::FromBGRA(frame.width, frame.height, frame.bgra.data(), frame.width * 4);
  if (!picture) {
    error = "out of memory";
    return nullptr;
  }
  if (known) filmPicture = library->StoreFilmPicture(key, *picture);
  return FitIntoCell(std::move(picture), width, height, error);
}

std::unique_ptr<TKLDPixbufImage> TKLDThumbnailCache::Make(const std::string& path, int width, int height,
                                                          TKLDLibraryCache* library,
                                                          std::string& filmPicture, std::string& error) {
  if (DetectMediaType(path) == MEDIA_VIDEO) return DecodeFilm(path, width, height, library, filmPicture, error);
  TKLDFileKey key;
  const bool known = library && TKLDFileKey::Of(path, key);
  if (known) {
    const std::string kept = library->FindThumbnail(key, width, height);
    std::string ignored;
    if (!kept.empty())
      if (auto picture = Decode(kept, width, height, ignored)) return picture;
  }
  std::unique_ptr<TKLDPixbufImage> picture = Decode(path, width, height, error);
  if (picture && known) library->StoreThumbnail(key, width, height, *picture);
  return picture;
}

std::shared_ptr<TKLDGraphic> TKLDThumbnailCache::Get(const std::string& path, int width, int height,
                                                     TState& state) {
  const std::string key = KeyOf(path, width, height);
  auto found = entries_.find(key);
  if (found != entries_.end()) {
    Touch(found->second);
    state = found->second.graphic ? TState::Ready : TState::Failed;
    return found->second.graphic;
  }
  state = TState::Pending;
  if (requested_.count(key)) return nullptr;
  std::vector<TJob> dropped;
  queue_.Push(TJob{key, path, width, height}, true, &dropped);
  // Asked for longest ago and still waiting: the user has most likely moved on.
  for (const TJob& job : dropped) requested_.erase(job.key);
  requested_.insert(key);
  return nullptr;
}

int TKLDThumbnailCache::Collect() {
  std::vector<TKLDWorkerQueue<TJob, TMade>::TDone> done = queue_.Take();
  for (auto& result : done) {
    requested_.erase(result.job.key);
    std::shared_ptr<TKLDGraphic> graphic;
    if (result.result.image) {
      graphic = std::make_shared<TKLDGraphic>();
      graphic->AdoptImage(std::move(result.result.image), result.job.path);
    } else {
      // A type no loader reads was told once at start.
      if (TKLDPixbufImage::HasUndecodableExtension(result.job.path)) LogDebug("Failed to load image: " + result.job.path);
      else LogWarn("Failed to load image: " + result.job.path);
      if (!result.result.error.empty()) LogDebug("Image decoder: " + result.result.error);
    }
    if (!result.result.filmPicture.empty() && filmPictureMade_)
      filmPictureMade_(result.job.path, result.result.filmPicture);
    auto [it, added] = entries_.try_emplace(result.job.key);
    if (added) {
      recent_.push_front(result.job.key);
      it->second.use = recent_.begin();
    } else {
      Touch(it->second);
    }
    it->second.graphic = std::move(graphic);
  }
  Evict();
  return static_cast<int>(done.size());
}

void TKLDThumbnailCache::Touch(TEntry& entry) { recent_.splice(recent_.begin(), recent_, entry.use); }

// Grids hold their own reference to what they show, so an evicted thumbnail on screen stays.
void TKLDThumbnailCache::Evict() {
  while (entries_.size() > capacity_) {
    entries_.erase(recent_.back());
    recent_.pop_back();
  }
}

size_t TKLDThumbnailCache::Outstanding() const { return queue_.Outstanding(); }

void TKLDThumbnailCache::WaitIdle() { queue_.WaitIdle(); }

}  // namespace lorvane
