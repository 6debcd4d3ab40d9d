#include "media/DirectShowHelper.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <stdexcept>

#include "base/Logging.h"
#include "base/Reaper.h"
#include "base/Timing.h"

namespace lorvane {

namespace {

constexpr int kMutedVolume = -4000;
constexpr int kFadeSteps = 20;
constexpr uint32_t kFadePauseMs = 38;

std::mutex settingsLock;
TKLDPlayerSettings settings;

// An error the open sequence reports by its own message.
struct TKLDOpenAbort : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace

void SetPlayerSettings(const TKLDPlayerSettings& value) {
  std::lock_guard<std::mutex> guard(settingsLock);
  settings = value;
}

TKLDPlayerSettings PlayerSettings() {
  std::lock_guard<std::mutex> guard(settingsLock);
  return settings;
}

TKLDDXRect FitVideoRect(const TKLDDXRect& rect, int videoWidth, int videoHeight, float aspectRatio) {
  int width = rect.Right - rect.Left;
  int height = rect.Bottom - rect.Top;
  if (videoWidth <= 0 || videoHeight <= 0 || aspectRatio == 0) return rect;
  int fittedWidth = width;
  int fittedHeight = static_cast<int>(std::lround(width / aspectRatio));
  if (fittedHeight > height) {
    fittedHeight = height;
    fittedWidth = static_cast<int>(std::lround(aspectRatio * height));
  }
  int left = rect.Left + (fittedWidth < width ? (width - fittedWidth) / 2 : 0);
  int top = rect.Top + (fittedHeight < height ? (height - fittedHeight) / 2 : 0);
  return {left, top, left + fittedWidth, top + fittedHeight};
}

double MpvVolumeFromHundredths(int volume) {
  return 100.0 * std::pow(10.0, volume / 100.0 / 60.0);
}

int HundredthsFromMpvVolume(double volume) {
  if (volume <= 0) return -10000;
  return static_cast<int>(std::lround(6000.0 * std::log10(volume / 100.0)));
}

TKLDDXAllocator::TKLDDXAllocator(const std::string& fileName, bool videoMode)
    : fileName_(fileName), videoMode_(videoMode), clock_(SystemMilliseconds) {
  skipLimit_ = PlayerSettings().skipLimit;
  player_ = std::make_unique<TKLDMpvPlayer>();
  if (DirectXHelper()) frameSprite_ = DirectXHelper()->SpriteManager().CreateSprite();
  if (frameSprite_) frameSprite_->SetAlphaChannel(false);
}

TKLDDXAllocator::~TKLDDXAllocator() {
  Shutdown();
  std::lock_guard<std::mutex> guard(lock_);
  frame_.clear();
  frameSprite_.reset();
}

void TKLDDXAllocator::SetStage(int stage) {
  stage_ = stage;
  std::lock_guard<std::mutex> guard(stageLock_);
  if (!retired_ && DirectXHelper()) DirectXHelper()->SetVideoStage(stage);
}

void TKLDDXAllocator::Dispose(std::unique_ptr<TKLDDXPlayer> self) {
  {
    std::lock_guard<std::mutex> guard(stageLock_);
    retired_ = true;
  }
  if (player_) player_->Cancel();
  {
    std::lock_guard<std::mutex> guard(lock_);
    frameSprite_.reset();
  }
  DisposeLater(std::move(self));
}

bool TKLDDXAllocator::Open() {
  bool ok = OpenFile();
  openResult_ = ok ? 1 : -1;
  ready_ = ok;
  failed_ = !ok;
  return ok;
}

void TKLDDXAllocator::StartOpen() {
  if (opener_.joinable() || ready_ || failed_) return;
  SetStage(1);
  opener_ = std::thread([this] { openResult_ = OpenFile() ? 1 : -1; });
}

TKLDDXAllocator::OpenState TKLDDXAllocator::PollOpen() {
  if (ready_) return OPEN_READY;
  if (failed_) return OPEN_FAILED;
  int result = openResult_;
  if (result == 0) return OPEN_LOADING;
  if (opener_.joinable()) opener_.join();
  if (result < 0) {
    failed_ = true;
    return OPEN_FAILED;
  }
  ready_ = true;
  if (volumePending_) WriteVolume(pendingVolume_);
  volumePending_ = false;
  if (!wantPaused_) Run();
  return OPEN_READY;
}

bool TKLDDXAllocator::OpenFile() {
  LogInfo("Initialising DirectShow filter graph for media file: " + fileName_);
  try {
    std::string error;
    SetStage(1);
    TKLDMpvOptions options = PlayerSettings().mpv;
    options.audioLevels = !videoMode_;
    if (!player_->Create(options, videoMode_, error))
      throw TKLDOpenAbort("Failed to create DirectShow filter graph builder: " + error);
    if (videoMode_) {
      SetStage(2);
      if (!player_->CreateRenderContext(
              [this] {
                std::lock_guard<std::mutex> guard(wakeLock_);
                updatePending_ = true;
                wake_.notify_one();
              },
              error))
        throw TKLDOpenAbort("Failed to create DirectShow video mixing renderer 9: " + error);
    }
    LogInfo("Added default filters to DirectShow graph, now rendering file");
    SetStage(3);
    TKLDMpvFileInfo info;
    if (!player_->Load(fileName_, info, error))
      throw TKLDOpenAbort("Failed to render direct show file, error: " + error);
    LogInfo("Finished creating DirectShow graph, now determining media properties");
    duration_ = static_cast<int>(info.duration);
    if (videoMode_) {
      LogInfo("Validating VMR9 renderer filter is connected in filter graph");
      if (!info.hasVideo) throw TKLDOpenAbort("Failed to build VMR9 compatible render graph for file (check codecs)");
      LogInfo("Validated VMR9 renderer filter connections successfully");
      videoWidth_ = info.width;
      videoHeight_ = info.height;
      LogInfo("Video source dimensions: " + std::to_string(videoWidth_) + "x" + std::to_string(videoHeight_) +
              " pixels");
      if (info.displayWidth <= 0) {
        LogInfo("Video does not have a preferred aspect ratio");
      } else if (info.displayHeight <= 0) {
        LogInfo("Ignoring invalid preferred video aspect ratio");
      } else {
        aspectRatio_ = static_cast<float>(info.displayWidth) / static_cast<float>(info.displayHeight);
        LogInfo("Using preferred video aspect ratio of " + std::to_string(info.displayWidth) + ":" +
                std::to_string(info.displayHeight));
      }
      if (aspectRatio_ == 0 && videoHeight_ > 0)
        aspectRatio_ = static_cast<float>(videoWidth_) / static_cast<float>(videoHeight_);
      // Frames are rendered at the size they are seen at: a film of non-square pixels (every
      // DVD) rendered at its decoded size would be letter-boxed by mpv inside the buffer and
      // then stretched back to its aspect by the fitting, squashed.
      const bool displaySize = info.displayWidth > 0 && info.displayHeight > 0;
      frameWidth_ = displaySize ? info.displayWidth : videoWidth_;
      frameHeight_ = displaySize ? info.displayHeight : videoHeight_;
      {
        std::lock_guard<std::mutex> guard(lock_);
        frame_.assign(static_cast<size_t>(frameWidth_) * frameHeight_, 0xFF000000u);
      }
      back_ = frame_;
      quit_ = false;
      presenter_ = std::thread(&TKLDDXAllocator::PresenterLoop, this);
    } else if (options.audioLevels) {
      quit_ = false;
      presenter_ = std::thread(&TKLDDXAllocator::LevelLoop, this);
    }
    SetStage(0);
    LogInfo("Completed DirectShow initialisation, now ready to play media file");
    return true;
  } catch (const TKLDOpenAbort& abort) {
    // A player released while its file opened was given up on purpose: no error to report.
    if (player_->Cancelled()) LogInfo("Stopped opening " + fileName_ + ": the player was released");
    else LogError(abort.what());
  } catch (const std::exception& e) {
    LogError(std::string("External renderer raised unhandled exception: ") + e.what());
    SetStage(4);
  }
  CloseGraph();
  return false;
}

void TKLDDXAllocator::CloseGraph() {
  StopPresenter();
  StopGraphNow();
  if (player_) player_->Destroy();
}

void TKLDDXAllocator::PresenterLoop() {
  while (true) {
    {
      std::unique_lock<std::mutex> wakeGuard(wakeLock_);
      wake_.wait(wakeGuard, [this] { return updatePending_ || quit_; });
      if (quit_) return;
      updatePending_ = false;
    }
    // mpv may not be called from its callback, so the frame is rendered here, into the back
    // buffer, without the lock the main thread takes to upload: a render takes milliseconds.
    if (!player_->RenderIfReady(back_.data(), frameWidth_, frameHeight_, frameWidth_ * 4)) continue;
    {
      std::lock_guard<std::mutex> guard(lock_);
      frame_.swap(back_);
      frameReady_ = true;
      frameFresh_ = true;
    }
    ++framesPresented_;
    if (!retired_) Throttle();
  }
}

void TKLDDXAllocator::LevelLoop() {
  auto toLevel = [](double decibels) {
    // 60 dB of range is what a room hears; quieter is nothing.
    return static_cast<float>(std::clamp((decibels + 60.0) / 60.0, 0.0, 1.0));
  };
  while (true) {
    {
      std::unique_lock<std::mutex> wakeGuard(wakeLock_);
      if (wake_.wait_for(wakeGuard, std::chrono::milliseconds(25), [this] { return quit_; })) return;
    }
    double left = 0, right = 0;
    if (player_->ChannelLevels(left, right)) {
      levelLeft_ = toLevel(left);
      levelRight_ = toLevel(right);
      levelsMeasured_ = true;
    }
  }
}

bool TKLDDXAllocator::AudioLevels(float& left, float& right) {
  if (!levelsMeasured_) return false;
  left = levelLeft_;
  right = levelRight_;
  return true;
}

void TKLDDXAllocator::Throttle() {
  if (skipCount_ >= skipInterval_) {
    skipCount_ = 0;
    int interval = skipInterval_;
    if (syncBalance_ > 5) {
      syncBalance_ = 0;
      ++interval;
    }
    if (syncBalance_ < -5) {
      syncBalance_ = 0;
      --interval;
    }
    skipInterval_ = std::clamp(interval, 0, std::max(skipLimit_, 0));
    bool taken = Timer() ? Timer()->VideoFramePresented() : true;
    syncBalance_ += taken ? -1 : 1;
  } else {
    ++skipCount_;
  }
}

void TKLDDXAllocator::StopPresenter() {
  {
    std::lock_guard<std::mutex> guard(wakeLock_);
    quit_ = true;
    wake_.notify_one();
  }
  if (presenter_.joinable()) presenter_.join();
}

bool TKLDDXAllocator::Run() {
  if (!ready_) {
    wantPaused_ = false;
    return !failed_;
  }
  if (!player_) return false;
  std::string error;
  // A file that has ended stays ended: mpv has unloaded it, so running plays nothing.
  bool ok = player_->SetPause(false, error);
  if (!ok) LogWarn("Failed to run direct show filter graph, error: " + error);
  skipInterval_ = 0;
  skipCount_ = 0;
  syncBalance_ = 0;
  return ok;
}

bool TKLDDXAllocator::Pause() {
  if (!ready_) {
    wantPaused_ = true;
    return !failed_;
  }
  if (!player_) return false;
  std::string error;
  bool ok = player_->SetPause(true, error);
  if (!ok) LogWarn("Failed to pause direct show filter graph, error: " + error);
  skipInterval_ = 0;
  skipCount_ = 0;
  syncBalance_ = 0;
  return ok;
}

bool TKLDDXAllocator::StopGraph() {
  // Main thread: a file still opening belongs to the opening thread.
  if (!ready_ && openResult_ == 0 && opener_.joinable()) return false;
  return StopGraphNow();
}

bool TKLDDXAllocator::StopGraphNow() {
  if (!player_ || !player_->Valid()) return false;
  std::string error;
  bool ok = player_->Stop(error);
  if (!ok) LogWarn("Failed to stop direct show filter graph, error: " + error);
  skipInterval_ = 0;
  skipCount_ = 0;
  syncBalance_ = 0;
  return ok;
}

void TKLDDXAllocator::Shutdown() {
  if (opener_.joinable()) {
    // A file still opening gives up within a few tens of milliseconds.
    if (player_) player_->Cancel();
    opener_.join();
    if (openResult_ > 0) ready_ = true;
    else failed_ = true;
  }
  // The presenter (or level reader) goes first: it calls into the player being stopped.
  StopPresenter();
  StopGraph();
  player_.reset();
  fadeSteps_.clear();
  fadeStep_ = 0;
}

int TKLDDXAllocator::GetPosition() {
  if (!player_ || !ready_) return 0;
  double seconds = 0;
  std::string error;
  if (!player_->Position(seconds, error)) {
    // Before the first frame mpv has no position yet, which is simply 0.
    if (error != "property unavailable") LogWarn("Failed to get current DirectShow position: " + error);
    return 0;
  }
  return static_cast<int>(seconds);
}

bool TKLDDXAllocator::Seek(int seconds) {
  if (!player_ || !ready_) return false;
  std::string error;
  if (!player_->Seek(seconds, error)) {
    LogWarn("Failed to perform seek operation using DirectShow: " + error);
    return false;
  }
  return true;
}

void TKLDDXAllocator::ApplyVolume(int volume) { WriteVolume(volume); }

void TKLDDXAllocator::WriteVolume(int volume) {
  if (!ready_ && !failed_) {
    // Applied once the file has opened.
    pendingVolume_ = volume;
    volumePending_ = true;
    return;
  }
  std::string error;
  if (!player_ || !player_->SetVolume(MpvVolumeFromHundredths(volume), error))
    LogWarn("Failed to set directshow volume: " + error);
}

// A muted player, or one faded out for a pause, keeps a new level as the one it comes back to;
// otherwise the level is set at once and a ramp on its way ends, as the user's choice wins.
bool TKLDDXAllocator::SetVolume(int volume) {
  if (!player_) return false;
  if (muted_) {
    savedVolume_ = volume;
    return true;
  }
  fadeSteps_.clear();
  fadeStep_ = 0;
  return SetLevel(volume);
}

bool TKLDDXAllocator::SetLevel(int volume) {
  if (!player_) return false;
  if (!ready_ && !failed_) {
    WriteVolume(volume);
    return true;
  }
  std::string error;
  if (!player_->SetVolume(MpvVolumeFromHundredths(volume), error)) {
    LogWarn("Failed to set directshow volume: " + error);
    return false;
  }
  return true;
}

int TKLDDXAllocator::GetVolume(bool* ok) {
  if (player_ && !ready_ && !failed_) {
    if (ok) *ok = true;
    return volumePending_ ? pendingVolume_ : 0;
  }
  double volume = 0;
  std::string error;
  bool read = player_ && player_->GetVolume(volume, error);
  if (ok) *ok = read;
  if (!read) {
    LogWarn("Failed to get current directshow volume: " + error);
    return 0;
  }
  return HundredthsFromMpvVolume(volume);
}

bool TKLDDXAllocator::FadeVolumeTo(int volume) {
  bool ok = false;
  int current = GetVolume(&ok);
  if (!ok) return false;
  fadeSteps_.clear();
  fadeStep_ = 0;
  if (current == volume) return true;
  int step = static_cast<int>(std::lround((volume - current) / static_cast<double>(kFadeSteps)));
  if (std::abs(step) > 50) {
    // The same 19 steps 38 ms apart as ever, but taken frame by frame instead of sleeping.
    for (int i = 1; i < kFadeSteps; ++i) fadeSteps_.push_back(current + i * step);
    fadeSteps_.push_back(volume);
    ApplyVolume(fadeSteps_[0]);
    fadeStep_ = 1;
    fadeNext_ = clock_() + kFadePauseMs;
    return true;
  }
  return SetLevel(volume);
}

void TKLDDXAllocator::AdvanceFade() {
  uint32_t now = clock_();
  // Wrap-safe: a step is due once now has reached fadeNext_.
  while (Fading() && static_cast<int32_t>(now - fadeNext_) >= 0) {
    ApplyVolume(fadeSteps_[fadeStep_++]);
    fadeNext_ += kFadePauseMs;
  }
}

bool TKLDDXAllocator::Mute() {
  if (!muted_) {
    bool ok = false;
    int volume = GetVolume(&ok);
    if (!ok) return false;
    savedVolume_ = volume;
  }
  fadeSteps_.clear();
  fadeStep_ = 0;
  SetLevel(kMutedVolume);
  muted_ = true;
  return true;
}

bool TKLDDXAllocator::FadeMute() {
  if (!muted_) {
    bool ok = false;
    int volume = GetVolume(&ok);
    if (!ok) return false;
    // A ramp already on its way down keeps the volume it started from.
    savedVolume_ = Fading() ? savedVolume_ : volume;
  }
  if (!FadeVolumeTo(kMutedVolume)) return false;
  muted_ = true;
  return true;
}

bool TKLDDXAllocator::Unmute() {
  fadeSteps_.clear();
  fadeStep_ = 0;
  SetLevel(savedVolume_);
  muted_ = false;
  return true;
}

bool TKLDDXAllocator::FadeUnmute() {
  if (!FadeVolumeTo(savedVolume_)) return false;
  muted_ = false;
  return true;
}

void TKLDDXAllocator::PollEvents() {
  if (!player_) return;
  AdvanceFade();
  if (PollOpen() != OPEN_READY) return;
  if (player_->PollEnded()) completed_ = true;
}

bool TKLDDXAllocator::NextTrack(bool subtitle) {
  if (!ready_ || !player_) return false;
  std::string error;
  if (player_->NextTrack(subtitle, error)) return true;
  if (!error.empty()) LogWarn(std::string("Failed to change the ") + (subtitle ? "subtitles" : "audio track") + ": " + error);
  return false;
}

std::string TKLDDXAllocator::TrackDescription(bool subtitle) {
  return ready_ && player_ ? player_->TrackDescription(subtitle) : std::string();
}

bool TKLDDXAllocator::HasFrame() {
  std::lock_guard<std::mutex> guard(lock_);
  return frameReady_;
}

bool TKLDDXAllocator::CopyFrame(std::vector<uint32_t>& pixels, int& width, int& height) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!frameReady_) return false;
  pixels = frame_;
  width = frameWidth_;
  height = frameHeight_;
  return true;
}

