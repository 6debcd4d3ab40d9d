#include "ui/ScreenSaver.h"

#include <cmath>
#include <filesystem>
#include <system_error>

#include "base/Timing.h"
#include "render/Graphic.h"
#include "render/Random.h"
#include "platform/HostLoop.h"
#include "render/Screen.h"

namespace lorvane {

namespace {
constexpr uint32_t kRepositionMs = 5000;
constexpr uint32_t kLoadRetryMs = 5000;
constexpr float kAngleStep = 0.001f;
constexpr float kFullTurn = 2.0f * static_cast<float>(M_PI);

uint32_t Now() { return Timer() ? Timer()->CurrentTime() : SystemMilliseconds(); }

// What a failed load saw of the file: a retry is worth it only when this changes.
std::string FileSignature(const std::string& fileName) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::file_status status = fs::status(fileName, error);
  if (error || !fs::is_regular_file(status)) return fileName + "|missing";
  auto size = fs::file_size(fileName, error);
  auto time = fs::last_write_time(fileName, error).time_since_epoch().count();
  return fileName + "|" + std::to_string(size) + "|" + std::to_string(time);
}
}  // namespace

TKLDScreenSaver::TKLDScreenSaver() {
  lastActivity_ = lastReposition_ = Now();
  // While the interface is up the system's own screen saver stays away; ours takes its place.
  systemSaverWasOn_ = THostLoop::KeepAwake();
}

TKLDScreenSaver::~TKLDScreenSaver() {
  // Closing the interface gives the desktop its screen saver back, if it had one.
  if (systemSaverWasOn_) THostLoop::AllowSleep();
}

void TKLDScreenSaver::SetImageFolder(const std::string& folder) {
  if (folder == imageFolder_) return;
  imageFolder_ = folder;
  // Another folder, another picture: the next frame that shows the saver loads it.
  image_.reset();
  imageLoaded_ = loadTried_ = false;
  failedSignature_.clear();
}

void TKLDScreenSaver::SetDelay(int seconds) {
  delaySeconds_ = seconds < 0 ? 0 : seconds;
  delayMs_ = static_cast<uint32_t>(delaySeconds_) * 1000u;
}

bool TKLDScreenSaver::IsActive() {
  if (delayMs_ == 0) return false;
  if (!active_ && MillisecondsPassed(lastActivity_, delayMs_, Now())) active_ = true;
  return active_;
}

void TKLDScreenSaver::ResetIdle() {
  if (delayMs_ == 0) return;
  lastActivity_ = Now();
  active_ = false;
}

void TKLDScreenSaver::Render() {
  if (delayMs_ == 0 || !active_) return;
  if (!imageLoaded_ && !LoadImage()) return;
  int width = image_->Width(), height = image_->Height();
  uint32_t now = Now();
  if (MillisecondsPassed(lastReposition_, kRepositionMs, now)) {
    int screenWidth = Screen() ? Screen()->ScreenWidth() : width;
    int screenHeight = Screen() ? Screen()->ScreenHeight() : height;
    x_ = width < screenWidth ? RandomInt(screenWidth - width) : 0;
    y_ = height < screenHeight ? RandomInt(screenHeight - height) : 0;
    lastReposition_ = now;
  }
  angle_ += kAngleStep;
  if (angle_ > kFullTurn) angle_ = 0.0f;
  image_->RenderSprite({0, 0, width, height}, {x_, y_, x_ + width, y_ + height}, angle_, false, false, nullptr);
}

bool TKLDScreenSaver::LoadImage() {
  uint32_t now = Now();
  if (loadTried_ && !MillisecondsPassed(lastLoadTry_, kLoadRetryMs, now)) return false;
  loadTried_ = true;
  lastLoadTry_ = now;
  std::string fileName = imageFolder_ + "screensaver.png";
  std::string signature = FileSignature(fileName);
  if (signature == failedSignature_) return false;
  // A graphic refuses a name that failed before, so every try starts with a fresh one.
  image_ = std::make_unique<TKLDGraphic>();
  imageLoaded_ = image_->LoadFromFile(fileName);
  failedSignature_ = imageLoaded_ ? std::string() : signature;
  return imageLoaded_;
}

}  // namespace lorvane
