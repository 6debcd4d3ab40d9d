#include "ui/ScreenSaver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "base/Logging.h"
#include "base/Timing.h"
#include "platform/HostLoop.h"
#include "platform/PngWriter.h"
#include "render/DisplayFixture.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

constexpr uint32_t kSecond = 1000;

// A screen saver on a frame clock the test moves by hand, with a red picture in a folder of
// its own.
class ScreenSaverClock {
 public:
  ScreenSaverClock() {
    SetGlobalTimer(&timer);
    std::string error;
    EXPECT_TRUE(WritePngFile(images.File("screensaver.png"), std::vector<uint32_t>(40 * 30, 0xFFFF0000), 40, 30,
                             error))
        << error;
  }
  ~ScreenSaverClock() { SetGlobalTimer(nullptr); }
  // Made after the clock is installed: the saver takes its first activity from it.
  std::unique_ptr<TKLDScreenSaver> MakeSaver(int delaySeconds) {
    auto saver = std::make_unique<TKLDScreenSaver>();
    saver->SetImageFolder(images.Path());
    saver->SetDelay(delaySeconds);
    return saver;
  }

  uint32_t now = 50000;
  TKLDTimer timer{[this] { return now; }};
  test::TempDir images;
};

TEST(ScreenSaverTest, DelayZeroIsNeverActive) {
  ScreenSaverClock clock;
  auto saver = clock.MakeSaver(0);
  for (uint32_t later : {1u, 600u * kSecond, 0x7FFFFFFFu}) {
    clock.now = 50000 + later;
    EXPECT_FALSE(saver->IsActive());
  }
  clock.now = 10;  // nor when the clock has wrapped
  EXPECT_FALSE(saver->IsActive());
  saver->Render();
  EXPECT_FALSE(saver->ImageLoaded());
}

TEST(ScreenSaverTest, ActiveFromTheDelayAfterTheLastActivityUntilTheNext) {
  ScreenSaverClock clock;
  auto saver = clock.MakeSaver(600);
  clock.now += 600 * kSecond;
  EXPECT_FALSE(saver->IsActive()) << "exactly the delay is not more than it";
  clock.now += 1;
  EXPECT_TRUE(saver->IsActive());
  clock.now += 3600 * kSecond;
  EXPECT_TRUE(saver->IsActive());
  saver->ResetIdle();
  EXPECT_FALSE(saver->IsActive());
  clock.now += 600 * kSecond;
  EXPECT_FALSE(saver->IsActive());
  clock.now += 1;
  EXPECT_TRUE(saver->IsActive());
  // Turning it off ends it at once.
  saver->SetDelay(0);
  EXPECT_FALSE(saver->IsActive());
}

TEST(ScreenSaverTest, AWrappedClockCountsAsTheDelayPassed) {
  ScreenSaverClock clock;
  clock.now = 0xFFFFFF00u;
  auto saver = clock.MakeSaver(600);
  clock.now = 0xFFFFFFF0u;
  EXPECT_FALSE(saver->IsActive());
  clock.now = 5;
  EXPECT_TRUE(saver->IsActive());
}

TEST(ScreenSaverTest, RotationStartsAgainOnceItPassesAFullTurn) {
  ScreenSaverClock clock;
  auto saver = clock.MakeSaver(1);
  saver->Render();
  EXPECT_FALSE(saver->ImageLoaded()) << "nothing is drawn while the saver is not active";
  clock.now += 2 * kSecond;
  ASSERT_TRUE(saver->IsActive());
  const float fullTurn = 2.0f * static_cast<float>(M_PI);
  float previous = saver->RotationAngle();
  ASSERT_EQ(previous, 0.0f);
  int restartedAt = 0;
  for (int frame = 1; frame <= 7000 && !restartedAt; ++frame) {
    saver->Render();
    float angle = saver->RotationAngle();
    if (angle == 0.0f) {
      restartedAt = frame;
      EXPECT_GT(previous + 0.001f, fullTurn) << "it restarts in the frame that would pass 2 pi";
    } else {
      ASSERT_NEAR(angle - previous, 0.001f, 1e-4f) << frame;
      ASSERT_LE(angle, fullTurn) << frame;
    }
    previous = angle;
  }
  EXPECT_TRUE(saver->ImageLoaded());
  EXPECT_GE(restartedAt, 6280);
  EXPECT_LE(restartedAt, 6290);
  saver->Render();
  EXPECT_NEAR(saver->RotationAngle(), 0.001f, 1e-6f);
}

