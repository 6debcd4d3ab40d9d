#include "base/Timing.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

using namespace lorvane;

namespace {
struct FakeClock {
  uint32_t now = 1000;
  TKLDTimer::ClockSource Source() {
    return [this] { return now; };
  }
};

std::tm Date(int year, int month, int day, int hour = 0, int minute = 0, int second = 0) {
  std::tm tm {};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  std::time_t t = timegm(&tm);
  gmtime_r(&t, &tm);
  return tm;
}
}  // namespace

TEST(Timer, ElapsedIsStrictAndWrapSafe) {
  FakeClock clock;
  TKLDTimer timer(clock.Source());
  clock.now = 5010;
  timer.MarkFrameStart();
  EXPECT_FALSE(timer.Elapsed(5000, 10));
  clock.now = 5011;
  timer.MarkFrameStart();
  EXPECT_TRUE(timer.Elapsed(5000, 10));
  EXPECT_TRUE(timer.Elapsed(6000, 10)) << "since ahead of now counts as elapsed";
  // Across the 32-bit wrap: since near the top, now small again.
  clock.now = 5;
  timer.MarkFrameStart();
  EXPECT_TRUE(timer.Elapsed(0xFFFFFFF0u, 10));
  // since + interval overflowing 32 bits must not turn into a tiny number.
  clock.now = 0xFFFFFFF8u;
  timer.MarkFrameStart();
  EXPECT_FALSE(timer.Elapsed(0xFFFFFFF0u, 20));
}

TEST(Timer, FrameStatisticsOverOneSecond) {
  FakeClock clock;
  TKLDTimer timer(clock.Source());
  timer.SetLocalTimeSource([] { return Date(2026, 3, 1, 21, 5); });
  // Frames start every 17 ms and render for 16: the 60th tick is the first past one second.
  int ticks = 0;
  for (int i = 0; i < 100 && timer.FramesPerSecond() == 0; ++i) {
    clock.now = 1000 + 17 * i;
    timer.MarkFrameStart();
    timer.FrameTick();
    ++ticks;
    clock.now += 16;
    timer.MarkFrameEnd();
  }
  EXPECT_EQ(ticks, 60);
  EXPECT_EQ(timer.FramesPerSecond(), 60);
  EXPECT_EQ(timer.CurrentFrameDuration(), 16);
  EXPECT_EQ(timer.AverageFrameDuration(), 16);
  EXPECT_EQ(timer.TimeText(), "9:05 pm") << "texts are formatted once a second";
}

TEST(Timer, MeasuresByNameInAnyCase) {
  FakeClock clock;
  TKLDTimer timer(clock.Source());
  timer.StopMeasure("never started");
  EXPECT_EQ(timer.MeasureCount(), 0);
  timer.StartMeasure("User interface updates");
  clock.now += 7;
  timer.StopMeasure("USER INTERFACE UPDATES");
  timer.StartMeasure("Rendering UI (except diagnostics)");
  ASSERT_EQ(timer.MeasureCount(), 2);
  EXPECT_EQ(timer.MeasureName(0), "User interface updates");
  EXPECT_EQ(timer.MeasureValue(0), 7u);
  timer.StartMeasure("user interface updates");
  EXPECT_EQ(timer.MeasureCount(), 2);
}

TEST(Timer, DatePictureOrdinalSuffixes) {
  struct Case { int day; const char* text; };
  const Case cases[] = {{1, "1st"},   {2, "2nd"},   {3, "3rd"},   {4, "4th"},   {11, "11th"}, {12, "12th"},
                        {13, "13th"}, {21, "21st"}, {22, "22nd"}, {23, "23rd"}, {31, "31st"}};
  for (const auto& c : cases) {
    TKLDTimer timer;
    timer.SetLocalTimeSource([&] { return Date(2026, 3, c.day, 10, 0); });
    timer.SetDateFormat("dx");
    timer.UpdateTexts();
    EXPECT_EQ(timer.DateText(), c.text) << "day " << c.day;
  }
  TKLDTimer timer;
  timer.SetLocalTimeSource([] { return Date(2026, 3, 1, 10, 0); });
  timer.UpdateTexts();
  EXPECT_EQ(timer.DateText(), "Sunday 1st March");
  timer.SetDateFormat("dd/mm/yyyy");
  timer.UpdateTexts();
  EXPECT_EQ(timer.DateText(), "01/03/2026") << "a format without x is used as it is";
  timer.SetDateFormat("ddd d mmm yy hh:nn");
  timer.UpdateTexts();
  EXPECT_EQ(timer.DateText(), "Sun 1 Mar 26 02:24") << "the date value is today at 02:24";
}

