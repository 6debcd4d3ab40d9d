#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace lorvane {

// Milliseconds of a monotonic clock as an unsigned 32-bit counter: it wraps like the system
// millisecond clock did, so every comparison goes through TKLDTimer::Elapsed.
uint32_t SystemMilliseconds();

// More than interval milliseconds from since to now; a now below since means the counter wrapped
// after since, which counts as long past.
bool MillisecondsPassed(uint32_t since, uint32_t interval, uint32_t now);

// A manual-reset event shared with the video presenter thread.
class TKLDEvent {
 public:
  explicit TKLDEvent(bool initiallySet) : set_(initiallySet) {}
  void Set();
  void Reset();
  // True when the event was set within the timeout. A wait under way when the event is set is
  // released even if it is reset again before the waiting thread runs, as a manual-reset event's
  // waiters are: the presenter resets frame-ready 2 ms after setting it, and a busy machine can
  // take longer than that to schedule the frame loop.
  bool Wait(uint32_t timeoutMs);
  bool IsSet();
  // Threads inside Wait now (tests).
  int Waiting();

 private:
  std::mutex mutex_;
  std::condition_variable cond_;
  bool set_;
  uint64_t sets_ = 0;
  int waiting_ = 0;
};

// Formats a date and time with the picture language of "DateFormat" and "TimeFormat"
// ("dddd", "mmmm", "am/pm", quoted literals, ...).
std::string FormatDateTime(const std::string& picture, const std::tm& when, int milliseconds = 0);

// The frame clock: frame statistics, named measures, the once-a-second texts and the
// pacing handshake with the video presenter.
class TKLDTimer {
 public:
  // The clock source is injectable so that tests run time without sleeping.
  using ClockSource = std::function<uint32_t()>;
  using LocalTimeSource = std::function<std::tm()>;
  using MediaTimeSource = std::function<void(int& position, int& duration)>;

  explicit TKLDTimer(ClockSource clock = SystemMilliseconds);

  bool Elapsed(uint32_t since, uint32_t interval) const;
  void MarkFrameStart();
  void MarkFrameEnd();
  bool FrameTick();
  void StartMeasure(const std::string& name);
  void StopMeasure(const std::string& name);
  int MeasureCount() const { return static_cast<int>(measures_.size()); }
  const std::string& MeasureName(int i) const { return measures_[i].name; }
  uint32_t MeasureValue(int i) const { return measures_[i].value; }
  static std::string FormatSeconds(int seconds);
  void UpdateTexts();

  void VideoStarted();
  void VideoStopped();
  bool VideoFramePresented();

  uint32_t Now() const { return now_; }
  uint32_t CurrentTime() const { return clock_(); }
  int FramesPerSecond() const { return framesPerSecond_; }
  int AverageFrameDuration() const { return averageFrameDuration_; }
  int CurrentFrameDuration() const { return currentFrameDuration_; }
  bool VideoSync() const { return videoSync_; }
  // A film plays (started and not stopped), whether or not its frames pace the loop yet.
  bool VideoActive();
  int TimeoutsInARow() const { return timeoutsInARow_; }

  void SetDateFormat(const std::string& f) { dateFormat_ = f; }
  void SetTimeFormat(const std::string& f) { timeFormat_ = f; }
  const std::string& DateFormat() const { return dateFormat_; }
  const std::string& TimeFormat() const { return timeFormat_; }
  const std::string& DateText() const { return dateText_; }
  const std::string& TimeText() const { return timeText_; }
  const std::string& PositionText() const { return positionText_; }
  const std::string& DurationText() const { return durationText_; }
  const std::string& RemainingText() const { return remainingText_; }
  const std::string& PositionSecondsText() const { return positionSecondsText_; }
  const std::string& DurationSecondsText() const { return durationSecondsText_; }
  const std::string& RemainingSecondsText() const { return remainingSecondsText_; }

  // Hooks set by the owner: the local time (tests fix it), the playing media's times,
  // and the system's keep-awake call.
  void SetLocalTimeSource(LocalTimeSource source) { localTime_ = std::move(source); }
  void SetMediaTimeSource(MediaTimeSource source) { mediaTime_ = std::move(source); }
  void SetKeepAwake(std::function<void()> keepAwake) { keepAwake_ = std::move(keepAwake); }
  // How long FrameTick waits for the presenter; tests shorten it.
  void SetFrameWait(uint32_t ms) { frameWaitMs_ = ms; }

 private:
  struct Measure {
    std::string name;
    uint32_t value;
  };

  ClockSource clock_;
  LocalTimeSource localTime_;
  MediaTimeSource mediaTime_;
  std::function<void()> keepAwake_;
  int framesPerSecond_ = 0;
  int averageFrameDuration_ = 0;
  int currentFrameDuration_ = 0;
  int durationTotal_ = 0;
  uint32_t now_;
  uint32_t secondMark_;
  uint32_t keepAwakeMark_;
  int frameCount_ = 0;
  std::string dateFormat_ = "dddd dx mmmm";
  std::string timeFormat_ = "h:nn am/pm";
  std::string dateText_, timeText_;
  std::string positionText_ = "00:00:00", durationText_ = "00:00:00", remainingText_ = "00:00:00";
  std::string positionSecondsText_ = "0", durationSecondsText_ = "0", remainingSecondsText_ = "0";
  TKLDEvent renderAllowed_{true};
  TKLDEvent renderDone_{false};
  std::atomic<int> timeoutsInARow_{0};
  std::atomic<bool> videoSync_{false};
  // Between VideoStarted and VideoStopped; only then do presented frames pace the loop.
  std::mutex videoLock_;
  bool videoActive_ = false;
  uint32_t frameWaitMs_ = 200;
  std::vector<Measure> measures_;
};

// The process-wide frame clock (null before it is created).
TKLDTimer* Timer();
void SetGlobalTimer(TKLDTimer* timer);

}  // namespace lorvane