TEST(ScreenSaverTest, APictureThatFailedIsTriedAgainOnceItChanged) {
  ScreenSaverClock clock;
  std::vector<std::string> logged;
  TKLDLogger logger;
  logger.SetEchoList(&logged);
  SetGlobalLogger(&logger);
  test::TempDir empty;
  auto saver = clock.MakeSaver(1);
  saver->SetImageFolder(empty.Path());
  clock.now += 2 * kSecond;
  ASSERT_TRUE(saver->IsActive());
  auto warnings = [&] {
    return std::count_if(logged.begin(), logged.end(),
                         [](const std::string& line) { return line.find("WARN") != std::string::npos; });
  };
  // Missing: one warning, then no more however many frames and retries pass.
  for (int frame = 0; frame < 100; ++frame) saver->Render();
  clock.now += 6 * kSecond;
  saver->Render();
  EXPECT_FALSE(saver->ImageLoaded());
  EXPECT_EQ(warnings(), 1);
  // Broken: tried again (not at once, but within 5 s), warned about once more.
  empty.Write("screensaver.png", "not a picture");
  saver->Render();
  EXPECT_EQ(warnings(), 1) << "no new try within 5 s of the last";
  clock.now += 5001;
  for (int frame = 0; frame < 100; ++frame) saver->Render();
  EXPECT_FALSE(saver->ImageLoaded());
  EXPECT_EQ(warnings(), 2);
  // Replaced by a good picture: it shows from the next try on.
  std::string error;
  ASSERT_TRUE(WritePngFile(empty.File("screensaver.png"), std::vector<uint32_t>(8 * 6, 0xFF00FF00), 8, 6, error));
  clock.now += 5001;
  saver->Render();
  EXPECT_TRUE(saver->ImageLoaded());
  EXPECT_NEAR(saver->RotationAngle(), 0.001f, 1e-6f) << "drawn in the frame that loaded it";
  EXPECT_EQ(warnings(), 2);
  SetGlobalLogger(nullptr);
  logger.SetEchoList(nullptr);
}

// Drawn for real on a headless screen. Like every picture the screen draws, the saver's is
// scaled from the designed size to the screen's.
class ScreenSaverDrawingTest : public test::DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    width = Screen().ScaleX(40);
    height = Screen().ScaleY(30);
  }
  // Draws a frame; the colour of the picture's middle, which the small rotation leaves alone.
  uint32_t PictureMiddle(TKLDScreenSaver& saver) {
    EXPECT_TRUE(Dx().BeginFrame());
    saver.Render();
    Read();
    Dx().EndFrame();
    return Pixel(saver.ImageX() + width / 2, saver.ImageY() + height / 2);
  }
  ScreenSaverClock clock;
  int width = 0, height = 0;
};

TEST_F(ScreenSaverDrawingTest, DrawsThePictureAndMovesItEveryFiveSeconds) {
  auto saver = clock.MakeSaver(1);
  clock.now += 2 * kSecond;
  ASSERT_TRUE(saver->IsActive());
  EXPECT_EQ(PictureMiddle(*saver), test::kRed);
  EXPECT_EQ(Pixel(saver->ImageX() + width + 2, saver->ImageY() + height / 2), test::kBlack);
  // The place is chosen anew once more than 5 s have passed since the last choice (the first
  // "choice" is the saver's creation).
  clock.now += 3 * kSecond;
  PictureMiddle(*saver);
  std::vector<std::pair<int, int>> places{{saver->ImageX(), saver->ImageY()}};
  for (int move = 0; move < 4; ++move) {
    clock.now += 5001;
    EXPECT_EQ(PictureMiddle(*saver), test::kRed);
    places.emplace_back(saver->ImageX(), saver->ImageY());
    clock.now += 5000;
    PictureMiddle(*saver);
    EXPECT_EQ(places.back(), std::make_pair(saver->ImageX(), saver->ImageY())) << "5 s is not more than 5 s";
  }
  for (auto [x, y] : places) {
    EXPECT_GE(x, 0);
    EXPECT_GE(y, 0);
    EXPECT_LT(x, 320 - width);
    EXPECT_LT(y, 240 - height);
  }
  std::sort(places.begin(), places.end());
  EXPECT_GT(std::unique(places.begin(), places.end()) - places.begin(), 2) << "the picture moves";
}

// SDL would switch the desktop's screen saver off for as long as video runs; lorvane lets it be
// until its own saver exists and gives it back when that goes, so closing the interface restores it.
TEST_F(ScreenSaverDrawingTest, TheDesktopScreenSaverIsOffOnlyWhileASaverLives) {
  EXPECT_TRUE(THostLoop::SystemScreenSaverAllowed()) << "video started without taking it away";
  {
    auto saver = clock.MakeSaver(0);
    EXPECT_FALSE(THostLoop::SystemScreenSaverAllowed());
    {
      // A saver made while it is already off does not turn it on when it goes.
      auto second = clock.MakeSaver(0);
    }
    EXPECT_FALSE(THostLoop::SystemScreenSaverAllowed());
  }
  EXPECT_TRUE(THostLoop::SystemScreenSaverAllowed());
}

}  // namespace
}  // namespace lorvane
