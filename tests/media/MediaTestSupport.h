#pragma once
// A media manager wired to recorders instead of the interface: the events it raises, the errors
// it shows, the metadata it publishes, and a frame clock and screen size the test sets.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/Logging.h"
#include "base/Timing.h"
#include "media/AVRenderer.h"
#include "media/MediaManager.h"
#include "metadata/MetaData.h"
#include "platform/PixbufImage.h"

namespace lorvane::test {

// A player that only remembers what it was asked; `completed` ends its file at the next poll.
struct FakePlayer : TKLDMediaPlayer {
  int position = 0, duration = 100, volume = 1, seeks = 0, runs = 0, pauses = 0;
  bool muted = false, completed = false;
  bool Run() override { return ++runs > 0; }
  bool Pause() override { return ++pauses > 0; }
  int Duration() override { return duration; }
  int GetPosition() override { return position; }
  bool Seek(int seconds) override {
    ++seeks;
    position = seconds;
    return true;
  }
  bool SetVolume(int v) override {
    volume = v;
    return true;
  }
  void Mute() override { muted = true; }
  void Unmute() override { muted = false; }
  bool PollCompleted() override { return std::exchange(completed, false); }
};

class MediaHarness {
 public:
  MediaHarness() {
    logger.SetEchoList(&logged);
    SetGlobalLogger(&logger);
    SetGlobalTimer(&timer);
    TKLDMediaManager::Context context;
    context.meta = &meta;
    context.raiseEvent = [this](const std::string& name) { events.push_back(name); };
    context.showError = [this](const std::string& text, const std::string& description) {
      errors.push_back(text + "|" + description);
    };
    context.actionsBusy = [this] { return busy; };
    context.resetIdle = [this] { ++idleResets; };
    context.slideshow = [this] { return slideshow; };
    context.screenSize = [this](int& w, int& h) { w = screenWidth, h = screenHeight; };
    context.frameElapsed = [this] { return frameMs; };
    manager.SetContext(context);
  }
  ~MediaHarness() {
    SetGlobalTimer(nullptr);
    SetGlobalLogger(nullptr);
    logger.SetEchoList(nullptr);
  }
  MediaHarness(const MediaHarness&) = delete;
  MediaHarness& operator=(const MediaHarness&) = delete;

  int Count(const std::string& event) const {
    return static_cast<int>(std::count(events.begin(), events.end(), event));
  }
  bool Logged(const std::string& text) const {
    return std::any_of(logged.begin(), logged.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
  }
  // Fills the selection with a parent, a folder and the given files of a folder.
  void Select(const std::vector<std::pair<std::string, uint8_t>>& files, int selected) {
    TKLDPlaylist& list = manager.SelectionList();
    list.Clear();
    list.AddItem("", MEDIA_PARENT, "", "/media/..");
    list.AddItem("sub/", MEDIA_FOLDER, "", "/media/sub/");
    for (const auto& [name, type] : files)
      list.AddItem(name, type, type == MEDIA_PICTURE ? "/media/" + name : "", "/media/" + name);
    manager.SetSelection(list.Item(selected));
  }

  std::vector<std::string> logged;
  TKLDLogger logger;
  uint32_t clock = 1000;
  TKLDTimer timer{[this] { return clock; }};
  TKLDMetaDataManager meta;
  std::vector<std::string> events;
  std::vector<std::string> errors;
  bool busy = false;
  int idleResets = 0;
  TKLDSlideshowSettings slideshow;
  int screenWidth = 1920, screenHeight = 1080;
  int frameMs = 100;
  TKLDMediaManager manager;
};

// Writes a picture of one colour; true when it was written.
inline bool WritePicture(const std::string& path, int width, int height, uint8_t shade = 128) {
  std::vector<uint8_t> bits(static_cast<size_t>(width) * height * 4, shade);
  for (size_t i = 3; i < bits.size(); i += 4) bits[i] = 255;
  auto image = TKLDPixbufImage::FromBGRA(width, height, bits.data(), width * 4);
  std::string error;
  if (!image) return false;
  const bool jpeg = path.size() > 4 && path.substr(path.size() - 4) == ".jpg";
  return jpeg ? image->SaveJpeg(path, 85, error) : image->SavePng(path, error);
}

}  // namespace lorvane::test
