#pragma once
// Video files. The renderer carries the whole contract and the skip limit; the decoding itself
// is a TKLDMediaPlayer (AVRenderer.h) plugged in through SetVideoPlayerFactory. Until a factory
// is installed, Play fails with "Video playback is not available: no video player in this build"
// at ERROR and the installation error, and the stream stays stopped.
//
// Only one video player exists at a time, shared by the renderers of both streams: the renderer
// that starts playing while another owns it tells the owner's stream it was taken over (event 3)
// and opens its own. A player that opens in the background fails later, in Update: the stream
// stops and shows the error of the stage the open reached.
#include <cstdint>

#include "media/AVRenderer.h"

namespace lorvane {

class TKLDVideoRenderer : public TKLDPlayerRenderer {
 public:
  explicit TKLDVideoRenderer(TKLDMediaStream& stream);

  void SetVolume(int volume) override;
  void Render(const TKLDRect& rect) override;
  bool Play() override;
  bool Pause() override;
  bool Stop() override;
  bool Mute() override;
  bool Unmute() override;
  // Where the next film opened starts, in seconds (0: its beginning).
  void SetStartPosition(double seconds) { startAt_ = seconds; }

 protected:
  void BeforeSkip() override;
  void Opened() override;
  void OpenFailed(uint8_t stage) override;

 private:
  // Seeks to the start asked for, once the file is open.
  void StartAtPosition();
  double startAt_ = 0;
};

}  // namespace lorvane