void TKLDDXAllocator::RenderFrame(const TKLDDXRect& rect) {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!helper) return;
  helper->FlushSprites();
  std::lock_guard<std::mutex> guard(lock_);
  if (!frameSprite_ || !frameReady_) {
    LogWarn("Invalid surface when trying to render video frame");
    return;
  }
  if (rect.Right <= rect.Left || rect.Bottom <= rect.Top) return;
  if (frameSprite_->Width() != frameWidth_ || frameSprite_->Height() != frameHeight_) {
    frameSprite_->SetSize(frameWidth_, frameHeight_);
    frameFresh_ = true;
  }
  if (frameFresh_ || !frameSprite_->HasTexture()) {
    TKLDBitmapDescription bits;
    bits.Width = frameWidth_;
    bits.Height = frameHeight_;
    bits.Stride = frameWidth_ * 4;
    bits.Bits = reinterpret_cast<uint8_t*>(frame_.data());
    bits.Premultiplied = false;
    if (helper->SpriteManager().UploadBits(frameSprite_.get(), bits)) frameFresh_ = false;
  }
  helper->RenderSprite(frameSprite_.get(), FitVideoRect(rect, frameWidth_, frameHeight_, aspectRatio_));
  helper->FlushSprites();
}

std::unique_ptr<TKLDDXPlayer> TKLDDXAllocator::Create(const std::string& fileName, bool video) {
  auto player = std::make_unique<TKLDDXAllocator>(fileName, video);
  player->StartOpen();
  return player;
}

