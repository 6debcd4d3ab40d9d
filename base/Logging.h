#pragma once
#include <cstdint>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace lorvane {

enum TKLDLogLevel : uint8_t { LOG_DEBUG = 0, LOG_INFO = 1, LOG_WARN = 2, LOG_ERROR = 3 };

// The daily log. Lines below WARN are batched so that chatty logging never touches the disk
// on every call; WARN and ERROR reach the file at once so a crash right after them is diagnosable.
// Worker threads (thumbnails, players, the control socket) log too, so every call takes the lock.
// The echo list belongs to the thread that installed it: lines logged on other threads wait in
// the logger until that thread logs or calls DeliverEcho.
class TKLDLogger {
 public:
  TKLDLogger();
  ~TKLDLogger();
  TKLDLogger(const TKLDLogger&) = delete;
  TKLDLogger& operator=(const TKLDLogger&) = delete;

  void Log(uint8_t level, const std::string& message);
  void LogList(uint8_t level, const std::vector<std::string>* lines);
  void OpenLog();
  void Flush();

  static std::string LevelName(uint8_t level);
  std::string CurrentLevelName() const { return LevelName(level_); }
  void SetLevelFromText(const std::string& text);

  uint8_t Level() const { return level_; }
  void SetLevel(uint8_t level) { level_ = level; }
  const std::string& LogFolder() const { return logFolder_; }
  void SetLogFolder(const std::string& folder) { logFolder_ = folder; }
  const std::string& FileName() const { return fileName_; }
  bool Opened() const { return opened_; }
  bool HasFile() const { return file_ != nullptr; }
  size_t BufferedLines() const;
  // Not owned: the console's output list while the console exists; null stops the echo.
  void SetEchoList(std::vector<std::string>* echo);
  // On the echo list's thread: appends the lines other threads logged since the last call.
  void DeliverEcho();

 private:
  void FlushLocked();
  void DeliverEchoLocked();

  mutable std::mutex mutex_;
  std::atomic<uint8_t> level_ = LOG_DEBUG;
  std::string logFolder_;
  std::string fileName_;
  std::FILE* file_ = nullptr;
  bool opened_ = false;
  std::vector<std::string> buffer_;
  std::vector<std::string>* echo_ = nullptr;
  std::thread::id echoThread_;
  std::vector<std::string> pendingEcho_;
};

// The version text of this build ("major.minor.release"), computed once.
const std::string& ApplicationVersion();

// "hh:nn:ss:zzz" of the current local time.
std::string LogTimeStamp();

// Process-wide calls; they do nothing while no logger exists.
void SetGlobalLogger(TKLDLogger* logger);
TKLDLogger* GlobalLogger();
void LogDebug(const std::string& message);
void LogInfo(const std::string& message);
void LogWarn(const std::string& message);
void LogError(const std::string& message);
void LogInfoList(const std::vector<std::string>* lines);

}  // namespace lorvane
