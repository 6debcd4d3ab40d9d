#pragma once
// One libmpv player: the mpv handle and its software render context behind a small RAII class.
// The handle is created and loaded on the owner's thread; frames are rendered on whatever thread
// the owner chooses after the update callback (which only signals) has fired.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

struct mpv_handle;
struct mpv_render_context;

namespace lorvane {

struct TKLDMpvOptions {
  // An mpv.conf in mpv's own syntax, loaded before lorvane's own options; empty or missing = none.
  std::string configFile;
  // Replaces the audio output list (tests use "null"); empty = the configured or default list.
  std::string audioOutput;
  // Replaces the hardware decoding choice (tests use "no"); empty = the configured or "auto-safe".
  std::string hardwareDecoding;
  // Measure audio levels for a visualisation (astats metadata under "af-metadata/vis").
  bool audioLevels = false;
};

struct TKLDMpvFileInfo {
  bool hasVideo = false;
  bool hasAudio = false;
  int width = 0;          // decoded size
  int height = 0;
  // Size to display: the pixel aspect and the rotation applied; 0 when unknown.
  int displayWidth = 0;
  int displayHeight = 0;
  double duration = 0;    // seconds, 0 when unknown
};

class TKLDMpvPlayer {
 public:
  TKLDMpvPlayer() = default;
  ~TKLDMpvPlayer();
  TKLDMpvPlayer(const TKLDMpvPlayer&) = delete;
  TKLDMpvPlayer& operator=(const TKLDMpvPlayer&) = delete;

  // Creates and initialises the player. video = false turns video decoding off.
  bool Create(const TKLDMpvOptions& options, bool video, std::string& error);
  // The software render context; onUpdate runs on mpv's thread and must only signal.
  bool CreateRenderContext(std::function<void()> onUpdate, std::string& error);
  // Loads the file paused and waits until it is loaded and, with video, its first frame's format
  // is known. error receives mpv's own text when the file cannot be played.
  bool Load(const std::string& fileName, TKLDMpvFileInfo& info, std::string& error, int timeoutMs = 10000);
  // Makes a Load running on another thread give up within a few tens of milliseconds.
  void Cancel() { cancel_ = true; }
  bool Cancelled() const { return cancel_; }

  // Renders the waiting frame, if any, into bgr0 pixels; false when no new frame waited.
  bool RenderIfReady(void* pixels, int width, int height, int stride);

  bool SetPause(bool pause, std::string& error);
  bool Stop(std::string& error);
  bool Position(double& seconds, std::string& error);
  bool Seek(double seconds, std::string& error);
  bool SetVolume(double volume, std::string& error);
  bool GetVolume(double& volume, std::string& error);
  // The overall RMS level of the last decoded audio in dB (false when not measured yet).
  bool AudioLevel(double& decibels);
  // The RMS levels of the first two channels in dB (a mono file gives the same for both); false
  // when not measured yet. Silence is reported as -120.
  bool ChannelLevels(double& left, double& right);
  // Selects the next subtitle track (after the last: none, then the first again) or the next
  // audio track (round). False when the file has no track of the kind (error then empty) or mpv
  // refused the change (error says why); TrackDescription tells what was chosen.
  bool NextTrack(bool subtitle, std::string& error);
  // The selected subtitle or audio track's language and title; empty when none.
  std::string TrackDescription(bool subtitle);
  // Frames the output and the decoder dropped so far (mpv's own counts).
  int64_t DroppedFrames();
  // Takes waiting events without blocking; true when the file reached its end (or failed).
  bool PollEnded();

  bool Valid() const { return handle_ != nullptr; }
  void Destroy();

  // The audio output list lorvane uses: the configured list without "sdl" (refused, since the
  // sound effects' SDL2_mixer shares the process), or a default, always ending in "null".
  // Without a sound device (SDL's dummy audio driver: headless runs), films play silent too.
  static std::string AudioOutputList(const std::string& configured, bool& refusedSdl, bool soundDevice = true);

 private:
  static void OnUpdate(void* self);

  mpv_handle* handle_ = nullptr;
  mpv_render_context* render_ = nullptr;
  std::function<void()> onUpdate_;
  bool video_ = true;
  std::atomic<bool> cancel_{false};
};

}  // namespace lorvane