TEST(Timer, TimePicture) {
  EXPECT_EQ(FormatDateTime("h:nn am/pm", Date(2026, 1, 1, 0, 7)), "12:07 am");
  EXPECT_EQ(FormatDateTime("h:nn am/pm", Date(2026, 1, 1, 12, 0)), "12:00 pm");
  EXPECT_EQ(FormatDateTime("hh:nn:ss", Date(2026, 1, 1, 9, 5, 3)), "09:05:03");
  EXPECT_EQ(FormatDateTime("\"at\" h \"o'clock\"", Date(2026, 1, 1, 15, 0)), "at 15 o'clock");
  EXPECT_EQ(FormatDateTime("dddd, mmmm d", Date(2026, 12, 7)), "Monday, December 7");
  EXPECT_EQ(FormatDateTime("zzz", Date(2026, 1, 1), 42), "042");
  // Only double quotes make literals; an apostrophe prints itself.
  EXPECT_EQ(FormatDateTime("d mmm 'yy", Date(2026, 5, 4)), "4 May '26");
  EXPECT_EQ(FormatDateTime("\"unclosed d", Date(2026, 5, 4)), "unclosed d");
  EXPECT_EQ(FormatDateTime("HH:NN AM/PM", Date(2026, 5, 4, 13, 9)), "01:09 PM");
}

TEST(Timer, FormatSecondsAndMediaTexts) {
  EXPECT_EQ(TKLDTimer::FormatSeconds(0), "00:00:00");
  EXPECT_EQ(TKLDTimer::FormatSeconds(3725), "01:02:05");
  EXPECT_EQ(TKLDTimer::FormatSeconds(360000), "100:00:00") << "hours are not limited to two digits";
  TKLDTimer timer;
  timer.SetMediaTimeSource([](int& p, int& d) { p = 120; d = 100; });
  timer.UpdateTexts();
  EXPECT_EQ(timer.PositionText(), "00:02:00");
  EXPECT_EQ(timer.RemainingText(), "00:00:00");
  EXPECT_EQ(timer.RemainingSecondsText(), "0");
  EXPECT_EQ(timer.DurationSecondsText(), "100");
}

// The presenter sets frame-ready and resets it 2 ms later when nobody answered; a frame loop
// already waiting then must still take that frame, not wait for the next one.
TEST(Event, AWaitUnderWayIsReleasedByASetEvenWhenAResetFollowsAtOnce) {
  TKLDEvent event(false);
  for (int round = 0; round < 3; ++round) {
    std::atomic<int> released{-1};
    std::thread waiter([&] { released = event.Wait(20000) ? 1 : 0; });
    while (event.Waiting() == 0) std::this_thread::yield();
    event.Set();
    event.Reset();
    waiter.join();
    EXPECT_EQ(released, 1) << "round " << round;
  }
  EXPECT_FALSE(event.Wait(1)) << "a wait that begins after the reset is not released by the earlier set";
  EXPECT_EQ(event.Waiting(), 0);
}

TEST(Timer, VideoPacingRunsFreeAfterTwentySevenTimeouts) {
  TKLDTimer timer;
  timer.SetFrameWait(1);
  timer.VideoStarted();
  // A frame nobody answers within its 2 ms puts the loop under the film's pace.
  EXPECT_FALSE(timer.VideoFramePresented());
  EXPECT_TRUE(timer.VideoSync());
  for (int i = 0; i < 26; ++i) timer.FrameTick();
  EXPECT_TRUE(timer.VideoSync());
  EXPECT_EQ(timer.TimeoutsInARow(), 26);
  timer.FrameTick();
  EXPECT_FALSE(timer.VideoSync()) << "the 27th timed-out wait frees the loop";
  timer.SetFrameWait(200);
  // Five waits that timed out would take a second; free frames take next to nothing, with
  // room to spare for a loaded machine.
  uint32_t start = SystemMilliseconds();
  for (int i = 0; i < 5; ++i) timer.FrameTick();
  EXPECT_LT(SystemMilliseconds() - start, 1000u) << "render-allowed stays set afterwards";
}

