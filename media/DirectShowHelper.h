#pragma once
// The media player behind the device helper's video and visualisation slots: libmpv decodes,
// a presenter thread of ours renders each new frame into a buffer of its own, hands it over
// under a short lock and paces the interface through the frame clock, and the main thread
// uploads and draws it. Released players shut down on the reaper thread (base/Reaper).
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/AVRenderer.h"
#include "platform/MpvPlayer.h"
#include "render/DirectXHelper.h"

namespace lorvane {

// The picture's place in the rectangle: the full width at the display aspect ratio, or the full
// height when that is too tall, centred; the whole rectangle when the size or aspect is unknown.
TKLDDXRect FitVideoRect(const TKLDDXRect& rect, int videoWidth, int videoHeight, float aspectRatio);

// Volumes are hundredths of a decibel (0 full, -4000 = -40 dB); mpv's volume is cubic in amplitude.
double MpvVolumeFromHundredths(int volume);
int HundredthsFromMpvVolume(double volume);

// How players are made: the mpv options and the "VideoFrameThrottle" preference.
struct TKLDPlayerSettings {
  TKLDMpvOptions mpv;
  int skipLimit = 0;
};
void SetPlayerSettings(const TKLDPlayerSettings& settings);
TKLDPlayerSettings PlayerSettings();

class TKLDDXAllocator : public TKLDDXPlayer {
 public:
  using Clock = std::function<uint32_t()>;

  TKLDDXAllocator(const std::string& fileName, bool videoMode);
  ~TKLDDXAllocator() override;
  TKLDDXAllocator(const TKLDDXAllocator&) = delete;
  TKLDDXAllocator& operator=(const TKLDDXAllocator&) = delete;

  // Opens the file on the calling thread (tests, the benchmark).
  bool Open();
  // Opens on a thread of the player's own, so the frame loop keeps drawing while a file loads;
  // PollOpen (main thread) finishes the open, applies what was asked meanwhile and starts it.
  void StartOpen();
  enum OpenState { OPEN_LOADING, OPEN_READY, OPEN_FAILED };
  OpenState PollOpen();
  bool Run();
  bool Pause();
  bool StopGraph();
  void Shutdown() override;
  // Lets go of the frame texture and the frame clock here, on the main thread, and leaves the
  // slow rest (the open giving up, mpv's shutdown) to the reaper.
  void Dispose(std::unique_ptr<TKLDDXPlayer> self) override;
  int GetPosition();
  bool Seek(int seconds);
  bool SetVolume(int volume);
  int GetVolume(bool* ok = nullptr);
  // Starts a ramp to the volume; the steps are applied by PollEvents (or AdvanceFade) so no frame
  // waits for it.
  bool FadeVolumeTo(int volume);
  bool Mute();
  bool FadeMute();
  bool Unmute();
  bool FadeUnmute();
  bool Fading() const { return fadeStep_ < fadeSteps_.size(); }
  void AdvanceFade();
  void PollEvents();
  void RenderFrame(const TKLDDXRect& rect);
  void Render(const TKLDDXRect& rect) override { RenderFrame(rect); }

  const std::string& FileName() const { return fileName_; }
  bool VideoMode() const { return videoMode_; }
  void* Owner() const { return owner_; }
  void SetOwner(void* owner) { owner_ = owner; }
  int Stage() const { return stage_; }
  // A frame has been rendered since the file opened.
  bool HasFrame();
  // What the open found; 0 until PollOpen (or Open) has finished it on this thread.
  int VideoWidth() const { return ready_ ? videoWidth_ : 0; }
  int VideoHeight() const { return ready_ ? videoHeight_ : 0; }
  float AspectRatio() const { return ready_ ? aspectRatio_ : 0; }
  int Duration() const { return ready_ ? duration_ : 0; }
  bool Completed() const { return completed_; }
  bool Muted() const { return muted_; }
  int SavedVolume() const { return savedVolume_; }
  int SkipInterval() const { return skipInterval_; }
  // Video frames mpv dropped (late output or decoding), for the benchmark.
  int64_t DroppedFrames() { return ready_ && player_ ? player_->DroppedFrames() : 0; }
  // Frames the presenter has rendered so far.
  int FramesPresented() const { return framesPresented_; }
  // The latest frame's pixels (bgr0, at the display size) under the lock; false before the first frame.
  bool CopyFrame(std::vector<uint32_t>& pixels, int& width, int& height);
  // The overall audio level in dB, when the player measures it.
  bool AudioLevel(double& decibels) { return ready_ && player_ && player_->AudioLevel(decibels); }
  // Subtitle or audio tracks (see TKLDMpvPlayer::NextTrack); only once the file has opened.
  bool NextTrack(bool subtitle);
  std::string TrackDescription(bool subtitle);
  // Per channel, 0 (silence) … 1 (full scale), from the levels the player measures.
  bool AudioLevels(float& left, float& right);
  void SetClock(Clock clock) { clock_ = std::move(clock); }