// ---------------------------------------------------------------------------------------------
// The renderers' player

std::unique_ptr<TKLDMediaPlayer> TKLDHelperPlayer::Open(const std::string& url, bool video, uint8_t& stage) {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (helper && helper->HasPlayerFactory()) {
    bool created = video ? helper->CreateVideoPlayer(url) : helper->CreateVisualisationPlayer(url);
    auto* player = dynamic_cast<TKLDDXAllocator*>(video ? helper->VideoPlayer() : helper->VisualisationPlayer());
    if (!created || !player) {
      stage = static_cast<uint8_t>(created ? TKLDMediaPlayer::STAGE_INSTALLATION : helper->VideoStage());
      if (stage == TKLDMediaPlayer::STAGE_NONE) stage = TKLDMediaPlayer::STAGE_INSTALLATION;
      if (created) video ? helper->ReleaseVideoPlayer() : helper->ReleaseVisualisationPlayer();
      return nullptr;
    }
    return std::make_unique<TKLDHelperPlayer>(nullptr, player);
  }
  auto owned = std::make_unique<TKLDDXAllocator>(url, video);
  TKLDDXAllocator* player = owned.get();
  player->StartOpen();
  return std::make_unique<TKLDHelperPlayer>(std::move(owned), player);
}

TKLDHelperPlayer::TKLDHelperPlayer(std::unique_ptr<TKLDDXAllocator> owned, TKLDDXAllocator* inHelper)
    : owned_(std::move(owned)), player_(inHelper), video_(inHelper->VideoMode()), managed_(!owned_) {}

