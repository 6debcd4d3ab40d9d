#pragma once
// Video files. The renderer carries the whole contract and the skip limit; the decoding itself
// is a TKLDVideoPlayer plugged in through SetVideoPlayerFactory. Until a factory is installed,
// Play fails with "Video playback is not available: no video player in this build" at ERROR and
// the installation error, and the stream stays stopped.
//
// Only one video player exists at a time, shared by the renderers of both streams: the renderer
// that starts playing while another owns it tells the owner's stream it was taken over (event 3)
// and opens its own.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "media/AVRenderer.h"

namespace lorvane {

// What a renderer asks of a player (video, or audio with a visualisation). Called on the main
// thread only; the player keeps its own threads behind it.
class TKLDMediaPlayer {
 public:
  // How an open failed, by stage: 0 none, 1 installation, 2 hardware, 3 unsupported file,
  // 4 crashed (the renderer maps it onto the stream's error codes).
  enum Stage : uint8_t { STAGE_NONE = 0, STAGE_INSTALLATION = 1, STAGE_HARDWARE = 2, STAGE_UNSUPPORTED = 3, STAGE_CRASHED = 4 };
  virtual ~TKLDMediaPlayer() = default;
  virtual bool Run() = 0;
  virtual bool Pause() = 0;
  // Whole seconds.
  virtual int Duration() = 0;
  virtual int GetPosition() = 0;
  virtual bool Seek(int seconds) = 0;
  // Hundredths of a decibel: 0 loudest, −4000 the quietest the manager asks for.
  virtual bool SetVolume(int volume) = 0;
  virtual void Mute() = 0;
  virtual void Unmute() = 0;
  // Fading forms for music (about 0.7 s); players without fades may mute at once.
  virtual void FadeMute() { Mute(); }
  virtual void FadeUnmute() { Unmute(); }
  // True once when the file played to its end since the last call.
  virtual bool PollCompleted() = 0;
  // Video only: draws the latest frame into the rectangle, filling the rest with the colour.
  virtual void RenderVideo(const TKLDRect& rect, std::optional<uint32_t> backColour) {
    (void)rect, (void)backColour;
  }
};

// Opens a player on a file; null with the failing stage on failure (the factory logs why).
using TKLDMediaPlayerFactory =
    std::function<std::unique_ptr<TKLDMediaPlayer>(const std::string& url, uint8_t& stage)>;
void SetVideoPlayerFactory(TKLDMediaPlayerFactory factory);
void SetVisualisationPlayerFactory(TKLDMediaPlayerFactory factory);
bool HasVideoPlayerFactory();
bool HasVisualisationPlayerFactory();
// Opens through the installed factory; null with the stage when there is none or it fails.
std::unique_ptr<TKLDMediaPlayer> OpenVideoPlayer(const std::string& url, uint8_t& stage);
std::unique_ptr<TKLDMediaPlayer> OpenVisualisationPlayer(const std::string& url, uint8_t& stage);

// The process-wide players and the renderer owning each (none while closed).
struct TKLDPlayerSlot {
  std::unique_ptr<TKLDMediaPlayer> player;
  TKLDAVRenderer* owner = nullptr;
  void Release() {
    player.reset();
    owner = nullptr;
  }
};
TKLDPlayerSlot& VideoPlayerSlot();
TKLDPlayerSlot& VisualisationPlayerSlot();

class TKLDVideoRenderer : public TKLDAVRenderer {
 public:
  using TKLDAVRenderer::TKLDAVRenderer;
  ~TKLDVideoRenderer() override;

  int GetDuration() override;
  int GetPosition() override;
  void SetVolume(int volume) override;
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

  // The player while this renderer owns it.
  TKLDMediaPlayer* Player() const;
  uint32_t LastSkipTime() const { return lastSkipTime_; }

 private:
  bool Skip(int seconds);
  uint32_t lastSkipTime_ = 0;
  bool skipStarted_ = false;
};

// Milliseconds between two accepted skips; a refused skip still reports success.
constexpr uint32_t kSkipInterval = 500;

}  // namespace lorvane
