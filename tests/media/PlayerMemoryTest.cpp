// Players that come and go give back what they used: resident memory after many opens stays where
// it was after the first few. Counts memory, not time, so a busy machine does not change it.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "media/DirectShowHelper.h"
#include "platform/HeapMemory.h"
#include "support/TestSupport.h"

using namespace lorvane;

namespace {

// Anonymous resident memory of this process in KiB.
long ResidentAnonymousKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("RssAnon:", 0) == 0) return std::atol(line.c_str() + 8);
  return -1;
}

template <class Check>
bool WaitFor(Check check, int ms = 10000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    if (check()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return check();
}

}  // namespace

TEST(PlayerMemoryTest, FilmsOpenedAgainAndAgainLeaveResidentMemoryFlat) {
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "a sanitizer's allocator keeps freed memory by design; this is about the C library's";
#endif
  // As lorvane does at its start; each test runs in a process of its own.
  LimitHeapRetention();
  test::TempDir dir;
  // Standard-definition MPEG-2 with sound, as a DVD copy would be.
  ASSERT_EQ(test::MakeMediaWithFfmpeg("-f lavfi -i testsrc2=size=720x576:rate=25:duration=3 -f lavfi -i "
                                      "sine=frequency=440:duration=3 -c:v mpeg2video -b:v 4M -c:a mp2 -f mpeg",
                                      dir.File("film.mpg")),
            "");
  TKLDPlayerSettings settings;
  settings.mpv.audioOutput = "null";
  settings.mpv.hardwareDecoding = "no";
  SetPlayerSettings(settings);

  auto playOnce = [&](bool video) {
    TKLDDXAllocator player(dir.File("film.mpg"), video);
    ASSERT_TRUE(player.Open());
    ASSERT_TRUE(player.Run());
    if (video) ASSERT_TRUE(WaitFor([&] { return player.FramesPresented() > 5; }));
    else ASSERT_TRUE(WaitFor([&] {
      float left = 0, right = 0;
      return player.AudioLevels(left, right);
    }));
    player.Shutdown();
  };
  // The first players fill what is allocated once (libraries, codec tables, thread stacks).
  for (int i = 0; i < 4; ++i) {
    playOnce(true);
    playOnce(false);
  }
  const long warm = ResidentAnonymousKiB();
  ASSERT_GT(warm, 0);
  constexpr int kOpens = 16;
  for (int i = 0; i < kOpens; ++i) {
    playOnce(true);
    playOnce(false);
    if (HasFatalFailure()) return;
  }
  const long after = ResidentAnonymousKiB();
  // Kept when freed, each film's decoding left about a megabyte more resident; given back, the
  // process ends within the noise of a few allocations.
  EXPECT_LT(after - warm, 4 * 1024) << "resident anonymous memory " << warm << " KiB after the first players, "
                                   << after << " KiB after " << kOpens << " more films and songs";
}
