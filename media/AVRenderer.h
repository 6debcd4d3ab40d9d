#pragma once
// The renderer contract every media stream drives: one renderer per kind of media (video,
// visualisation, pictures, and the empty renderer for everything else). The stream picks the
// one that fits its current item and calls the operations below; renderers answer through the
// helpers at the bottom (error codes, events back to the stream).
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "render/Canvas.h"

namespace lorvane {

class TKLDMediaStream;
class TKLDPlaylist;

// The tracks of a film a viewer can switch between.
enum TKLDTrackKind : uint8_t { TRACK_SUBTITLE = 0, TRACK_AUDIO = 1 };

class TKLDAVRenderer {
 public:
  explicit TKLDAVRenderer(TKLDMediaStream& stream);
  virtual ~TKLDAVRenderer() = default;
  TKLDAVRenderer(const TKLDAVRenderer&) = delete;
  TKLDAVRenderer& operator=(const TKLDAVRenderer&) = delete;

  // Seconds; 0 when unknown.
  virtual int GetDuration() { return 0; }
  virtual int GetPosition() { return 0; }
  // The manager's volume, −40 (quietest) … 0.
  virtual void SetVolume(int volume) { volume_ = volume; }
  virtual void Close() {}
  // Once a frame, whether or not the stream is drawn.
  virtual void Update() {}
  // Rectangle in screen pixels (position and size). Overrides call this first.
  virtual void Render(const TKLDRect& rect);
  virtual bool Play() { return false; }
  virtual bool Pause() { return false; }
  virtual bool Stop() { return false; }
  virtual bool PlayNext() { return false; }
  virtual bool PlayPrevious() { return false; }
  virtual bool SkipForward() { return false; }
  virtual bool SkipBack() { return false; }
  // To a position in whole seconds (desktop media controls); false when the renderer cannot.
  virtual bool SeekTo(int seconds) { (void)seconds; return false; }
  virtual bool Mute() { return false; }
  virtual bool Unmute() { return false; }
  // The file is still opening in the background after a successful Play.
  virtual bool Opening() const { return false; }
  // Subtitle and audio tracks of the playing file (see TKLDMediaPlayer).
  virtual bool NextTrack(TKLDTrackKind /*kind*/) { return false; }
  virtual std::string TrackText(TKLDTrackKind /*kind*/) { return {}; }

  int Volume() const { return volume_; }
  TKLDMediaStream& Stream() const { return stream_; }
  TKLDPlaylist& Playlist() const;
  // The window's colour, filled behind a stopped stream; none fills nothing.
  void SetBackColour(std::optional<uint32_t> colour) { backColour_ = colour; }
  std::optional<uint32_t> BackColour() const { return backColour_; }
  // The last drawn rectangle covered the whole screen.
  bool FullScreen() const { return fullScreen_; }

 protected:
  bool IsMuted() const;
  uint8_t StreamState() const;
  bool StreamStopped() const;
  bool StreamPlaying() const;
  void SetStreamError(uint8_t code);
  void NotifyStream(int event);

 private:
  TKLDMediaStream& stream_;
  int volume_ = 0;
  std::optional<uint32_t> backColour_;
  bool fullScreen_ = false;
};


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
  // Fading forms for music (about 0.7 s, stepped by PollCompleted); players without fades may
  // mute at once.
  virtual void FadeMute() { Mute(); }
  virtual void FadeUnmute() { Unmute(); }
  virtual bool Fading() { return false; }
  // Once a frame: true once when the file played to its end since the last call.
  virtual bool PollCompleted() = 0;
  // A player may open its file in the background: Loading until it is ready, then either
  // playing or Failed with the stage the open reached.
  virtual bool Loading() { return false; }
  virtual bool Failed(uint8_t& stage) {
    (void)stage;
    return false;
  }
  // The device helper dropped the player (a lost display device ends video).
  virtual bool Lost() { return false; }
  // Leaves the device helper's slot while fading out, so the next player can start at once, and
  // returns to it when a pause's fade is cancelled (false when the slot is taken meanwhile).
  virtual void Detach() {}
  virtual bool Attach() { return true; }
  // Video only: draws the latest frame into the rectangle, filling the rest with the colour.
  virtual void RenderVideo(const TKLDRect& rect, std::optional<uint32_t> backColour) {
    (void)rect, (void)backColour;
  }
  // The next subtitle (then none) or audio track; false when the file has none of the kind.
  virtual bool NextTrack(TKLDTrackKind /*kind*/) { return false; }
  // The selected track's language and title; empty when none.
  virtual std::string TrackText(TKLDTrackKind /*kind*/) { return {}; }
  // Audio levels for a visualisation, 0 (silence) … 1 (full scale) per channel; false when the
  // player measures none.
  virtual bool AudioLevels(float& left, float& right) {
    (void)left, (void)right;
    return false;
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

// Milliseconds between two accepted skips; a refused skip still reports success.
constexpr uint32_t kSkipInterval = 500;

// What the video and visualisation renderers share: a player slot with its owner, positions,
// the limited skips, and the per-frame checks (opened, failed, lost, finished).
class TKLDPlayerRenderer : public TKLDAVRenderer {
 public:
  TKLDPlayerRenderer(TKLDMediaStream& stream, TKLDPlayerSlot& slot);
  ~TKLDPlayerRenderer() override;

  int GetDuration() override;
  int GetPosition() override;
  void Update() override;
  bool PlayNext() override;
  bool PlayPrevious() override;
  bool SkipForward() override;
  bool SkipBack() override;
  bool SeekTo(int seconds) override;
  bool Opening() const override { return loading_; }
  bool NextTrack(TKLDTrackKind kind) override;
  std::string TrackText(TKLDTrackKind kind) override;

  // The player this renderer drives now (none when another renderer owns the slot).
  virtual TKLDMediaPlayer* Player() const;
  // The file came to its end while the player was elsewhere (fading out for a pause): the track
  // finishes once the stream plays again.
  void KeepEnd() { endPending_ = true; }
  uint32_t LastSkipTime() const { return lastSkipTime_; }

 protected:
  // The slot's player while this renderer owns it.
  TKLDMediaPlayer* SlotPlayer() const { return slot_.owner == this ? slot_.player.get() : nullptr; }
  // Frees the slot for this renderer: a player of another renderer is released and its stream
  // told it was taken over (event 3).
  void TakeSlot();
  // Puts a newly opened player in the slot at the manager's volume and mute state.
  void Adopt(std::unique_ptr<TKLDMediaPlayer> player, int volume);
  virtual void BeforeSkip() {}
  // The background open finished: playing, or failed at the stage.
  virtual void Opened() {}
  virtual void OpenFailed(uint8_t stage) = 0;

  TKLDPlayerSlot& slot_;

 private:
  bool Skip(int seconds);
  uint32_t lastSkipTime_ = 0;
  bool skipStarted_ = false;
  bool loading_ = false;
  bool endPending_ = false;
};

}  // namespace lorvane
