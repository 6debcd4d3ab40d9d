#pragma once
// The diagnostic console: an overlay over the interface with the log and command results, a
// command line, and watches of the frame rate and frame duration. It lives as long as the UI
// manager, so its output and history last for one run of the interface.
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/TextEntry.h"
#include "render/Canvas.h"
#include "ui/UIManager.h"

namespace lorvane {

class TKLDFunctionList;
class TKLDFunctions;
class TKLDLogger;
class TKLDMetaDataManager;
class TKLDPrefsManager;
class TKLDScreen;
class TKLDTimer;

class TKLDConsoleManager {
 public:
  // Visible rows of 80 characters, the scroll step and the most lines kept.
  static constexpr int kRows = 30;
  static constexpr int kColumns = 80;
  static constexpr int kScrollStep = 5;
  static constexpr int kMaxLines = 300;
  enum : unsigned { kWatchFps = 1, kWatchDuration = 2 };

  // What the commands reach; set by the owner (the application manager, or a test).
  struct Context {
    TKLDPrefsManager* prefs = nullptr;
    TKLDMetaDataManager* meta = nullptr;
    TKLDUIManager* ui = nullptr;
    TKLDFunctions* functions = nullptr;
    TKLDTimer* timer = nullptr;
    TKLDLogger* logger = nullptr;
    TKLDScreen* screen = nullptr;
    // The active interface descriptor's function list (null without a theme).
    std::function<TKLDFunctionList*()> functionList;
    std::function<void()> restart;
    std::function<void()> quit;
    std::function<void()> bye;
  };

  // Echoes the logger given in the context from now until destruction.
  explicit TKLDConsoleManager(Context context);
  ~TKLDConsoleManager();
  TKLDConsoleManager(const TKLDConsoleManager&) = delete;
  TKLDConsoleManager& operator=(const TKLDConsoleManager&) = delete;

  bool ProcessKey(int keyCode) { return commandLine_.ProcessKey(keyCode); }
  // Appends the text's lines (split at CR LF).
  void Output(const std::string& text);
  void SetLogEcho(bool on);
  void ExecuteCommandLine();
  // Runs one command of words as Enter does.
  void ExecuteCommand(const std::vector<std::string>& words);
  void ScrollBack();
  void ScrollForward();
  void LeaveScrollBack();
  // Drops the oldest lines beyond the most kept, unless the user is reading back.
  void TrimOutput();

  std::string OutputText();
  std::string CommandText() const;
  std::string WatchText() const;
  std::string DiagnosticsText() const;
  static std::string HelpText();

  const std::vector<std::string>& OutputLines() const { return output_; }
  const std::vector<std::string>& DisplayLines() const { return display_; }
  TKLDConsoleCommandLine& CommandLine() { return commandLine_; }
  int TopLine() const { return topLine_; }
  bool ScrolledBack() const { return scrolledBack_; }
  unsigned Watches() const { return watches_; }
  bool LogEcho() const { return logEcho_; }
  void SetStartTime(const std::tm& when) { startTime_ = when; }

 private:
  void InvalidateDisplay() { cachedCount_ = -1; }
  int RowsOf(const std::string& line) const { return static_cast<int>(line.size()) / kColumns + 1; }
  void RunFunction(const std::vector<std::string>& words);
  void SetLogLevel(const std::vector<std::string>& words);

  Context context_;
  std::tm startTime_{};
  std::vector<std::string> output_;
  std::vector<std::string> display_;
  TKLDConsoleCommandLine commandLine_{this};
  std::string displayText_;
  int cachedCount_ = -1;
  int topLine_ = 0;
  unsigned watches_ = 0;
  bool scrolledBack_ = false;
  bool logEcho_ = false;
};

// The overlay the UI manager draws after the screens: the console while diagnostics are shown,
// and the watches whenever one is on.
class TKLDDiagnostics : public TKLDDiagnosticsOverlay {
 public:
  explicit TKLDDiagnostics(TKLDConsoleManager::Context context);

  bool ProcessKey(int keyCode) override { return console_.ProcessKey(keyCode); }
  void RenderDiagnostics() override;

  TKLDConsoleManager& Console() { return console_; }
  const TKLDCanvasFont& ConsoleFont() const { return consoleFont_; }
  const TKLDCanvasFont& WatchFont() const { return watchFont_; }

 private:
  TKLDCanvasColour white_{255, 255, 255, 255};
  TKLDCanvasColour black_{255, 0, 0, 0};
  TKLDCanvasFont consoleFont_;
  TKLDCanvasFont watchFont_;
  TKLDConsoleManager console_;
  TKLDUIManager* ui_;
  TKLDScreen* screen_;
};

}  // namespace lorvane
