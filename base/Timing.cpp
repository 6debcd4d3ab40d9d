#include "base/Timing.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace lorvane {

namespace {
TKLDTimer* g_timer = nullptr;

const char* const kLongDays[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kShortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
const char* const kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithNoCase(const std::string& text, size_t pos, const char* word) {
  for (size_t i = 0; word[i]; ++i)
    if (pos + i >= text.size() || Lower(text[pos + i]) != word[i]) return false;
  return true;
}

std::string Number(int value, int digits) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%0*d", digits, value);
  return buf;
}

std::tm LocalNow() {
  std::time_t t = std::time(nullptr);
  std::tm tm {};
  localtime_r(&t, &tm);
  return tm;
}

// Halves go to the even neighbour, like the rest of the program's rounding.
int RoundHalfEven(double value) { return static_cast<int>(std::nearbyint(value)); }
}  // namespace

uint32_t SystemMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TKLDEvent::Set() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
    ++sets_;
  }
  cond_.notify_all();
}

void TKLDEvent::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  set_ = false;
}

bool TKLDEvent::Wait(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  const uint64_t sets = sets_;
  ++waiting_;
  const bool set = cond_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return set_ || sets_ != sets; });
  --waiting_;
  return set;
}

int TKLDEvent::Waiting() {
  std::lock_guard<std::mutex> lock(mutex_);
  return waiting_;
}

bool TKLDEvent::IsSet() {
  std::lock_guard<std::mutex> lock(mutex_);
  return set_;
}

std::string FormatDateTime(const std::string& picture, const std::tm& when, int milliseconds) {
  // "am/pm" anywhere turns every hour into a 12-hour one.
  bool twelveHour = false;
  for (size_t i = 0; i < picture.size(); ++i)
    if (StartsWithNoCase(picture, i, "am/pm")) twelveHour = true;

  std::string out;
  size_t i = 0;
  while (i < picture.size()) {
    char c = picture[i];
    char lc = Lower(c);
    if (c == '"') {
      size_t end = picture.find(c, i + 1);
      if (end == std::string::npos) end = picture.size();
      out += picture.substr(i + 1, end - i - 1);
      i = end + 1;
      continue;
    }
    if (StartsWithNoCase(picture, i, "am/pm")) {
      bool upper = c == 'A';
      out += when.tm_hour < 12 ? (upper ? "AM" : "am") : (upper ? "PM" : "pm");
      i += 5;
      continue;
    }
    if (lc == 'd' || lc == 'm' || lc == 'y' || lc == 'h' || lc == 'n' || lc == 's' || lc == 'z') {
      size_t run = 1;
      while (i + run < picture.size() && Lower(picture[i + run]) == lc) ++run;
      i += run;
      switch (lc) {
        case 'd':
          if (run == 1) out += std::to_string(when.tm_mday);
          else if (run == 2) out += Number(when.tm_mday, 2);
          else if (run == 3) out += kShortDays[when.tm_wday % 7];
          else out += kLongDays[when.tm_wday % 7];
          break;
        case 'm':
          if (run == 1) out += std::to_string(when.tm_mon + 1);
          else if (run == 2) out += Number(when.tm_mon + 1, 2);
          else if (run == 3) out += kShortMonths[when.tm_mon % 12];
          else out += kLongMonths[when.tm_mon % 12];
          break;
        case 'y':
          if (run <= 2) out += Number((when.tm_year + 1900) % 100, 2);
          else out += Number(when.tm_year + 1900, 4);
          break;
        case 'h': {
          int hour = when.tm_hour;
          if (twelveHour) {
            hour %= 12;
            if (hour == 0) hour = 12;
          }
          out += run == 1 ? std::to_string(hour) : Number(hour, 2);
          break;
        }
        case 'n': out += run == 1 ? std::to_string(when.tm_min) : Number(when.tm_min, 2); break;
        case 's': out += run == 1 ? std::to_string(when.tm_sec) : Number(when.tm_sec, 2); break;
        case 'z': out += run == 1 ? std::to_string(milliseconds) : Number(milliseconds, 3); break;
      }
      continue;
    }
    out += c;
    ++i;
  }
  return out;
}

TKLDTimer::TKLDTimer(ClockSource clock) : clock_(std::move(clock)), localTime_(LocalNow) {
  now_ = clock_();
  secondMark_ = now_;
  keepAwakeMark_ = now_;
}

bool MillisecondsPassed(uint32_t since, uint32_t interval, uint32_t now) {
  if (now < since) return true;
  // Computed in 64 bits: since + interval may pass the top of the 32-bit range.
  return static_cast<uint64_t>(since) + interval < now;
}

bool TKLDTimer::Elapsed(uint32_t since, uint32_t interval) const { return MillisecondsPassed(since, interval, now_); }

void TKLDTimer::MarkFrameStart() { now_ = clock_(); }

void TKLDTimer::MarkFrameEnd() {
  uint32_t previous = now_;
  now_ = clock_();
  if (previous < now_) currentFrameDuration_ = static_cast<int>(now_ - previous);
  durationTotal_ += currentFrameDuration_;
}