TKLDHelperPlayer::~TKLDHelperPlayer() {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!owned_ && helper && SlotContent() == player_) {
    if (video_) helper->ReleaseVideoPlayer();
    else helper->ReleaseVisualisationPlayer();
  }
  if (owned_) TKLDDXPlayer::Release(owned_);
}

TKLDDXPlayer* TKLDHelperPlayer::SlotContent() const {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!helper) return nullptr;
  return video_ ? helper->VideoPlayer() : helper->VisualisationPlayer();
}

TKLDDXAllocator* TKLDHelperPlayer::Allocator() {
  if (owned_) return player_;
  return SlotContent() == player_ ? player_ : nullptr;
}

bool TKLDHelperPlayer::Lost() { return Allocator() == nullptr; }

void TKLDHelperPlayer::Detach() {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!managed_ || owned_ || video_ || !helper || SlotContent() != player_) return;
  owned_ = helper->DetachVisualisationPlayer();
}

bool TKLDHelperPlayer::Attach() {
  if (!managed_ || !owned_) return !Lost();
  TKLDDirectXHelper* helper = DirectXHelper();
  return helper && helper->AttachVisualisationPlayer(owned_);
}

bool TKLDHelperPlayer::Run() {
  TKLDDXAllocator* player = Allocator();
  if (!player) return false;
  completedReported_ = false;
  return player->Run();
}

