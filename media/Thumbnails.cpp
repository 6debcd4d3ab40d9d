#include "media/Thumbnails.h"

#include <algorithm>
#include <cmath>

#include "base/Logging.h"
#include "platform/PixbufImage.h"
#include "platform/SystemInfo.h"
#include "render/Graphic.h"

namespace lorvane {

namespace {

std::string KeyOf(const std::string& path, int width, int height) {
  return std::to_string(width) + "x" + std::to_string(height) + "|" + path;
}

}  // namespace

TKLDThumbnailCache::TKLDThumbnailCache(size_t capacity, int workers, size_t maxQueued)
    : capacity_(std::max<size_t>(1, capacity)), maxQueued_(std::max<size_t>(1, maxQueued)) {
  for (int i = 0; i < std::max(1, workers); ++i) workers_.emplace_back([this] { Work(); });
}

TKLDThumbnailCache::~TKLDThumbnailCache() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  wake_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

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
  int w = picture->Width(), h = picture->Height();
  if (w > width || h > height) {
    // A decoder that ignored the size asked for: scale down here.
    int fw = 0, fh = 0;
    fit(w, h, fw, fh);
    picture = picture->Scaled(fw, fh);
    if (!picture) {
      error = "out of memory";
      return nullptr;
    }
    w = fw, h = fh;
  }
  if (w == width && h == height) return picture;
  // Centred on a transparent cell of the exact size, so the grid draws it undistorted.
  std::vector<uint8_t> fitted(size_t(w) * h * 4);
  picture->ToBGRA(fitted.data(), w * 4);
  std::vector<uint8_t> cell(size_t(width) * height * 4, 0);
  const int left = (width - w) / 2, top = (height - h) / 2;
  for (int y = 0; y < h; ++y)
    std::copy_n(fitted.data() + size_t(y) * w * 4, size_t(w) * 4,
                cell.data() + (size_t(top + y) * width + left) * 4);
  return TKLDPixbufImage::FromBGRA(width, height, cell.data(), width * 4);
}

void TKLDThumbnailCache::Work() {
  // The decoders would otherwise take the processors from the frame loop while a page fills;
  // a mild step, so that they still get their share beside other programs.
  LowerCurrentThreadPriority(5);
  for (;;) {
    TJob job;
    {
      std::unique_lock<std::mutex> lock(mutex_);
      wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      job = std::move(queue_.front());
      queue_.pop_front();
      ++running_;
    }
    TDone done;
    done.image = Decode(job.path, job.width, job.height, done.error);
    done.job = std::move(job);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_.push_back(std::move(done));
      --running_;
    }
    idle_.notify_all();
  }
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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_front(TJob{key, path, width, height});
    while (queue_.size() > maxQueued_) {
      // Asked for longest ago and still waiting: the user has most likely moved on.
      requested_.erase(queue_.back().key);
      queue_.pop_back();
    }
  }
  requested_.insert(key);
  wake_.notify_one();
  return nullptr;
}

int TKLDThumbnailCache::Collect() {
  std::vector<TDone> done;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    done.swap(done_);
  }
  for (TDone& result : done) {
    requested_.erase(result.job.key);
    std::shared_ptr<TKLDGraphic> graphic;
    if (result.image) {
      graphic = std::make_shared<TKLDGraphic>();
      graphic->AdoptImage(std::move(result.image), result.job.path);
    } else {
      LogWarn("Failed to load image: " + result.job.path);
      if (!result.error.empty()) LogDebug("Image decoder: " + result.error);
    }
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

size_t TKLDThumbnailCache::Outstanding() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size() + static_cast<size_t>(running_);
}

void TKLDThumbnailCache::WaitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  idle_.wait(lock, [this] { return queue_.empty() && running_ == 0; });
}

}  // namespace lorvane
