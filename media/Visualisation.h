#pragma once
// Audio files and playlists: the sound plays through the visualisation player (see Video.h for
// the player interface and its factory) while the window shows a visualisation. Until a factory
// is installed, Play fails with "Audio playback is not available: no audio player in this build"
// at ERROR and no user-visible error (a failed music player never shows one).
#include <cstdint>

#include "media/Video.h"

namespace lorvane {

class TKLDVisualisationRenderer : public TKLDAVRenderer {
 public:
  using TKLDAVRenderer::TKLDAVRenderer;
  ~TKLDVisualisationRenderer() override;

  int GetDuration() override;
  int GetPosition() override;
  void SetVolume(int volume) override;
  void Close() override;
  void Update() override;
  void Render(const TKLDRect& rect) override;
  bool Play() override;
  bool Pause() override;
  bool Stop() override;
  bool PlayNext() override;
  bool PlayPrevious() override;
  bool SkipForward() override;
  bool SkipBack() override;
  bool Mute() override;
  bool Unmute() override;

  TKLDMediaPlayer* Player() const;
  // Frames drawn since the visualisation was made.
  int FrameCounter() const { return frameCounter_; }

 private:
  bool Skip(int seconds);
  uint32_t lastSkipTime_ = 0;
  bool skipStarted_ = false;
  int frameCounter_ = 0;
};

}  // namespace lorvane