bool TKLDTimer::FrameTick() {
  if (Elapsed(secondMark_, 1000)) {
    framesPerSecond_ = frameCount_ + 1;
    averageFrameDuration_ = RoundHalfEven(static_cast<double>(durationTotal_) / (frameCount_ + 1));
    UpdateTexts();
    frameCount_ = 0;
    secondMark_ = now_;
    durationTotal_ = 0;
  } else {
    ++frameCount_;
  }
  if (Elapsed(keepAwakeMark_, 20000)) {
    if (keepAwake_) keepAwake_();
    keepAwakeMark_ = now_;
  }
  const bool allowed = renderAllowed_.Wait(frameWaitMs_);
  // Under the lock: a stop between the wait and the answer must leave the loop free.
  std::lock_guard<std::mutex> guard(videoLock_);
  if (allowed) {
    if (videoSync_) {
      renderAllowed_.Reset();
      renderDone_.Set();
    }
  } else if (timeoutsInARow_ < 26) {
    ++timeoutsInARow_;
  } else {
    videoSync_ = false;
    renderAllowed_.Set();
  }
  return true;
}

void TKLDTimer::StartMeasure(const std::string& name) {
  for (auto& m : measures_) {
    if (m.name.size() == name.size() &&
        std::equal(name.begin(), name.end(), m.name.begin(), [](char a, char b) { return Lower(a) == Lower(b); })) {
      m.value = clock_();
      return;
    }
  }
  measures_.push_back({name, clock_()});
}

void TKLDTimer::StopMeasure(const std::string& name) {
  for (auto& m : measures_) {
    if (m.name.size() == name.size() &&
        std::equal(name.begin(), name.end(), m.name.begin(), [](char a, char b) { return Lower(a) == Lower(b); })) {
      m.value = clock_() - m.value;
      return;
    }
  }
}

std::string TKLDTimer::FormatSeconds(int seconds) {
  // A stream that reports a negative time has none to show: "00:00:00", not "-1:-1:-1".
  if (seconds < 0) seconds = 0;
  char buf[48];
  std::snprintf(buf, sizeof buf, "%.2d:%.2d:%.2d", seconds / 3600, (seconds % 3600) / 60, seconds % 60);
  return buf;
}

void TKLDTimer::UpdateTexts() {
  std::tm today = localTime_();
  std::string picture = dateFormat_;
  size_t x = dateFormat_.find('x');
  if (x != std::string::npos) {
    int day = today.tm_mday;
    const char* suffix = "th";
    if (day == 1 || day == 21 || day == 31) suffix = "st";
    else if (day == 2 || day == 22) suffix = "nd";
    else if (day == 3 || day == 23) suffix = "rd";
    picture = dateFormat_.substr(0, x) + "\"" + suffix + "\"" + dateFormat_.substr(x + 1, 50);
  }
  // The date is taken at 02:24 of today, which only shows when the format holds time letters.
  std::tm dateValue = today;
  dateValue.tm_hour = 2;
  dateValue.tm_min = 24;
  dateValue.tm_sec = 0;
  dateText_ = FormatDateTime(picture, dateValue);
  timeText_ = FormatDateTime(timeFormat_, today);

  int position = 0, duration = 0;
  if (mediaTime_) mediaTime_(position, duration);
  int remaining = duration - position;
  if (remaining < 0) remaining = 0;
  positionSecondsText_ = std::to_string(position);
  durationSecondsText_ = std::to_string(duration);
  remainingSecondsText_ = std::to_string(remaining);
  positionText_ = FormatSeconds(position);
  durationText_ = FormatSeconds(duration);
  remainingText_ = FormatSeconds(remaining);
}

void TKLDTimer::VideoStarted() {
  std::lock_guard<std::mutex> guard(videoLock_);
  videoActive_ = true;
  // The loop follows the film from its first presented frame on: until a resumed or newly
  // opened film shows one, every frame would otherwise wait its full timeout.
  videoSync_ = false;
  timeoutsInARow_ = 0;
  renderAllowed_.Set();
}

void TKLDTimer::VideoStopped() {
  std::lock_guard<std::mutex> guard(videoLock_);
  videoActive_ = false;
  videoSync_ = false;
  renderAllowed_.Set();
}

bool TKLDTimer::VideoFramePresented() {
  {
    std::lock_guard<std::mutex> guard(videoLock_);
    // Frames mpv still renders after a pause or a stop (queued ones, a redraw after a seek)
    // must not put the interface back under the film's pace: with no frames to follow, every
    // frame would then wait its full timeout.
    if (!videoActive_) return true;
    videoSync_ = true;
    timeoutsInARow_ = 0;
    renderAllowed_.Set();
    renderDone_.Reset();
  }
  if (renderDone_.Wait(2)) return true;
  std::lock_guard<std::mutex> guard(videoLock_);
  if (videoActive_) renderAllowed_.Reset();
  return false;
}

bool TKLDTimer::VideoActive() {
  std::lock_guard<std::mutex> guard(videoLock_);
  return videoActive_;
}

TKLDTimer* Timer() { return g_timer; }
void SetGlobalTimer(TKLDTimer* timer) { g_timer = timer; }

}  // namespace lorvane
