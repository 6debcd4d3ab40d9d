#include "base/Logging.h"

#include <cerrno>
#include <chrono>
#include <ctime>
#include <shared_mutex>

#include "Version.h"
#include "base/FileSystem.h"

namespace lorvane {

namespace {
std::atomic<TKLDLogger*> g_logger = nullptr;

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}
}  // namespace

std::string LogTimeStamp() {
  using namespace std::chrono;
  auto now = system_clock::now();
  std::time_t t = system_clock::to_time_t(now);
  std::tm tm {};
  localtime_r(&t, &tm);
  int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d:%03d", tm.tm_hour, tm.tm_min, tm.tm_sec, ms);
  return buf;
}

const std::string& ApplicationVersion() {
  static const std::string version = LORVANE_VERSION_TEXT;
  return version;
}

TKLDLogger::TKLDLogger() = default;

TKLDLogger::~TKLDLogger() {
  Log(LOG_INFO, "*** lorvane stopped ***");
  Flush();
  std::lock_guard lock(mutex_);
  buffer_.clear();
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

std::string TKLDLogger::LevelName(uint8_t level) {
  switch (level) {
    case LOG_INFO: return "INFO";
    case LOG_WARN: return "WARN";
    case LOG_ERROR: return "ERROR";
    default: return "DEBUG";
  }
}

void TKLDLogger::SetLevelFromText(const std::string& text) {
  std::string word = Upper(text);
  if (word == "INFO") level_ = LOG_INFO;
  else if (word == "WARN") level_ = LOG_WARN;
  else if (word == "ERROR") level_ = LOG_ERROR;
  else level_ = LOG_DEBUG;
}

void TKLDLogger::Log(uint8_t level, const std::string& message) {
  if (level < level_) return;
  std::string line = LogTimeStamp() + " " + LevelName(level) + ": " + message;
  std::lock_guard lock(mutex_);
  buffer_.push_back(line);
  if (echo_) {
    if (std::this_thread::get_id() == echoThread_) {
      DeliverEchoLocked();
      echo_->push_back(line);
    } else if (pendingEcho_.size() < 1000) {
      pendingEcho_.push_back(line);
    }
  }
  if (level > LOG_INFO || buffer_.size() > 20) FlushLocked();
}

size_t TKLDLogger::BufferedLines() const {
  std::lock_guard lock(mutex_);
  return buffer_.size();
}

void TKLDLogger::SetEchoList(std::vector<std::string>* echo) {
  std::lock_guard lock(mutex_);
  echo_ = echo;
  echoThread_ = std::this_thread::get_id();
  pendingEcho_.clear();
}

void TKLDLogger::DeliverEcho() {
  std::lock_guard lock(mutex_);
  if (echo_ && std::this_thread::get_id() == echoThread_) DeliverEchoLocked();
}

void TKLDLogger::DeliverEchoLocked() {
  for (auto& line : pendingEcho_) echo_->push_back(std::move(line));
  pendingEcho_.clear();
}

void TKLDLogger::LogList(uint8_t level, const std::vector<std::string>* lines) {
  if (!lines || level < level_) return;
  for (const auto& line : *lines) Log(level, line);
}

void TKLDLogger::Flush() {
  std::lock_guard lock(mutex_);
  FlushLocked();
}

void TKLDLogger::FlushLocked() {
  if (!opened_ || buffer_.empty()) return;
  if (file_) {
    std::string block;
    for (const auto& line : buffer_) {
      block += line;
      block += "\r\n";
    }
    std::fwrite(block.data(), 1, block.size(), file_);
    std::fflush(file_);
  }
  buffer_.clear();
}

void TKLDLogger::OpenLog() {
  std::unique_lock lock(mutex_);
  opened_ = true;
  std::string folder = logFolder_;
  if (!folder.empty() && folder.back() == '/') folder.pop_back();
  if (!DirectoryExists(folder) && !CreateFolder(folder)) return;
  std::time_t t = std::time(nullptr);
  std::tm tm {};
  localtime_r(&t, &tm);
  char date[48];
  std::snprintf(date, sizeof date, "%04d%02d%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  fileName_ = std::string("lorvane") + date + ".log";
  // Append mode keeps every run of the day in one file even when two processes write to it.
  file_ = std::fopen((logFolder_ + fileName_).c_str(), "a+b");
  lock.unlock();
  Log(LOG_INFO, "*** lorvane started ***");
  Log(LOG_INFO, "lorvane version: " + ApplicationVersion());
}

namespace {
// A worker left to a read that never returned may log long after its owner went, the logger's
// owner included: the logger is used under this lock, and cleared under it before it goes.
std::shared_mutex g_loggerInUse;
}  // namespace

void SetGlobalLogger(TKLDLogger* logger) {
  std::unique_lock<std::shared_mutex> lock(g_loggerInUse);
  g_logger = logger;
}
TKLDLogger* GlobalLogger() { return g_logger; }

namespace {
void LogThrough(uint8_t level, const std::string& message) {
  std::shared_lock<std::shared_mutex> lock(g_loggerInUse);
  if (TKLDLogger* logger = g_logger) logger->Log(level, message);
}
}  // namespace

void LogDebug(const std::string& message) { LogThrough(LOG_DEBUG, message); }
void LogInfo(const std::string& message) { LogThrough(LOG_INFO, message); }
void LogWarn(const std::string& message) { LogThrough(LOG_WARN, message); }
void LogError(const std::string& message) { LogThrough(LOG_ERROR, message); }
void LogInfoList(const std::vector<std::string>* lines) {
  std::shared_lock<std::shared_mutex> lock(g_loggerInUse);
  if (TKLDLogger* logger = g_logger) logger->LogList(LOG_INFO, lines);
}
}  // namespace lorvane
