#include "media/Video.h"

#include <utility>

#include "base/Logging.h"
#include "base/Timing.h"
#include "media/MediaManager.h"

namespace lorvane {

namespace {

uint8_t ErrorFromStage(uint8_t stage) {
  switch (stage) {
    case TKLDMediaPlayer::STAGE_INSTALLATION: return STREAM_ERROR_INSTALLATION;
    case TKLDMediaPlayer::STAGE_HARDWARE: return STREAM_ERROR_HARDWARE;
    case TKLDMediaPlayer::STAGE_UNSUPPORTED: return STREAM_ERROR_UNSUPPORTED;
    case TKLDMediaPlayer::STAGE_CRASHED: return STREAM_ERROR_CRASHED;
    default: return STREAM_ERROR_NONE;
  }
}

}  // namespace

TKLDVideoRenderer::TKLDVideoRenderer(TKLDMediaStream& stream)
    : TKLDPlayerRenderer(stream, VideoPlayerSlot()) {}

void TKLDVideoRenderer::SetVolume(int volume) {
  TKLDAVRenderer::SetVolume(volume);
  if (TKLDMediaPlayer* player = Player()) player->SetVolume(volume * 100);
}

void TKLDVideoRenderer::Render(const TKLDRect& rect) {
  TKLDAVRenderer::Render(rect);
  if (StreamStopped()) return;
  if (TKLDMediaPlayer* player = Player()) player->RenderVideo(rect, BackColour());
}

bool TKLDVideoRenderer::Play() {
  const TKLDMediaItem* item = Playlist().Current();
  if (!item) return false;
  if (TKLDMediaPlayer* player = SlotPlayer()) {
    player->Run();
  } else {
    TakeSlot();
    if (!HasVideoPlayerFactory()) {
      LogError("Video playback is not available: no video player in this build");
      SetStreamError(STREAM_ERROR_INSTALLATION);
      return false;
    }
    uint8_t stage = TKLDMediaPlayer::STAGE_NONE;
    std::unique_ptr<TKLDMediaPlayer> opened = OpenVideoPlayer(item->URL, stage);
    if (!opened) {
      SetStreamError(ErrorFromStage(stage));
      return false;
    }
    Adopt(std::move(opened), Volume() * 100);
  }
  // A file still opening has no frames to pace the interface by: the clock waits for them only
  // once it has opened (Opened).
  TKLDMediaPlayer* player = SlotPlayer();
  if (!player->Loading()) {
    StartAtPosition();
    if (TKLDTimer* timer = Timer()) timer->VideoStarted();
  }
  return true;
}

void TKLDVideoRenderer::StartAtPosition() {
  const int seconds = static_cast<int>(std::exchange(startAt_, 0.0));
  if (seconds <= 0) return;
  if (TKLDMediaPlayer* player = SlotPlayer()) player->Seek(seconds);
}

void TKLDVideoRenderer::Opened() {
  StartAtPosition();
  if (StreamPlaying())
    if (TKLDTimer* timer = Timer()) timer->VideoStarted();
}

void TKLDVideoRenderer::OpenFailed(uint8_t stage) {
  if (TKLDTimer* timer = Timer()) timer->VideoStopped();
  SetStreamError(ErrorFromStage(stage));
  NotifyStream(RENDERER_EVENT_FAILED);
}

bool TKLDVideoRenderer::Pause() {
  TKLDMediaPlayer* player = Player();
  if (!player) return false;
  player->Pause();
  if (TKLDTimer* timer = Timer()) timer->VideoStopped();
  return true;
}

bool TKLDVideoRenderer::Stop() {
  if (slot_.owner == this) slot_.Release();
  if (TKLDTimer* timer = Timer()) timer->VideoStopped();
  return true;
}

void TKLDVideoRenderer::BeforeSkip() {
  if (TKLDTimer* timer = Timer()) timer->VideoStarted();
}

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
