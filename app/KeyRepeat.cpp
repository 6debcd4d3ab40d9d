#include "app/KeyRepeat.h"

#include <algorithm>

namespace lorvane {

namespace {

// Wrap-safe: whether `now` has reached `when` (the clock wraps after 49 days).
bool Reached(uint32_t now, uint32_t when) { return static_cast<int32_t>(now - when) >= 0; }

uint32_t Interval(int perSecond) {
  return static_cast<uint32_t>((1000 + perSecond / 2) / perSecond);
}

}  // namespace

TRepeatTiming TKeyRepeat::Bounded(TRepeatTiming timing) {
  timing.delayMs = std::clamp(timing.delayMs, 0, kMaxDelayMs);
  timing.perSecond = std::clamp(timing.perSecond, 0, kMaxPerSecond);
  return timing;
}

void TKeyRepeat::Advance(uint32_t now, uint32_t interval) {
  nextDue_ += interval;
  if (Reached(now, nextDue_)) nextDue_ = now + interval;
}

bool TKeyRepeat::Report(unsigned repeat, bool repeats, uint32_t now) {
  if (repeat == 0 || !held_) {
    // A repeat whose press went by unseen (lorvane started while the button was held) starts
    // the count of time here, without a key of its own.
    held_ = true;
    repeats_ = repeats;
    repeated_ = false;
    pressedAt_ = now;
    if (repeat == 0) return true;
  }
  if (!repeats) return false;
  bool delayOver = timing_.delayMs == 0 ? repeat >= kRemoteRepeatCount
                                        : Reached(now, pressedAt_ + static_cast<uint32_t>(timing_.delayMs));
  if (!delayOver) return false;
  if (timing_.perSecond == 0) return true;
  const uint32_t interval = Interval(timing_.perSecond);
  if (!repeated_) {
    repeated_ = true;
    nextDue_ = now + interval;
    return true;
  }
  if (!Reached(now, nextDue_)) return false;
  Advance(now, interval);
  return true;
}

void TKeyRepeat::Press(bool repeats, uint32_t now) {
  held_ = true;
  repeats_ = repeats;
  repeated_ = false;
  pressedAt_ = now;
  nextDue_ = now + static_cast<uint32_t>(timing_.delayMs ? timing_.delayMs : kOwnDelayMs);
}

bool TKeyRepeat::Due(uint32_t now) {
  if (!held_ || !repeats_ || !Reached(now, nextDue_)) return false;
  repeated_ = true;
  Advance(now, Interval(timing_.perSecond ? timing_.perSecond : kOwnPerSecond));
  return true;
}

}  // namespace lorvane
