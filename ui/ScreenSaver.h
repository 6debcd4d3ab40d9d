#pragma once
// After a period without input the screen saver image drifts over a black screen so that a
// television left on does not keep the same picture.
#include <cstdint>
#include <memory>
#include <string>

namespace lorvane {

class TKLDGraphic;

class TKLDScreenSaver {
 public:
  TKLDScreenSaver();
  ~TKLDScreenSaver();

  void SetDelay(int seconds);
  int Delay() const { return delaySeconds_; }
  bool IsActive();
  void ResetIdle();
  void Render();

  // Where "screensaver.png" is read from.
  void SetImageFolder(const std::string& folder);
  float RotationAngle() const { return angle_; }
  int ImageX() const { return x_; }
  int ImageY() const { return y_; }
  bool ImageLoaded() const { return imageLoaded_; }

 private:
  // Loads the picture, or tries again after a failure (see below); true once it is loaded.
  bool LoadImage();

  bool active_ = false;
  bool systemSaverWasOn_ = false;
  std::unique_ptr<TKLDGraphic> image_;
  bool imageLoaded_ = false;
  int delaySeconds_ = 0;
  uint32_t delayMs_ = 0;
  int x_ = 0, y_ = 0;
  uint32_t lastReposition_ = 0;
  uint32_t lastActivity_ = 0;
  float angle_ = 0.0f;
  std::string imageFolder_;
  // A picture that failed to load is tried again, at most every few seconds and only once the
  // file has changed, so that a missing or broken picture costs one warning, not one a frame.
  bool loadTried_ = false;
  uint32_t lastLoadTry_ = 0;
  std::string failedSignature_;
};

}  // namespace lorvane
