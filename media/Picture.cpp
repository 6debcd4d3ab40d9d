#include "media/Picture.h"

#include <algorithm>
#include <cmath>

#include "base/Logging.h"
#include "media/MediaManager.h"
#include "platform/PixbufImage.h"
#include "render/Graphic.h"
#include "render/Random.h"

namespace lorvane {

void FitPicture(int pictureWidth, int pictureHeight, int screenWidth, int screenHeight,
                double& fittedWidth, double& fittedHeight) {
  const double a = double(pictureWidth) / pictureHeight;
  const double s = double(screenWidth) / screenHeight;
  if (a >= s) {
    fittedWidth = screenWidth;
    fittedHeight = screenWidth / a;
  } else {
    fittedWidth = a * screenHeight;
    fittedHeight = screenHeight;
  }
}

// ---------------------------------------------------------------------------------------------
// Loader

// One waiting wish at most: a newer one replaces it.
TKLDPictureLoader::TKLDPictureLoader()
    : queue_(1, 1, [](Job& job) { return Decode(job.url, job.screenWidth, job.screenHeight); },
             {.name = "picture loader", .threadStart = {}, .describe = [](const Job& job) { return job.url; }}) {}

TKLDPictureLoader::~TKLDPictureLoader() { queue_.Stop(); }

std::unique_ptr<TKLDPictureLoader::Result> TKLDPictureLoader::Decode(const std::string& url, int screenWidth,
                                                                     int screenHeight) {
  auto result = std::make_unique<Result>();
  result->url = url;
  result->screenWidth = screenWidth;
  result->screenHeight = screenHeight;
  if (screenWidth <= 0 || screenHeight <= 0) {
    result->error = "no screen to fit the picture to";
    return result;
  }
  int width = 0, height = 0;
  auto image = TKLDPixbufImage::Load(
      url,
      [&](int naturalWidth, int naturalHeight, int& w, int& h) {
        result->naturalWidth = naturalWidth;
        result->naturalHeight = naturalHeight;
        double fw = 0, fh = 0;
        FitPicture(naturalWidth, naturalHeight, screenWidth, screenHeight, fw, fh);
        width = std::max(1, static_cast<int>(std::lround(fw)));
        height = std::max(1, static_cast<int>(std::lround(fh)));
        // JPEG shrinks while decoding; a small picture decodes whole and is enlarged below.
        w = std::min(naturalWidth, width);
        h = std::min(naturalHeight, height);
      },
      result->error);
  if (image && (image->Width() != width || image->Height() != height)) {
    auto scaled = image->Scaled(width, height);
    if (!scaled) result->error = "could not resample to the screen";
    image = std::move(scaled);
  }
  result->image = std::move(image);
  return result;
}

TKLDPictureLoader::TAsked* TKLDPictureLoader::Asked(const std::string& url, int w, int h) {
  for (TAsked& asked : asked_)
    if (asked.job.Is(url, w, h)) return &asked;
  return nullptr;
}

void TKLDPictureLoader::Request(const std::string& url, int screenWidth, int screenHeight) {
  if (Asked(url, screenWidth, screenHeight)) return;
  // Only the newest wish counts: an older one still waiting gives way, and of the results
  // nobody took only the newest stays, so at most two decoded pictures wait at any time.
  std::vector<Job> dropped;
  const uint64_t ticket = queue_.Push(Job{url, screenWidth, screenHeight}, true, &dropped);
  for (const Job& job : dropped)
    std::erase_if(asked_, [&](const TAsked& asked) { return asked.job.Is(job.url, job.screenWidth, job.screenHeight); });
  int finished = 0;
  for (const TAsked& asked : asked_) finished += queue_.Finished(asked.ticket);
  for (auto it = asked_.begin(); finished > 1 && it != asked_.end();) {
    if (queue_.Finished(it->ticket)) {
      queue_.Cancel(it->ticket);
      it = asked_.erase(it);
      --finished;
    } else {
      ++it;
    }
  }
  if (ticket) asked_.push_back(TAsked{Job{url, screenWidth, screenHeight}, ticket});
}

std::unique_ptr<TKLDPictureLoader::Result> TKLDPictureLoader::Take(const std::string& url, int screenWidth,
                                                                   int screenHeight) {
  TAsked* asked = Asked(url, screenWidth, screenHeight);
  TKLDWorkerQueue<Job, std::unique_ptr<Result>>::TDone done;
  if (!asked || !queue_.Take(asked->ticket, done)) return nullptr;
  const uint64_t ticket = asked->ticket;
  std::erase_if(asked_, [ticket](const TAsked& a) { return a.ticket == ticket; });
  return std::move(done.result);
}

bool TKLDPictureLoader::Pending(const std::string& url, int screenWidth, int screenHeight) {
  const TAsked* asked = Asked(url, screenWidth, screenHeight);
  return asked && !queue_.Finished(asked->ticket);
}

void TKLDPictureLoader::Drop() {
  for (const TAsked& asked : asked_) queue_.Cancel(asked.ticket);
  asked_.clear();
}

void TKLDPictureLoader::WaitIdle() { queue_.WaitIdle(); }

// ---------------------------------------------------------------------------------------------
// Renderer

TKLDPictureRenderer::TKLDPictureRenderer(TKLDMediaStream& stream)
    : TKLDAVRenderer(stream), current_(std::make_unique<TKLDGraphic>()), incoming_(std::make_unique<TKLDGraphic>()) {}

TKLDPictureRenderer::~TKLDPictureRenderer() = default;

void TKLDPictureRenderer::ReadSettings() {
  const TKLDSlideshowSettings settings = Stream().Manager().Slideshow();
  holdLast_ = settings.delay <= 0;
  delay_ = holdLast_ ? 30 : settings.delay;
  panZoom_ = settings.panZoom;
  fading_ = settings.fading;
}

bool TKLDPictureRenderer::Play() {
  if (phase_ == PHASE_STOPPED) phase_ = PHASE_LOAD;
  return true;
}

bool TKLDPictureRenderer::Stop() {
  // The picture prepared for the next slide is not wanted any more.
  loader_.Drop();
  phase_ = PHASE_STOPPED;
  loading_ = false;
  skipBroken_ = false;
  return true;
}

bool TKLDPictureRenderer::PlayNext() {
  Load();
  return true;
}

bool TKLDPictureRenderer::PlayPrevious() {
  Load();
  return true;
}

void TKLDPictureRenderer::Close() {
  current_->Invalidate();
  incoming_->Invalidate();
}

void TKLDPictureRenderer::Update() {}

void TKLDPictureRenderer::Load() {
  const TKLDMediaItem* item = Playlist().Current();
  if (!item) return;
  ReadSettings();
  skipBroken_ = false;
  int width = 0, height = 0;
  Stream().Manager().ScreenSize(width, height);
  loadingURL_ = item->URL;
  loadWidth_ = width;
  loadHeight_ = height;
  if (!backgroundDecoding_) {
    loading_ = false;
    Adopt(TKLDPictureLoader::Decode(item->URL, width, height));
    return;
  }
  // The picture showing now stays until the new one is decoded; prepared in advance, it is
  // ready at once.
  loading_ = true;
  loader_.Request(item->URL, width, height);
  FinishLoad();
}

void TKLDPictureRenderer::FinishLoad() {
  if (!loading_) return;
  std::unique_ptr<TKLDPictureLoader::Result> result = loader_.Take(loadingURL_, loadWidth_, loadHeight_);
  if (!result) {
    // Dropped in favour of a newer wish that has since gone: ask again.
    if (!loader_.Pending(loadingURL_, loadWidth_, loadHeight_)) loader_.Request(loadingURL_, loadWidth_, loadHeight_);
    return;
  }
  loading_ = false;
  Adopt(std::move(result));
}

void TKLDPictureRenderer::Adopt(std::unique_ptr<TKLDPictureLoader::Result> result) {
  incoming_->Invalidate();
  if (!result->image) {
    // A type no loader reads was told once at start.
    if (TKLDPixbufImage::HasUndecodableExtension(result->url)) LogDebug("Failed to load image: " + result->url);
    else LogWarn("Failed to load image: " + result->url);
    if (!result->error.empty()) LogDebug("Image decoder: " + result->error);
    incoming_->AdoptImage(nullptr, result->url);
    incomingURL_.clear();
    skipBroken_ = true;
    return;
  }
  incoming_->AdoptImage(std::move(result->image), result->url);
  incomingURL_ = result->url;
  Plan(result->naturalWidth, result->naturalHeight);
  Prefetch();
}

void TKLDPictureRenderer::Plan(int naturalWidth, int naturalHeight) {
  if (!incoming_->Loaded() || naturalWidth <= 0 || naturalHeight <= 0) return;
  int screenWidth = 0, screenHeight = 0;
  Stream().Manager().ScreenSize(screenWidth, screenHeight);
  double fw = 0, fh = 0;
  FitPicture(naturalWidth, naturalHeight, screenWidth, screenHeight, fw, fh);
  const double full[4] = {0, 0, fw, fh};
  double start[4] = {0, 0, fw, fh};
  if (panZoom_) {
    const double r1 = RandomReal();
    const double r2 = RandomReal();
    const int n = RandomInt(1000);
    const double crop[4] = {r1 * 0.25 * fw, r2 * 0.25 * fh, 0.75 * fw, 0.75 * fh};
    const double* from = n <= 500 ? full : crop;
    const double* to = n <= 500 ? crop : full;
    for (int i = 0; i < 4; ++i) {
      start[i] = from[i];
      panSpeed_[i] = (to[i] - from[i]) / delay_;
    }
  } else {
    for (double& speed : panSpeed_) speed = 0;
  }
  const int width = std::max(1, static_cast<int>(std::lround(fw)));
  const int height = std::max(1, static_cast<int>(std::lround(fh)));
  incoming_->Resize(width, height);
  for (int i = 0; i < 4; ++i) panRect_[i] = start[i];
  incomingSource_ = {static_cast<int>(std::lround(panRect_[0])), static_cast<int>(std::lround(panRect_[1])),
                     static_cast<int>(std::lround(panRect_[2])), static_cast<int>(std::lround(panRect_[3]))};
  phase_ = PHASE_FADING_IN;
  phaseTime_ = 0.0f;
}

void TKLDPictureRenderer::Prefetch() {
  if (!backgroundDecoding_) return;
  TKLDPlaylist& list = Playlist();
  int next = list.CurrentIndex() + 1;
  if (next >= list.Count()) next = list.Repeat() ? 0 : -1;
  const TKLDMediaItem* item = list.Item(next);
  if (!item || item->MediaType != MEDIA_PICTURE || item->URL == incomingURL_) return;
  loader_.Request(item->URL, loadWidth_, loadHeight_);
}

void TKLDPictureRenderer::Animate(int dt) {
  if (dt <= 0) return;
  if (loading_) {
    FinishLoad();
    // The slide waits, still, for its pixels.
    if (loading_) return;
    // Arrived: this frame is the one that loaded and planned it, as when decoding in place.
    if (!skipBroken_) {
      if (StreamPlaying()) phaseTime_ += dt / 1000.0f;
      return;
    }
  }
  const bool playing = StreamPlaying();
  if (skipBroken_) {
    skipBroken_ = false;
    if (playing) {
      NotifyStream(RENDERER_EVENT_FINISHED);
      return;
    }
  }
  switch (phase_) {
    case PHASE_LOAD:
      current_->Invalidate();
      currentURL_.clear();
      Load();
      currentTint_.SetAlpha(0);
      incomingTint_.SetAlpha(0);
      if (loading_ || skipBroken_) return;
      break;
    case PHASE_FADING_IN: {
      const float progress = fading_ ? std::min(1.0f, phaseTime_ / 1.0f) : 1.0f;
      const uint8_t alpha = static_cast<uint8_t>(std::lround(progress * 255.0f));
      incomingTint_.SetAlpha(alpha);
      currentTint_.SetAlpha(static_cast<uint8_t>(255 - alpha));
      if (progress >= 1.0f) {
        std::swap(current_, incoming_);
        std::swap(currentURL_, incomingURL_);
        currentTint_.SetAlpha(255);
        incomingTint_.SetAlpha(0);
        currentSource_ = incomingSource_;
        phase_ = PHASE_SHOWING;
        phaseTime_ = 0.0f;
      }
      break;
    }
    case PHASE_SHOWING:
      if (playing && phaseTime_ < delay_) {
        for (int i = 0; i < 4; ++i) panRect_[i] += panSpeed_[i] * dt / 1000.0;
        currentSource_ = {static_cast<int>(std::lround(panRect_[0])), static_cast<int>(std::lround(panRect_[1])),
                          static_cast<int>(std::lround(panRect_[2])), static_cast<int>(std::lround(panRect_[3]))};
      }
      if (phaseTime_ > delay_) {
        if (holdLast_) phaseTime_ = static_cast<float>(delay_);
        else NotifyStream(RENDERER_EVENT_FINISHED);
      }
      break;
    default: break;
  }
  if (StreamPlaying()) phaseTime_ += dt / 1000.0f;
}

TKLDRect TKLDPictureRenderer::Placement(int width, int height, const TKLDRect& rect) {
  if (width <= 0 || height <= 0) return rect;
  // A window smaller than the picture shrinks it whole, keeping its shape; squeezing each side
  // on its own would stretch it.
  const double scale = std::min({1.0, double(rect.Width) / width, double(rect.Height) / height});
  const int placedWidth = static_cast<int>(std::lround(width * scale));
  const int placedHeight = static_cast<int>(std::lround(height * scale));
  return {rect.X + (rect.Width - placedWidth) / 2, rect.Y + (rect.Height - placedHeight) / 2, placedWidth,
          placedHeight};
}

void TKLDPictureRenderer::Draw(TKLDGraphic& graphic, const TKLDRect& source, const TKLDCanvasColour& tint,
                               const TKLDRect& rect) {
  // Fully transparent draws nothing: the picture that has just faded out is skipped.
  if (!graphic.Loaded() || tint.Alpha() == 0) return;
  const TKLDRect dest = Placement(graphic.Width(), graphic.Height(), rect);
  graphic.RenderSprite({source.X, source.Y, source.Right(), source.Bottom()},
                       {dest.X, dest.Y, dest.Right(), dest.Bottom()}, &tint);
}

void TKLDPictureRenderer::Render(const TKLDRect& rect) {
  TKLDAVRenderer::Render(rect);
  if (StreamStopped()) return;
  Animate(Stream().Manager().FrameElapsed());
  if (StreamStopped()) return;
  Draw(*current_, currentSource_, currentTint_, rect);
  Draw(*incoming_, incomingSource_, incomingTint_, rect);
}

}  // namespace lorvane