bool TKLDHelperPlayer::Pause() {
  TKLDDXAllocator* player = Allocator();
  return player && player->Pause();
}

int TKLDHelperPlayer::Duration() {
  TKLDDXAllocator* player = Allocator();
  return player ? player->Duration() : 0;
}

int TKLDHelperPlayer::GetPosition() {
  TKLDDXAllocator* player = Allocator();
  return player ? player->GetPosition() : 0;
}

bool TKLDHelperPlayer::Seek(int seconds) {
  TKLDDXAllocator* player = Allocator();
  if (!player) return false;
  // A seek back from the end plays again.
  completedReported_ = false;
  return player->Seek(seconds);
}

bool TKLDHelperPlayer::SetVolume(int volume) {
  TKLDDXAllocator* player = Allocator();
  return player && player->SetVolume(volume);
}

void TKLDHelperPlayer::Mute() {
  if (TKLDDXAllocator* player = Allocator()) player->Mute();
}

void TKLDHelperPlayer::Unmute() {
  if (TKLDDXAllocator* player = Allocator()) player->Unmute();
}

void TKLDHelperPlayer::FadeMute() {
  if (TKLDDXAllocator* player = Allocator()) player->FadeMute();
}

void TKLDHelperPlayer::FadeUnmute() {
  if (TKLDDXAllocator* player = Allocator()) player->FadeUnmute();
}

