#include "media/Visualisation.h"

#include <algorithm>
#include <cmath>

#include "base/Logging.h"
#include "base/Timing.h"
#include "media/MediaManager.h"

namespace lorvane {

namespace {

bool SkipAllowed(bool started, uint32_t since) {
  if (!started) return true;
  TKLDTimer* timer = Timer();
  return timer ? timer->Elapsed(since, kSkipInterval) : SystemMilliseconds() - since >= kSkipInterval;
}

uint32_t ClockNow() {
  TKLDTimer* timer = Timer();
  return timer ? timer->Now() : SystemMilliseconds();
}

}  // namespace

TKLDVisualisationRenderer::~TKLDVisualisationRenderer() {
  if (VisualisationPlayerSlot().owner == this) VisualisationPlayerSlot().Release();
}

TKLDMediaPlayer* TKLDVisualisationRenderer::Player() const {
  return VisualisationPlayerSlot().owner == this ? VisualisationPlayerSlot().player.get() : nullptr;
}

int TKLDVisualisationRenderer::GetDuration() {
  TKLDMediaPlayer* player = Player();
  return player ? player->Duration() : 0;
}

int TKLDVisualisationRenderer::GetPosition() {
  TKLDMediaPlayer* player = Player();
  return player ? player->GetPosition() : 0;
}

void TKLDVisualisationRenderer::SetVolume(int volume) {
  TKLDAVRenderer::SetVolume(volume);
  if (TKLDMediaPlayer* player = Player()) player->SetVolume(static_cast<int>(std::floor(volume * 100.0)));
}

void TKLDVisualisationRenderer::Close() { frameCounter_ = 0; }

void TKLDVisualisationRenderer::Update() {
  TKLDMediaPlayer* player = Player();
  if (player && player->PollCompleted()) NotifyStream(RENDERER_EVENT_FINISHED);
}

void TKLDVisualisationRenderer::Render(const TKLDRect& rect) {
  TKLDAVRenderer::Render(rect);
  if (StreamStopped()) return;
  ++frameCounter_;
  // The picture comes with the player; without one the window shows only the base behaviour.
  if (TKLDMediaPlayer* player = Player()) player->RenderVideo(rect, BackColour());
}

bool TKLDVisualisationRenderer::Play() {
  const TKLDMediaItem* item = Playlist().Current();
  if (!item) return false;
  TKLDPlayerSlot& slot = VisualisationPlayerSlot();
  if (slot.player) {
    if (slot.owner == this) {
      slot.player->Run();
      if (!IsMuted()) slot.player->FadeUnmute();
    } else {
      TKLDAVRenderer* owner = slot.owner;
      slot.Release();
      if (owner) owner->Stream().HandleRendererEvent(RENDERER_EVENT_TAKEN_OVER);
    }
  }
  if (slot.player) return true;
  if (!HasVisualisationPlayerFactory()) {
    LogError("Audio playback is not available: no audio player in this build");
    SetStreamError(STREAM_ERROR_NONE);
    return false;
  }
  uint8_t stage = TKLDMediaPlayer::STAGE_NONE;
  std::unique_ptr<TKLDMediaPlayer> player = OpenVisualisationPlayer(item->URL, stage);
  if (!player) {
    SetStreamError(STREAM_ERROR_NONE);
    return false;
  }
  player->SetVolume(Volume() * 100);
  if (IsMuted()) player->Mute();
  slot.player = std::move(player);
  slot.owner = this;
  return true;
}

bool TKLDVisualisationRenderer::Pause() {
  TKLDMediaPlayer* player = Player();
  if (!player) return false;
  if (!IsMuted()) player->FadeMute();
  player->Pause();
  return true;
}

bool TKLDVisualisationRenderer::Stop() {
  if (TKLDMediaPlayer* player = Player()) {
    if (!IsMuted()) player->FadeMute();
    VisualisationPlayerSlot().Release();
  }
  return true;
}

bool TKLDVisualisationRenderer::PlayNext() {
  Stop();
  return Play();
}

bool TKLDVisualisationRenderer::PlayPrevious() {
  Stop();
  return Play();
}

bool TKLDVisualisationRenderer::Skip(int seconds) {
  if (!SkipAllowed(skipStarted_, lastSkipTime_)) return true;
  TKLDMediaPlayer* player = Player();
  if (!player) return false;
  skipStarted_ = true;
  lastSkipTime_ = ClockNow();
  const int target = seconds > 0 ? std::min(player->GetPosition() + seconds, player->Duration())
                                 : std::max(player->GetPosition() + seconds, 0);
  player->Seek(target);
  return true;
}

bool TKLDVisualisationRenderer::SkipForward() { return Skip(30); }
bool TKLDVisualisationRenderer::SkipBack() { return Skip(-10); }

bool TKLDVisualisationRenderer::Mute() {
  TKLDMediaPlayer* player = Player();
  if (!player) return false;
  player->FadeMute();
  return true;
}

bool TKLDVisualisationRenderer::Unmute() {
  TKLDMediaPlayer* player = Player();
  if (!player) return false;
  player->FadeUnmute();
  return true;
}

}  // namespace lorvane
