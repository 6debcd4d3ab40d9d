#pragma once
// Audio files and playlists: the sound plays through the visualisation player (see AVRenderer.h
// for the player interface and its factory) while the window shows a visualisation. Until a
// factory is installed, Play fails with "Audio playback is not available: no audio player in this
// build" at ERROR and no user-visible error (a failed music player never shows one).
//
// Pausing and stopping fade the music out over about 0.7 s without holding up a frame: the state
// changes at once and the fading player leaves the slot (so Play, a takeover and the per-frame
// polling no longer see it); when its ramp ends it is paused and put back, or released. A Play
// during a pause's ramp takes it back and fades up again. At most one player fades at a time.
#include <cstdint>
#include <memory>

#include "media/AVRenderer.h"

namespace lorvane {

class TKLDDXSprite;
class TKLDVisualisationEffect;

class TKLDVisualisationRenderer : public TKLDPlayerRenderer {
 public:
  explicit TKLDVisualisationRenderer(TKLDMediaStream& stream);
  ~TKLDVisualisationRenderer() override;

  void SetVolume(int volume) override;
  void Close() override;
  void Render(const TKLDRect& rect) override;
  bool Play() override;
  bool Pause() override;
  bool Stop() override;
  bool Mute() override;
  bool Unmute() override;

  // The slot's player, or this renderer's player while a pause fades it out.
  TKLDMediaPlayer* Player() const override;
  // Frames drawn since the visualisation was made.
  int FrameCounter() const { return frameCounter_; }
  // The effect while it exists (made on the first drawn frame) and the canvas it paints.
  TKLDVisualisationEffect* Effect() const { return effect_.get(); }
  bool EffectFailed() const { return effectFailed_; }

  // Once a frame (the media manager's update): steps the fading player and finishes it when its
  // ramp is over.
  static void UpdateFading();
  // The player fading out now, if any.
  static TKLDMediaPlayer* FadingPlayer();

 protected:
  void OpenFailed(uint8_t stage) override;

 private:
  // Fades the slot's player out and moves it aside; pauseAtEnd keeps it for a resume.
  void FadeOut(bool pauseAtEnd);
  int frameCounter_ = 0;
  // 512 x 512 without alpha, made with the renderer when a display exists.
  std::unique_ptr<TKLDDXSprite> canvas_;
  std::unique_ptr<TKLDVisualisationEffect> effect_;
  bool effectFailed_ = false;
};

}  // namespace lorvane
