#include "media/Visualisation.h"

#include <cmath>

#include "base/Logging.h"
#include "media/MediaManager.h"
#include "platform/VisualisationEffect.h"
#include "render/DirectXHelper.h"
#include "render/Random.h"

namespace lorvane {

namespace {

// The one player fading out, with the renderer it belonged to.
struct TKLDFadingSlot {
  std::unique_ptr<TKLDMediaPlayer> player;
  TKLDPlayerRenderer* owner = nullptr;
  bool pauseAtEnd = false;
  // The file ended during the fade.
  bool ended = false;
};

TKLDFadingSlot& Fading() {
  static TKLDFadingSlot fading;
  return fading;
}

// Ends the fade now: a paused player goes back to the slot (or is released when the slot has
// been taken meanwhile), a stopped one is released.
void FinishFading() {
  TKLDFadingSlot& fading = Fading();
  if (!fading.player) return;
  TKLDPlayerSlot& slot = VisualisationPlayerSlot();
  if (fading.pauseAtEnd && !slot.player && fading.player->Attach()) {
    fading.player->Pause();
    slot.player = std::move(fading.player);
    slot.owner = fading.owner;
    if (fading.ended && fading.owner) fading.owner->KeepEnd();
  }
  fading.player.reset();
  fading.owner = nullptr;
  fading.pauseAtEnd = false;
  fading.ended = false;
}

}  // namespace

constexpr int kCanvasSize = 512;

TKLDVisualisationRenderer::TKLDVisualisationRenderer(TKLDMediaStream& stream)
    : TKLDPlayerRenderer(stream, VisualisationPlayerSlot()) {
  if (TKLDDirectXHelper* helper = DirectXHelper()) {
    canvas_ = helper->SpriteManager().CreateSprite(kCanvasSize, kCanvasSize);
    if (canvas_) canvas_->SetAlphaChannel(false);
  }
}

TKLDVisualisationRenderer::~TKLDVisualisationRenderer() {
  if (Fading().owner == this) {
    Fading().pauseAtEnd = false;
    FinishFading();
  }
}

void TKLDVisualisationRenderer::UpdateFading() {
  TKLDFadingSlot& fading = Fading();
  if (!fading.player) return;
  if (fading.player->PollCompleted()) fading.ended = true;
  if (!fading.player->Fading()) FinishFading();
}

TKLDMediaPlayer* TKLDVisualisationRenderer::FadingPlayer() { return Fading().player.get(); }

TKLDMediaPlayer* TKLDVisualisationRenderer::Player() const {
  if (TKLDMediaPlayer* player = SlotPlayer()) return player;
  const TKLDFadingSlot& fading = Fading();
  return fading.owner == this && fading.pauseAtEnd ? fading.player.get() : nullptr;
}

void TKLDVisualisationRenderer::SetVolume(int volume) {
  TKLDAVRenderer::SetVolume(volume);
  if (TKLDMediaPlayer* player = Player()) player->SetVolume(static_cast<int>(std::floor(volume * 100.0)));
}

void TKLDVisualisationRenderer::Close() {
  effect_.reset();
  frameCounter_ = 0;
}

void TKLDVisualisationRenderer::Render(const TKLDRect& rect) {
  TKLDAVRenderer::Render(rect);
  if (StreamStopped()) return;
  if (!effect_ && !effectFailed_) {
    effect_ = std::make_unique<TKLDVisualisationEffect>();
    if (!effect_->Valid()) {
      effect_.reset();
      effectFailed_ = true;
      LogError("Alchemy visualisation is not available - please check WMP installation");
    }
    frameCounter_ = 0;
  }
  if (!effect_) return;
  // The spectrum bytes are draws from the shared random source, as they always were (shuffles
  // and pan and zoom see the same sequence); the measured levels give them their size.
  TKLDLevelRecord record;
  TKLDRandom& random = KLDRandom();
  for (auto* bytes : {record.frequency, record.waveform})
    for (int channel = 0; channel < 2; ++channel)
      for (int i = 0; i < TKLDLevelRecord::kSamples; ++i) bytes[channel][i] = static_cast<uint8_t>(random.Int(255));
  record.state = StreamStopped() ? 0 : StreamState() == STREAM_PAUSED ? 1 : 2;
  record.timeStamp = ++frameCounter_;
  if (TKLDMediaPlayer* player = Player()) record.measured = player->AudioLevels(record.left, record.right);
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!helper || !canvas_) return;
  if (!helper->SpriteManager().GetTexture(canvas_.get())) return;
  if (canvas_->OpenDC()) {
    effect_->Render(canvas_->DC(), kCanvasSize, kCanvasSize, record);
    canvas_->CloseDC();
  }
  helper->RenderSprite(canvas_.get(), {rect.X, rect.Y, rect.Right(), rect.Bottom()});
}

void TKLDVisualisationRenderer::FadeOut(bool pauseAtEnd) {
  TKLDMediaPlayer* player = SlotPlayer();
  if (!player) return;
  if (!IsMuted()) player->FadeMute();
  if (!player->Fading()) {
    // Nothing to wait for (muted already, or a player without fades).
    if (pauseAtEnd) player->Pause();
    else slot_.Release();
    return;
  }
  FinishFading();  // at most one player fades
  TKLDFadingSlot& fading = Fading();
  player->Detach();
  fading.player = std::move(slot_.player);
  fading.owner = this;
  fading.pauseAtEnd = pauseAtEnd;
  fading.ended = false;
  slot_.Release();
}

bool TKLDVisualisationRenderer::Play() {
  const TKLDMediaItem* item = Playlist().Current();
  if (!item) return false;
  TKLDFadingSlot& fading = Fading();
  if (fading.player && fading.pauseAtEnd) {
    if (fading.owner == this && !slot_.player && fading.player->Attach()) {
      // Resumed while the pause was still fading: take the player back and fade up again.
      slot_.player = std::move(fading.player);
      slot_.owner = this;
      if (fading.ended) KeepEnd();
      fading.owner = nullptr;
      fading.pauseAtEnd = false;
      fading.ended = false;
    } else if (fading.owner != this) {
      // The other stream's paused music is taken over; it may finish fading out.
      TKLDAVRenderer* owner = fading.owner;
      fading.pauseAtEnd = false;
      if (owner) owner->Stream().HandleRendererEvent(RENDERER_EVENT_TAKEN_OVER);
    }
  }
  if (TKLDMediaPlayer* player = SlotPlayer()) {
    player->Run();
    if (!IsMuted()) player->FadeUnmute();
    return true;
  }
  TakeSlot();
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
  Adopt(std::move(player), Volume() * 100);
  return true;
}

void TKLDVisualisationRenderer::OpenFailed(uint8_t /*stage*/) {
  // Music that cannot be played shows nothing: the stream moves on to the next track, or ends
  // quietly after the last, as a track that fails at once does.
  SetStreamError(STREAM_ERROR_NONE);
  NotifyStream(Playlist().HasNext() ? RENDERER_EVENT_FINISHED : RENDERER_EVENT_FAILED);
}

bool TKLDVisualisationRenderer::Pause() {
  if (!SlotPlayer()) return Player() != nullptr;  // already fading out to a pause
  FadeOut(true);
  return true;
}

bool TKLDVisualisationRenderer::Stop() {
  TKLDFadingSlot& fading = Fading();
  // A pause still fading out becomes a stop: the player is released when it ends.
  if (fading.owner == this) fading.pauseAtEnd = false;
  FadeOut(false);
  return true;
}

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
