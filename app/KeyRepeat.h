#pragma once
// When a held button of a remote control repeats its key: after a delay, then at a rate, both
// the user's to choose ("RemoteRepeatDelay" in milliseconds, "RemoteRepeatRate" in keys per
// second). Zero for either means "as the remote does it": an infra-red or CEC remote repeats a
// held button by itself, and its own pace is kept, from its second repeat on, as it always was.
// A game controller only says pressed and released, so for it zero stands for a pace like an
// infra-red remote's.
//
// One TKeyRepeat follows one held button. Times are the frame clock's wrapping milliseconds.
#include <cstdint>

namespace lorvane {

struct TRepeatTiming {
  int delayMs = 0;    // 0: the remote's own
  int perSecond = 0;  // 0: the remote's own
  bool operator==(const TRepeatTiming&) const = default;
};

class TKeyRepeat {
 public:
  // A remote's own pace: its first report is the press, and a held button repeats from its
  // second repeat report on, so that a short press the remote reports with one repeat is still
  // one key.
  static constexpr unsigned kRemoteRepeatCount = 2;
  // What "the remote's own" means for a button that does not repeat by itself.
  static constexpr int kOwnDelayMs = 300;
  static constexpr int kOwnPerSecond = 9;
  // Bounds of the settings (a hand-edited preference outside them is held to them).
  static constexpr int kMaxDelayMs = 5000;
  static constexpr int kMaxPerSecond = 60;

  static TRepeatTiming Bounded(TRepeatTiming timing);

  void SetTiming(TRepeatTiming timing) { timing_ = Bounded(timing); }
  const TRepeatTiming& Timing() const { return timing_; }

  // A remote that repeats by itself reports the held button again and again; `repeat` counts
  // the reports (0: a new press). True when this report gives a key. A button that does not
  // repeat gives a key only for its press.
  bool Report(unsigned repeat, bool repeats, uint32_t now);

  // A button that only says pressed and released: the press gives its key at once (the caller
  // sends it), Due gives the repeats while it stays held.
  void Press(bool repeats, uint32_t now);
  void Release() { held_ = false; }
  bool Held() const { return held_; }
  // True once for each repeat that is due by `now`. A loop that was held up does not catch up
  // with a burst: the repeats go on from now at the chosen rate.
  bool Due(uint32_t now);

 private:
  // The next repeat's time after one given at `now`.
  void Advance(uint32_t now, uint32_t interval);

  TRepeatTiming timing_;
  bool held_ = false;
  bool repeats_ = false;
  bool repeated_ = false;  // a repeat was given since the press
  uint32_t pressedAt_ = 0;
  uint32_t nextDue_ = 0;
};

}  // namespace lorvane
