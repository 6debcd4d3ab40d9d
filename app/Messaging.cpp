#include "app/Messaging.h"

#include <algorithm>
#include <charconv>
#include <cstddef>

#include "base/Logging.h"
#include "base/Timing.h"

namespace lorvane {

namespace {
const char* const kNames[] = {
    "",
    "Tarnwick - lorvane helper shutdown message",
    "Tarnwick - lorvane client shutdown message",
    "Tarnwick - lorvane client launch message",
    "Tarnwick - lorvane remote control message",
    "Tarnwick - lorvane client close message",
};
constexpr size_t kMaxWarnings = 64;
constexpr size_t kShownLength = 80;

bool SameLetters(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i]; ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return i == a.size() && !b[i];
}

// What a client sent, fit for one log line: control bytes shown as "?" and cut short.
std::string Shown(const std::string& text) {
  std::string shown;
  for (char c : text.substr(0, kShownLength)) {
    unsigned char u = static_cast<unsigned char>(c);
    shown += u < 0x20 || u == 0x7f ? '?' : c;
  }
  if (text.size() > kShownLength) shown += "...";
  return shown;
}

bool ParseParameter(const std::string& text, uint64_t& value) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() && end == text.data() + text.size();
}
}  // namespace

std::string TKLDMessenger::RegisteredName(int code) {
  return code > 0 && code <= kLastCode ? kNames[code] : "";
}

int TKLDMessenger::ClassifyMessage(const std::string& name) {
  for (int code = 1; code <= kLastCode; ++code)
    if (SameLetters(name, kNames[code])) return code;
  return MSG_NONE;
}

std::string TKLDMessenger::FormatMessage(const TKLDMessage& message) {
  return RegisteredName(message.code) + " " + std::to_string(message.parameter);
}

bool TKLDMessenger::ParseMessage(const std::string& line, TKLDMessage& message, std::string& problem) {
  std::string name = line;
  uint64_t parameter = 0;
  size_t space = line.rfind(' ');
  if (space != std::string::npos) {
    std::string tail = line.substr(space + 1);
    if (ParseParameter(tail, parameter)) {
      name = line.substr(0, space);
    } else if (!tail.empty() && tail.find_first_not_of("0123456789") == std::string::npos) {
      problem = "parameter out of range in \"" + Shown(line) + "\"";
      return false;
    }
  }
  int code = ClassifyMessage(name);
  if (code == MSG_NONE) {
    problem = "unknown message \"" + Shown(line) + "\"";
    return false;
  }
  message.code = code;
  message.parameter = parameter;
  return true;
}

TKLDMessenger::~TKLDMessenger() { StopListening(); }

bool TKLDMessenger::Listen(const std::string& path, std::string& problem) {
  return socket_.Open(
      path, [this](const std::string& line) { return Receive(line); },
      [this](const std::string& text) { Warn(text); }, problem);
}

void TKLDMessenger::StopListening() { socket_.Close(); }

// On the socket's worker thread.
std::string TKLDMessenger::Receive(const std::string& line) {
  TKLDMessage message;
  std::string problem;
  if (!ParseMessage(line, message, problem)) {
    Warn("Dropped a control message: " + problem);
    return "error " + problem;
  }
  if (Exiting()) return "error exiting";
  if (!Post(message)) return Exiting() ? "error exiting" : "error busy";
  return "ok";
}

void TKLDMessenger::BeginExit() {
  std::lock_guard<std::mutex> lock(mutex_);
  exiting_ = true;
}

bool TKLDMessenger::Exiting() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return exiting_;
}

void TKLDMessenger::Warn(const std::string& problem) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (warnings_.size() < kMaxWarnings) warnings_.push_back(problem);
    else ++droppedWarnings_;
  }
  if (wake_) wake_();
}

bool TKLDMessenger::Post(TKLDMessage message) {
  if (!message.arrived) message.arrived = SystemMilliseconds();
  bool queued = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (exiting_) return false;
    if (queue_.size() < kMaxQueued) {
      queue_.push_back(message);
      queued = true;
    } else if (warnings_.size() < kMaxWarnings) {
      warnings_.push_back("Dropped a control message: too many are waiting");
    } else {
      ++droppedWarnings_;
    }
  }
  if (wake_) wake_();
  return queued;
}

size_t TKLDMessenger::Waiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

std::vector<TKLDMessage> TKLDMessenger::TakeMessages(size_t most) {
  std::vector<TKLDMessage> messages;
  std::vector<std::string> warnings;
  size_t dropped = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t count = std::min(most, queue_.size());
    messages.assign(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(count));
    queue_.erase(queue_.begin(), queue_.begin() + static_cast<std::ptrdiff_t>(count));
    warnings.swap(warnings_);
    dropped = droppedWarnings_;
    droppedWarnings_ = 0;
  }
  for (const std::string& warning : warnings) LogWarn(warning);
  if (dropped) LogWarn(std::to_string(dropped) + " more control socket warnings were dropped");
  return messages;
}

TControlSendResult TKLDMessenger::Send(const std::string& path, const TKLDMessage& message, std::string& answer,
                                       uint32_t timeoutMs) {
  return SendControlLine(path, FormatMessage(message), answer, timeoutMs);
}

}  // namespace lorvane