bool TKLDHelperPlayer::Fading() {
  TKLDDXAllocator* player = Allocator();
  return player && player->Fading();
}

bool TKLDHelperPlayer::PollCompleted() {
  TKLDDXAllocator* player = Allocator();
  if (!player) return false;
  player->PollEvents();
  if (!player->Completed() || completedReported_) return false;
  completedReported_ = true;
  return true;
}

bool TKLDHelperPlayer::Loading() {
  TKLDDXAllocator* player = Allocator();
  return player && player->PollOpen() == TKLDDXAllocator::OPEN_LOADING;
}

bool TKLDHelperPlayer::Failed(uint8_t& stage) {
  TKLDDXAllocator* player = Allocator();
  if (!player || player->PollOpen() != TKLDDXAllocator::OPEN_FAILED) return false;
  stage = static_cast<uint8_t>(player->Stage());
  return true;
}

void TKLDHelperPlayer::RenderVideo(const TKLDRect& rect, std::optional<uint32_t> backColour) {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!helper) return;
  const TKLDDXRect edges{rect.X, rect.Y, rect.Right(), rect.Bottom()};
  TKLDDXAllocator* player = Allocator();
  // Until the first frame arrives the window shows black, as a film starts.
  if (player && player->HasFrame()) player->RenderFrame(edges);
  else helper->FillRect(edges, backColour ? backColour : std::optional<uint32_t>(0xFF000000u));
}

bool TKLDHelperPlayer::AudioLevels(float& left, float& right) {
  TKLDDXAllocator* player = Allocator();
  return player && player->AudioLevels(left, right);
}

bool TKLDHelperPlayer::NextTrack(TKLDTrackKind kind) {
  TKLDDXAllocator* player = Allocator();
  return player && player->NextTrack(kind == TRACK_SUBTITLE);
}

std::string TKLDHelperPlayer::TrackText(TKLDTrackKind kind) {
  TKLDDXAllocator* player = Allocator();
  return player ? player->TrackDescription(kind == TRACK_SUBTITLE) : std::string();
}

void InstallHelperPlayers() {
  SetVideoPlayerFactory([](const std::string& url, uint8_t& stage) { return TKLDHelperPlayer::Open(url, true, stage); });
  SetVisualisationPlayerFactory(
      [](const std::string& url, uint8_t& stage) { return TKLDHelperPlayer::Open(url, false, stage); });
}

}  // namespace lorvane
