#pragma once
// Scripted runs for theme authors and tests: one command per frame, each run before that
// frame's update, so that "state", "meta" and "screenshot" see the effect of every key before them.
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace lorvane {

struct TScriptCommand {
  int line = 0;
  std::string verb;
  std::string argument;
};

class TScriptRunner {
 public:
  struct Hooks {
    std::function<void(int)> key;
    std::function<void(int)> remote;
    std::function<std::string(const std::string&)> meta;
    // "screen=NAME focus=NAME"
    std::function<std::string()> state;
    // "overlap A B" lines of the current screen's text that other controls meet.
    std::function<std::vector<std::string>()> overlaps;
    std::function<uint32_t()> clock;
    // The clock remote keys are timed on (the frame clock). A remote key 10 ms or less after the
    // one before is dropped there, so a script's "remote" waits until it would count.
    std::function<uint32_t()> remoteClock;
  };
  static constexpr uint32_t kRemoteGapMs = 10;
  // A frame clock that stands still (frames not drawn) holds a remote key no longer than this.
  static constexpr uint32_t kRemoteHoldMs = 1000;

  // Reads the script; false with the reason when the file cannot be read.
  bool Load(const std::string& fileName, std::string& problem);
  void LoadText(const std::string& text);
  void SetHooks(Hooks hooks) { hooks_ = std::move(hooks); }
  void SetOutput(std::ostream* out) { out_ = out; }

  // Runs the command due in this frame. False when the script failed: Error() tells why.
  bool RunFrame();
  bool Finished() const { return next_ >= commands_.size() && !waiting_; }
  bool Failed() const { return !error_.empty(); }
  const std::string& Error() const { return error_; }
  bool QuitRequested() const { return quit_; }
  // A screenshot asked for and not yet written: the next presented frame goes to this file.
  const std::string& PendingScreenshot() const { return pendingScreenshot_; }
  void ScreenshotTaken() { pendingScreenshot_.clear(); }

 private:
  bool Fail(const TScriptCommand& command, const std::string& message);
  bool Execute(const TScriptCommand& command);

  std::vector<TScriptCommand> commands_;
  size_t next_ = 0;
  Hooks hooks_;
  std::ostream* out_ = nullptr;
  std::string error_;
  bool quit_ = false;
  bool waiting_ = false;
  uint32_t waitStart_ = 0;
  uint32_t waitLength_ = 0;
  std::string pendingScreenshot_;
  bool remoteSent_ = false;
  uint32_t lastRemote_ = 0;
  bool remoteHeld_ = false;
  uint32_t remoteHeldSince_ = 0;
};

}  // namespace lorvane