TEST(Timer, FramesPresentedAfterTheFilmStoppedDoNotPaceTheLoop) {
  TKLDTimer timer;
  timer.VideoStarted();
  timer.VideoStopped();
  // A frame mpv had queued reaches the presenter after the pause.
  std::thread presenter([&] { timer.VideoFramePresented(); });
  presenter.join();
  EXPECT_FALSE(timer.VideoSync());
  for (int i = 0; i < 3; ++i) timer.FrameTick();
  EXPECT_EQ(timer.TimeoutsInARow(), 0) << "no frame waited for frames that will not come";
  timer.VideoStarted();
  EXPECT_TRUE(timer.VideoActive());
  timer.VideoFramePresented();
  EXPECT_TRUE(timer.VideoSync()) << "a film that plays again paces it from its first frame";
}

TEST(Timer, AResumedOrNextFilmPacesTheLoopOnlyFromItsFirstFrame) {
  FakeClock clock;
  TKLDTimer timer(clock.Source());
  timer.SetFrameWait(1);
  timer.VideoStarted();
  timer.VideoFramePresented();
  ASSERT_TRUE(timer.VideoSync());
  timer.VideoStopped();

  // Resumed: the film takes a while to show a frame again.
  timer.VideoStarted();
  EXPECT_TRUE(timer.VideoActive());
  EXPECT_FALSE(timer.VideoSync());
  for (int i = 0; i < 5; ++i) timer.FrameTick();
  EXPECT_EQ(timer.TimeoutsInARow(), 0) << "no frame waited for a film that has shown nothing yet";
  EXPECT_FALSE(timer.VideoSync());

  timer.VideoFramePresented();
  EXPECT_TRUE(timer.VideoSync()) << "its first frame puts the loop under its pace";
  timer.FrameTick();
  EXPECT_EQ(timer.TimeoutsInARow(), 1) << "the next frame waits for the film's next one";

  // Next: the player starts over while the loop follows the film.
  timer.VideoStarted();
  EXPECT_FALSE(timer.VideoSync());
  EXPECT_EQ(timer.TimeoutsInARow(), 0);
  for (int i = 0; i < 5; ++i) timer.FrameTick();
  EXPECT_EQ(timer.TimeoutsInARow(), 0) << "the next film's opening leaves the loop free";
}

TEST(Timer, PresenterHandshakeAcrossThreads) {
  TKLDTimer timer;
  timer.VideoStarted();
  std::atomic<bool> taken{false};
  std::atomic<bool> stop{false};
  // The presenter waits only 2 ms for each answer, so on a loaded machine (or under a
  // sanitizer) many frames may pass unanswered; what matters is that one is taken at all.
  std::thread presenter([&] {
    while (!stop)
      if (timer.VideoFramePresented()) taken = true;
  });
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!taken && std::chrono::steady_clock::now() < deadline) timer.FrameTick();
  stop = true;
  presenter.join();
  EXPECT_TRUE(taken) << "the interface loop acknowledged a presented frame";
  EXPECT_TRUE(timer.VideoSync());
}

TEST(Timer, KeepAwakeEveryTwentySecondsOfRenderedFrames) {
  FakeClock clock;
  TKLDTimer timer(clock.Source());
  timer.SetFrameWait(0);
  std::vector<uint32_t> calls;
  timer.SetKeepAwake([&] { calls.push_back(timer.Now()); });
  clock.now = 1000 + 20000;
  timer.MarkFrameStart();
  timer.FrameTick();
  EXPECT_TRUE(calls.empty()) << "exactly 20 s is not yet past";
  clock.now += 1;
  timer.MarkFrameStart();
  timer.FrameTick();
  ASSERT_EQ(calls.size(), 1u);
  clock.now += 15000;
  timer.MarkFrameStart();
  timer.FrameTick();
  EXPECT_EQ(calls.size(), 1u) << "the mark moved to the last call";
  clock.now += 5001;
  timer.MarkFrameStart();
  timer.FrameTick();
  EXPECT_EQ(calls.size(), 2u);
}

TEST(Timer, TextAfterTheOrdinalIsCutAtFiftyCharacters) {
  TKLDTimer timer;
  timer.SetLocalTimeSource([] { return Date(2026, 3, 2, 10, 0); });
  // Everything after the "x" is literal text here, so the cut is easy to see.
  std::string tail(60, '-');
  timer.SetDateFormat("dx" + tail);
  timer.UpdateTexts();
  EXPECT_EQ(timer.DateText(), "2nd" + std::string(50, '-'));
  // Quoted text after the ordinal stays literal.
  timer.SetDateFormat("dx \"of\" mmmm");
  timer.UpdateTexts();
  EXPECT_EQ(timer.DateText(), "2nd of March");
}
