#include "media/AVRenderer.h"

#include <algorithm>
#include <utility>

#include "base/Timing.h"
#include "media/MediaManager.h"
#include "render/DirectXHelper.h"

namespace lorvane {

TKLDAVRenderer::TKLDAVRenderer(TKLDMediaStream& stream) : stream_(stream) {}

TKLDPlaylist& TKLDAVRenderer::Playlist() const { return stream_.Playlist(); }

void TKLDAVRenderer::Render(const TKLDRect& rect) {
  TKLDMediaManager& manager = stream_.Manager();
  int screenWidth = 0, screenHeight = 0;
  manager.ScreenSize(screenWidth, screenHeight);
  fullScreen_ = rect.Width >= screenWidth && rect.Height >= screenHeight;
  // A full-screen slideshow or film is being watched: the screen saver must not start.
  if (fullScreen_ && StreamPlaying()) manager.ResetIdle();
  if (StreamStopped() && backColour_)
    if (TKLDDirectXHelper* helper = DirectXHelper())
      helper->FillRect({rect.X, rect.Y, rect.Right(), rect.Bottom()}, backColour_);
}

bool TKLDAVRenderer::IsMuted() const { return stream_.Manager().Muted(); }
uint8_t TKLDAVRenderer::StreamState() const { return stream_.State(); }
bool TKLDAVRenderer::StreamStopped() const { return stream_.State() == STREAM_STOPPED; }
bool TKLDAVRenderer::StreamPlaying() const { return stream_.State() == STREAM_PLAYING; }
void TKLDAVRenderer::SetStreamError(uint8_t code) { stream_.SetErrorCode(code); }
void TKLDAVRenderer::NotifyStream(int event) { stream_.HandleRendererEvent(event); }


// ---------------------------------------------------------------------------------------------
// Players and their slots

namespace {

TKLDMediaPlayerFactory& VideoFactory() {
  static TKLDMediaPlayerFactory factory;
  return factory;
}

TKLDMediaPlayerFactory& VisualisationFactory() {
  static TKLDMediaPlayerFactory factory;
  return factory;
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

TKLDPlayerRenderer::TKLDPlayerRenderer(TKLDMediaStream& stream, TKLDPlayerSlot& slot)
    : TKLDAVRenderer(stream), slot_(slot) {}

TKLDPlayerRenderer::~TKLDPlayerRenderer() {
  if (slot_.owner == this) slot_.Release();
}

TKLDMediaPlayer* TKLDPlayerRenderer::Player() const { return SlotPlayer(); }

int TKLDPlayerRenderer::GetDuration() {
  TKLDMediaPlayer* player = Player();
  return player ? player->Duration() : 0;
}

int TKLDPlayerRenderer::GetPosition() {
  TKLDMediaPlayer* player = Player();
  return player ? player->GetPosition() : 0;
}

void TKLDPlayerRenderer::Update() {
  TKLDMediaPlayer* player = SlotPlayer();
  if (!player) return;
  if (player->Lost()) {
    slot_.Release();
    NotifyStream(RENDERER_EVENT_STOP);
    return;
  }
  uint8_t stage = TKLDMediaPlayer::STAGE_NONE;
  // Polling also finishes a background open and steps a fade.
  const bool completed = player->PollCompleted();
  if (player->Failed(stage)) {
    slot_.Release();
    loading_ = false;
    OpenFailed(stage);
    return;
  }
  if (player->Loading()) {
    loading_ = true;
    return;
  }
  if (std::exchange(loading_, false)) {
    Opened();
    NotifyStream(RENDERER_EVENT_OPENED);
  }
  // An end reached while paused (the last moments of a pause's fade) is kept, not dropped: the
  // player has nothing left to play, so the track finishes as soon as the stream plays again.
  if (completed) endPending_ = true;
  if (endPending_ && StreamPlaying()) {
    endPending_ = false;
    NotifyStream(RENDERER_EVENT_FINISHED);
  }
}

void TKLDPlayerRenderer::TakeSlot() {
  if (!slot_.player || slot_.owner == this) return;
  TKLDAVRenderer* owner = slot_.owner;
  slot_.Release();
  if (owner) owner->Stream().HandleRendererEvent(RENDERER_EVENT_TAKEN_OVER);
}

void TKLDPlayerRenderer::Adopt(std::unique_ptr<TKLDMediaPlayer> player, int volume) {
  player->SetVolume(volume);
  if (IsMuted()) player->Mute();
  slot_.player = std::move(player);
  slot_.owner = this;
  loading_ = slot_.player->Loading();
  endPending_ = false;
}

bool TKLDPlayerRenderer::PlayNext() {
  Stop();
  return Play();
}

bool TKLDPlayerRenderer::PlayPrevious() {
  Stop();
  return Play();
}

bool TKLDPlayerRenderer::Skip(int seconds) {
  BeforeSkip();
  if (skipStarted_ && !ClockElapsed(lastSkipTime_, kSkipInterval)) return true;
  TKLDMediaPlayer* player = Player();
  if (!player) return false;
  skipStarted_ = true;
  lastSkipTime_ = ClockNow();
  // Without a known duration (a live stream, a file mpv cannot measure) there is no end to
  // stop at: the skip goes forward and mpv ends the file if it passes the end.
  const int duration = player->Duration();
  const int target = seconds > 0 ? (duration > 0 ? std::min(player->GetPosition() + seconds, duration)
                                                 : player->GetPosition() + seconds)
                                 : std::max(player->GetPosition() + seconds, 0);
  player->Seek(target);
  return true;
}

bool TKLDPlayerRenderer::SkipForward() { return Skip(30); }
bool TKLDPlayerRenderer::SkipBack() { return Skip(-10); }

bool TKLDPlayerRenderer::SeekTo(int seconds) {
  TKLDMediaPlayer* player = Player();
  if (!player) return false;
  const int duration = player->Duration();
  return player->Seek(std::max(0, duration > 0 ? std::min(seconds, duration) : seconds));
}

bool TKLDPlayerRenderer::NextTrack(TKLDTrackKind kind) {
  TKLDMediaPlayer* player = Player();
  return player && !player->Loading() && player->NextTrack(kind);
}

std::string TKLDPlayerRenderer::TrackText(TKLDTrackKind kind) {
  TKLDMediaPlayer* player = Player();
  return player && !player->Loading() ? player->TrackText(kind) : std::string();
}

}  // namespace lorvane