  // The helper's factory: open, then run; null on failure (the stage stays in the helper).
  static std::unique_ptr<TKLDDXPlayer> Create(const std::string& fileName, bool video);

 private:
  void SetStage(int stage);
  bool OpenFile();
  void CloseGraph();
  bool StopGraphNow();
  void WriteVolume(int volume);
  bool SetLevel(int volume);
  void PresenterLoop();
  // Audio players: reads the measured levels every few tens of milliseconds, off the frame.
  void LevelLoop();
  void StopPresenter();
  void Throttle();
  void ApplyVolume(int volume);

  std::string fileName_;
  bool videoMode_;
  void* owner_ = nullptr;
  std::atomic<int> stage_{0};
  // Disposed: the threads no longer reach the device helper or the frame clock.
  std::mutex stageLock_;
  std::atomic<bool> retired_{false};
  // The opening thread's result: 0 still opening, 1 opened, -1 failed.
  std::thread opener_;
  std::atomic<int> openResult_{0};
  // Main thread: the open has been finished (or failed) and mpv may be called.
  bool ready_ = false;
  bool failed_ = false;
  // What was asked while the file was still opening.
  bool wantPaused_ = false;
  int pendingVolume_ = 0;
  bool volumePending_ = false;
  Clock clock_;
  std::unique_ptr<TKLDMpvPlayer> player_;
  std::unique_ptr<TKLDDXSprite> frameSprite_;

  // Shared with the presenter thread, under lock_.
  std::mutex lock_;
  std::vector<uint32_t> frame_;
  // The presenter's own: mpv renders here without the lock, then the two are swapped under it.
  std::vector<uint32_t> back_;
  bool frameReady_ = false;   // a frame is in the buffer
  bool frameFresh_ = false;   // not uploaded yet
  // The update signal has a lock of its own: mpv may call back while a frame renders.
  std::mutex wakeLock_;
  std::condition_variable wake_;
  bool updatePending_ = false;
  bool quit_ = false;
  std::thread presenter_;
  std::atomic<int> framesPresented_{0};
  std::atomic<float> levelLeft_{0};
  std::atomic<float> levelRight_{0};
  std::atomic<bool> levelsMeasured_{false};

  int videoWidth_ = 0;
  int videoHeight_ = 0;
  // The frame buffer's size: the display size, or the decoded one when that is unknown.
  int frameWidth_ = 0;
  int frameHeight_ = 0;
  float aspectRatio_ = 0;
  int duration_ = 0;
  bool completed_ = false;
  bool muted_ = false;
  int savedVolume_ = 0;
  int skipLimit_ = 0;
  // Presenter thread only, reset by Run before the thread sees new frames.
  std::atomic<int> skipInterval_{0};
  std::atomic<int> skipCount_{0};
  std::atomic<int> syncBalance_{0};

  std::vector<int> fadeSteps_;
  size_t fadeStep_ = 0;
  uint32_t fadeNext_ = 0;
};

// The renderers' player on the device helper's slots: the helper creates (and, on a lost device,
// releases) the allocator; this forwards the renderer's calls to it while the slot still holds it.
// Without a helper (tests, tools) it owns its allocator itself.
class TKLDHelperPlayer : public TKLDMediaPlayer {
 public:
  // Starts opening the file in the background; null (with the stage) when no player can be made.
  static std::unique_ptr<TKLDMediaPlayer> Open(const std::string& url, bool video, uint8_t& stage);
  TKLDHelperPlayer(std::unique_ptr<TKLDDXAllocator> owned, TKLDDXAllocator* inHelper);
  ~TKLDHelperPlayer() override;

  bool Run() override;
  bool Pause() override;
  int Duration() override;
  int GetPosition() override;
  bool Seek(int seconds) override;
  bool SetVolume(int volume) override;
  void Mute() override;
  void Unmute() override;
  void FadeMute() override;
  void FadeUnmute() override;
  bool Fading() override;
  bool PollCompleted() override;
  bool Loading() override;
  bool Failed(uint8_t& stage) override;
  bool Lost() override;
  void Detach() override;
  bool Attach() override;
  void RenderVideo(const TKLDRect& rect, std::optional<uint32_t> backColour) override;
  bool AudioLevels(float& left, float& right) override;
  bool NextTrack(TKLDTrackKind kind) override;
  std::string TrackText(TKLDTrackKind kind) override;

  // The allocator while it is still there.
  TKLDDXAllocator* Allocator();

 private:
  TKLDDXPlayer* SlotContent() const;
  std::unique_ptr<TKLDDXPlayer> owned_;
  TKLDDXAllocator* player_;
  bool video_;
  // Made by the device helper (and so in one of its slots unless detached).
  bool managed_;
  bool completedReported_ = false;
};

// Makes the video and visualisation renderers play through TKLDHelperPlayer.
void InstallHelperPlayers();

}  // namespace lorvane
