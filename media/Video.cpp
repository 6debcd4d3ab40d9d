#include "media/Video.h"

#include <algorithm>

#include "base/Logging.h"
#include "base/Timing.h"
#include "media/MediaManager.h"

namespace lorvane {

namespace {

TKLDMediaPlayerFactory& VideoFactory() {
  static TKLDMediaPlayerFactory factory;
  return factory;
}

TKLDMediaPlayerFactory& VisualisationFactory() {
  static TKLDMediaPlayerFactory factory;
  return factory;
}

uint8_t ErrorFromStage(uint8_t stage) {
  switch (stage) {
    case TKLDMediaPlayer::STAGE_INSTALLATION: return STREAM_ERROR_INSTALLATION;
    case TKLDMediaPlayer::STAGE_HARDWARE: return STREAM_ERROR_HARDWARE;
    case TKLDMediaPlayer::STAGE_UNSUPPORTED: return STREAM_ERROR_UNSUPPORTED;
    case TKLDMediaPlayer::STAGE_CRASHED: return STREAM_ERROR_CRASHED;
    default: return STREAM_ERROR_NONE;
  }
}

uint32_t ClockNow() {
  TKLDTimer* timer = Timer();
  return timer ? timer->Now() : SystemMilliseconds();
}

bool ClockElapsed(uint32_t since, uint32_t interval) {
  TKLDTimer* timer = Timer();
  if (timer) return timer->Elapsed(since, interval);
  return SystemMilliseconds() - since >= interval;
}

}  // namespace

void SetVideoPlayerFactory(TKLDMediaPlayerFactory factory) { VideoFactory() = std::move(factory); }
void SetVisualisationPlayerFactory(TKLDMediaPlayerFactory factory) {
  VisualisationFactory() = std::move(factory);
}
bool HasVideoPlayerFactory() { return static_cast<bool>(VideoFactory()); }
bool HasVisualisationPlayerFactory() { return static_cast<bool>(VisualisationFactory()); }

std::unique_ptr<TKLDMediaPlayer> OpenVideoPlayer(const std::string& url, uint8_t& stage) {
  if (!VideoFactory()) {
    stage = TKLDMediaPlayer::STAGE_INSTALLATION;
    return nullptr;
  }
  return VideoFactory()(url, stage);
}

std::unique_ptr<TKLDMediaPlayer> OpenVisualisationPlayer(const std::string& url, uint8_t& stage) {
  if (!VisualisationFactory()) {
    stage = TKLDMediaPlayer::STAGE_INSTALLATION;
    return nullptr;
  }
  return VisualisationFactory()(url, stage);
}

TKLDPlayerSlot& VideoPlayerSlot() {
  static TKLDPlayerSlot slot;
  return slot;
}

TKLDPlayerSlot& VisualisationPlayerSlot() {
  static TKLDPlayerSlot slot;
  return slot;
}

TKLDVideoRenderer::~TKLDVideoRenderer() {
  if (VideoPlayerSlot().owner == this) VideoPlayerSlot().Release();
}

TKLDMediaPlayer* TKLDVideoRenderer::Player() const {
  return VideoPlayerSlot().owner == this ? VideoPlayerSlot().player.get() : nullptr;
}

int TKLDVideoRenderer::GetDuration() {
  TKLDMediaPlayer* player = Player();
  return player ? player->Duration() : 0;
}

int TKLDVideoRenderer::GetPosition() {
  TKLDMediaPlayer* player = Player();
  return player ? player->GetPosition() : 0;
}

void TKLDVideoRenderer::SetVolume(int volume) {
  TKLDAVRenderer::SetVolume(volume);
  if (TKLDMediaPlayer* player = Player()) player->SetVolume(volume * 100);
}

void TKLDVideoRenderer::Update() {
  TKLDMediaPlayer* player = Player();
  if (player && player->PollCompleted()) NotifyStream(RENDERER_EVENT_FINISHED);
}

void TKLDVideoRenderer::Render(const TKLDRect& rect) {
  TKLDAVRenderer::Render(rect);
  if (StreamStopped()) return;
  if (TKLDMediaPlayer* player = Player()) player->RenderVideo(rect, BackColour());
}

bool TKLDVideoRenderer::Play() {
  const TKLDMediaItem* item = Playlist().Current();
  if (!item) return false;
  TKLDPlayerSlot& slot = VideoPlayerSlot();
  if (slot.player) {
    if (slot.owner == this) {
      slot.player->Run();
    } else {
      TKLDAVRenderer* owner = slot.owner;
      slot.Release();
      if (owner) owner->Stream().HandleRendererEvent(RENDERER_EVENT_TAKEN_OVER);
    }
  }
  if (!slot.player) {
    if (!HasVideoPlayerFactory()) {
      LogError("Video playback is not available: no video player in this build");
      SetStreamError(STREAM_ERROR_INSTALLATION);
      return false;
    }
    uint8_t stage = TKLDMediaPlayer::STAGE_NONE;
    std::unique_ptr<TKLDMediaPlayer> player = OpenVideoPlayer(item->URL, stage);
    if (!player) {
      SetStreamError(ErrorFromStage(stage));
      return false;
    }
    player->SetVolume(Volume() * 100);
    if (IsMuted()) player->Mute();
    slot.player = std::move(player);
    slot.owner = this;
  }
  if (TKLDTimer* timer = Timer()) timer->VideoStarted();
  return true;
}

bool TKLDVideoRenderer::Pause() {
  TKLDMediaPlayer* player = Player();
  if (!player) return false;
  player->Pause();
  if (TKLDTimer* timer = Timer()) timer->VideoStopped();
  return true;
}

bool TKLDVideoRenderer::Stop() {
  if (VideoPlayerSlot().owner == this) VideoPlayerSlot().Release();
  if (TKLDTimer* timer = Timer()) timer->VideoStopped();
  return true;
}

bool TKLDVideoRenderer::PlayNext() {
  Stop();
  return Play();
}

bool TKLDVideoRenderer::PlayPrevious() {
  Stop();
  return Play();
}

bool TKLDVideoRenderer::Skip(int seconds) {
  if (TKLDTimer* timer = Timer()) timer->VideoStarted();
  if (skipStarted_ && !ClockElapsed(lastSkipTime_, kSkipInterval)) return true;
  TKLDMediaPlayer* player = Player();
  if (!player) return false;
  skipStarted_ = true;
  lastSkipTime_ = ClockNow();
  const int target = seconds > 0 ? std::min(player->GetPosition() + seconds, player->Duration())
                                 : std::max(player->GetPosition() + seconds, 0);
  player->Seek(target);
  return true;
}

bool TKLDVideoRenderer::SkipForward() { return Skip(30); }
bool TKLDVideoRenderer::SkipBack() { return Skip(-10); }

bool TKLDVideoRenderer::Mute() {
  TKLDMediaPlayer* player = Player();
  if (!player) return false;
  player->Mute();
  return true;
}

bool TKLDVideoRenderer::Unmute() {
  TKLDMediaPlayer* player = Player();
  if (!player) return false;
  player->Unmute();
  return true;
}

}  // namespace lorvane
