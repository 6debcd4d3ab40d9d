#include "app/ConsoleManager.h"

#include <cmath>
#include <ctime>

#include "app/Preferences.h"
#include "base/Logging.h"
#include "base/Timing.h"
#include "metadata/MetaData.h"
#include "platform/SystemInfo.h"
#include "render/DirectXHelper.h"
#include "render/Screen.h"
#include "render/Viewport.h"
#include "ui/FunctionList.h"
#include "ui/Functions.h"

namespace lorvane {

namespace {

const char* const kCrLf = "\r\n";
const char* const kApplicationTitle = "lorvane";
const char* const kUptimePicture = "\"lorvane running since \"hh:nn:ss\" on \"ddd d mmm";
const char* const kUnknownCommand = "Unknown command! (Type HELP for a list of commands)";
const char* const kUnknownFunction = "Unknown function!";
const char* const kListMetaUsage = "Usage: LISTMETA [prefix] - where prefix is metadata name prefix";
const char* const kLogUsage = "Usage: LOG [level] - where level may be DEBUG, INFO, WARN or ERROR";
const char* const kFnUsage =
    "Usage: FN [name] [target] [parameter] - where name is required function,\r\n"
    "target is function target and parameter is function parameter";

const char* const kHelpLines[] = {
    "lorvane console help.",
    "",
    "Supported commands:",
    "HELP     - show this help",
    "VERSION  - show lorvane version information",
    "PREFS    - show lorvane preference settings",
    "LISTMETA - show lorvane metadata values",
    "LISTFNS  - show list of supported theme functions",
    "FN       - execute requested theme function",
    "UPTIME   - show length of time lorvane has been running for",
    "DIAG     - show diagnostic information",
    "LOG      - show or change current logging level",
    "EXIT     - exit lorvane console",
    "RESTART  - restart lorvane user interface",
    "QUIT     - quit lorvane user interface",
    "",
    "Supported watches:",
    "SHOWFPS/HIDEFPS - show/hide frames per second display",
    "SHOWDUR/HIDEDUR - show/hide frame render duration display",
};

std::tm LocalNow() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string DeviceCheckText(TKLDScreen* screen) {
  TKLDDirectXHelper* helper = screen ? screen->Helper() : nullptr;
  if (!helper || !helper->Initialised()) return "No display device";
  if (helper->DeviceLost()) return "Display device lost, waiting to recover";
  return "Display device ready, " + std::to_string(helper->DisplayWidth()) + " x " +
         std::to_string(helper->DisplayHeight()) + (helper->Fullscreen() ? " full screen" : " windowed");
}

}  // namespace

// ---------------------------------------------------------------- console manager

TKLDConsoleManager::TKLDConsoleManager(Context context) : context_(std::move(context)) {
  startTime_ = LocalNow();
  SetLogEcho(true);
}

TKLDConsoleManager::~TKLDConsoleManager() { SetLogEcho(false); }

void TKLDConsoleManager::SetLogEcho(bool on) {
  logEcho_ = on;
  if (context_.logger) context_.logger->SetEchoList(on ? &output_ : nullptr);
}

void TKLDConsoleManager::Output(const std::string& text) {
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find(kCrLf, at);
    if (end == std::string::npos) {
      output_.push_back(text.substr(at));
      break;
    }
    output_.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  if (text.empty()) output_.emplace_back();
}

std::string TKLDConsoleManager::HelpText() {
  std::string text;
  for (const char* line : kHelpLines) {
    if (!text.empty() || line != kHelpLines[0]) text += kCrLf;
    text += line;
  }
  return text;
}

void TKLDConsoleManager::ExecuteCommandLine() {
  std::vector<std::string> words = commandLine_.TakeCommand();
  if (words.empty()) {
    LeaveScrollBack();
    return;
  }
  ExecuteCommand(words);
}

void TKLDConsoleManager::ExecuteCommand(const std::vector<std::string>& words) {
  if (words.empty()) return;
  const std::string& command = words[0];
  if (command == "HELP") {
    Output(HelpText());
  } else if (command == "VERSION") {
    Output(std::string(kApplicationTitle) + " version " + ApplicationVersion());
  } else if (command == "PREFS") {
    if (context_.prefs) {
      std::vector<std::string> lines;
      context_.prefs->WriteToList(lines);
      for (const std::string& line : lines) output_.push_back(line);
    }
  } else if (command == "LISTMETA") {
    const std::string prefix = words.size() > 1 ? words[1] : std::string();
    if (prefix.empty()) Output(kListMetaUsage);
    Output("Current metadata values (" + (prefix.empty() ? std::string("root") : prefix) + "):");
    if (context_.meta) {
      std::vector<std::string> lines;
      context_.meta->ListValues(lines, prefix);
      for (const std::string& line : lines) output_.push_back(line);
    }
  } else if (command == "LISTFNS") {
    Output("Supported functions:");
    if (TKLDFunctionList* functions = context_.functionList ? context_.functionList() : nullptr) {
      std::vector<std::string> lines;
      functions->ListFunctions(lines);
      for (const std::string& line : lines) output_.push_back(line);
    }
  } else if (command == "FN") {
    RunFunction(words);
  } else if (command == "UPTIME") {
    Output(FormatDateTime(kUptimePicture, startTime_));
  } else if (command == "DIAG") {
    Output(DiagnosticsText());
  } else if (command == "LOG") {
    SetLogLevel(words);
  } else if (command == "EXIT") {
    if (context_.ui) context_.ui->SetShowDiagnostics(false);
  } else if (command == "RESTART") {
    if (context_.restart) context_.restart();
  } else if (command == "QUIT") {
    if (context_.quit) context_.quit();
  } else if (command == "BYE") {
    if (context_.bye) context_.bye();
  } else if (command == "EXAMPLE") {
    Output("Example command. You passed " + std::to_string(words.size() - 1) + " parameters");
    for (size_t i = 1; i < words.size(); ++i) Output("Param[" + std::to_string(i - 1) + "] = " + words[i]);
  } else if (command == "SHOWFPS") {
    watches_ |= kWatchFps;
  } else if (command == "HIDEFPS") {
    watches_ &= ~kWatchFps;
  } else if (command == "SHOWDUR") {
    watches_ |= kWatchDuration;
  } else if (command == "HIDEDUR") {
    watches_ &= ~kWatchDuration;
  } else {
    Output(kUnknownCommand);
  }
}

void TKLDConsoleManager::RunFunction(const std::vector<std::string>& words) {
  if (words.size() < 2) {
    Output(kFnUsage);
    return;
  }
  TKLDFunctionList* list = context_.functionList ? context_.functionList() : nullptr;
  TKLDFunction* function = list ? list->FindFunction(words[1]) : nullptr;
  if (!function) {
    Output(kUnknownFunction);
    return;
  }
  const std::string target = words.size() > 2 ? words[2] : std::string();
  const std::string parameter = words.size() > 3 ? words[3] : std::string();
  TKLDFunctions* functions = context_.functions ? context_.functions : FunctionExecutor();
  // A function's error goes on to the unhandled-error handler, like any error in a frame.
  if (functions) {
    if (!target.empty()) functions->ExecuteWithTarget(*function, target, parameter);
    else functions->Execute(*function);
  }
  std::string line = words[1];
  if (!target.empty()) line += " " + target;
  if (!parameter.empty()) line += " " + parameter;
  Output(line + " : Okay");
}

void TKLDConsoleManager::SetLogLevel(const std::vector<std::string>& words) {
  TKLDLogger* logger = context_.logger ? context_.logger : GlobalLogger();
  if (words.size() > 1) {
    if (logger) logger->SetLevelFromText(words[1]);
    if (!logger || logger->CurrentLevelName() != words[1]) Output(kLogUsage);
  } else {
    Output(kLogUsage);
  }
  Output("Current logging level is " + (logger ? logger->CurrentLevelName() : std::string()));
}

std::string TKLDConsoleManager::DiagnosticsText() const {
  TKLDTimer* timer = context_.timer ? context_.timer : Timer();
  std::string text = std::string("lorvane diagnostics:") + kCrLf + kCrLf;
  if (timer) {
    text += "Average FPS: " + std::to_string(timer->FramesPerSecond()) + kCrLf;
    text += "Average frame duration: " + std::to_string(timer->AverageFrameDuration()) + " ms" + kCrLf;
    text += "Current frame duration: " + std::to_string(timer->CurrentFrameDuration()) + " ms" + kCrLf;
  }
  text += kCrLf;
  text += std::string("Profiling measurements: ") + kCrLf;
  if (timer)
    for (int i = 0; i < timer->MeasureCount(); ++i)
      text += timer->MeasureName(i) + ": " + std::to_string(timer->MeasureValue(i)) + " ms" + kCrLf;
  text += kCrLf;
  TKLDScreen* screen = context_.screen;
  TKLDDirectXHelper* helper = screen ? screen->Helper() : nullptr;
  text += "DirectX fonts allocated: " + std::to_string(helper ? helper->FontManager().Count() : 0) + kCrLf;
  text += "DirectX textures allocated: " + std::to_string(helper ? helper->SpriteManager().Count() : 0) + kCrLf;
  text += "DirectX surfaces allocated: " + std::to_string(helper ? helper->SurfaceManager().Count() : 0) + kCrLf;
  text += kCrLf;
  text += "DirectX diagnostic check: " + DeviceCheckText(screen) + kCrLf;
  uint64_t pageFile = 0, physical = 0;
  AvailableMemory(pageFile, physical);
  text += "Memory available - Page file: " + std::to_string(pageFile / 1024) + "K, Physical: " +
          std::to_string(physical / 1024) + "K" + kCrLf;
  return text;
}

void TKLDConsoleManager::ScrollBack() {
  if (static_cast<int>(output_.size()) < kRows) return;
  scrolledBack_ = true;
  topLine_ = topLine_ < kScrollStep + 1 ? 0 : topLine_ - kScrollStep;
  InvalidateDisplay();
}

void TKLDConsoleManager::ScrollForward() {
  if (!scrolledBack_) return;
  if (topLine_ + kRows + kScrollStep < static_cast<int>(output_.size())) topLine_ += kScrollStep;
  else LeaveScrollBack();
  InvalidateDisplay();
}

void TKLDConsoleManager::LeaveScrollBack() {
  if (!scrolledBack_) return;
  scrolledBack_ = false;
  const int count = static_cast<int>(output_.size());
  topLine_ = count <= kRows ? 0 : count - kRows;
  InvalidateDisplay();
}

void TKLDConsoleManager::TrimOutput() {
  if (logEcho_ && context_.logger) context_.logger->DeliverEcho();
  if (scrolledBack_ || static_cast<int>(output_.size()) <= kMaxLines) return;
  const int excess = static_cast<int>(output_.size()) - kMaxLines;
  output_.erase(output_.begin(), output_.begin() + excess);
  topLine_ = topLine_ > excess ? topLine_ - excess : 0;
  InvalidateDisplay();
}

std::string TKLDConsoleManager::OutputText() {
  TrimOutput();
  const int count = static_cast<int>(output_.size());
  if (count == cachedCount_) return displayText_;
  if (topLine_ > count) topLine_ = count;
  if (!scrolledBack_) {
    // Follow the newest line: the top moves down until everything from it to the end fits,
    // however many lines arrived since the last frame.
    int rows = 0;
    int top = count;
    while (top > 0 && rows + RowsOf(output_[top - 1]) <= kRows) rows += RowsOf(output_[--top]);
    if (top > topLine_) topLine_ = top;
  }
  display_.clear();
  int rows = 0;
  for (int i = topLine_; i < count; ++i) {
    display_.push_back(output_[i]);
    rows += RowsOf(output_[i]);
    if (rows > kRows) break;
  }
  displayText_.clear();
  for (size_t i = 0; i < display_.size(); ++i) {
    if (i) displayText_ += kCrLf;
    displayText_ += display_[i];
  }
  cachedCount_ = count;
  return displayText_;
}

std::string TKLDConsoleManager::CommandText() const {
  std::string line = commandLine_.Text();
  line.insert(static_cast<size_t>(commandLine_.Cursor()), "_");
  return "Command: " + line;
}

std::string TKLDConsoleManager::WatchText() const {
  TKLDTimer* timer = context_.timer ? context_.timer : Timer();
  std::string text;
  if (watches_ & kWatchFps) text += "FPS: " + std::to_string(timer ? timer->FramesPerSecond() : 0) + kCrLf;
  if (watches_ & kWatchDuration)
    text += std::to_string(timer ? timer->AverageFrameDuration() : 0) + " ms" + kCrLf;
  return text;
}

// ---------------------------------------------------------------- overlay

TKLDDiagnostics::TKLDDiagnostics(TKLDConsoleManager::Context context)
    : console_(context), ui_(context.ui), screen_(context.screen) {
  for (TKLDCanvasFont* font : {&consoleFont_, &watchFont_}) {
    font->Name = "Lucida Console";
    font->Colour = white_;
    font->Shadow = true;
    font->ShadowColour = black_;
  }
  consoleFont_.Size = 12;
  consoleFont_.ShadowOffsetX = consoleFont_.ShadowOffsetY = 1;
  watchFont_.Size = 20;
  watchFont_.ShadowOffsetX = watchFont_.ShadowOffsetY = 2;
}

void TKLDDiagnostics::RenderDiagnostics() {
  // Hidden or not, the log keeps arriving: the oldest lines go so the list never grows unbounded.
  console_.TrimOutput();
  TKLDDirectXHelper* helper = screen_ ? screen_->Helper() : nullptr;
  TKLDViewport& viewport = ScreenViewport();
  TKLDCanvas* canvas = viewport.Canvas();
  if (!helper || !canvas) return;
  if (ui_ && ui_->ShowDiagnostics()) {
    helper->ResetClipViewport();
    const TKLDRect area = viewport.Bounds();
    const int outputBottom = static_cast<int>(std::lround(area.Bottom() / 100.0 * 90.0));
    const TKLDRect output{area.X, area.Y, area.Width, outputBottom - area.Y};
    canvas->TextOut(output, &consoleFont_, console_.OutputText(), TKLDTextAlign::Left, nullptr, true);
    const TKLDRect command{area.X, outputBottom + 1, area.Width, area.Bottom() - outputBottom - 1};
    canvas->TextOut(command, &consoleFont_, console_.CommandText(), TKLDTextAlign::Left, nullptr, false);
  }
  if (console_.Watches()) {
    helper->ResetClipViewport();
    canvas->TextOut(viewport.Bounds(), &watchFont_, console_.WatchText(), TKLDTextAlign::Left, nullptr, false);
  }
}

}  // namespace lorvane
