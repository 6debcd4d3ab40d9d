#include "media/Picture.h"

#include <gtest/gtest.h>

#include <cmath>

#include "media/MediaTestSupport.h"
#include "render/Graphic.h"
#include "render/Random.h"
#include "support/StuckFile.h"
#include "support/TestSupport.h"

using namespace lorvane;
using lorvane::test::MediaHarness;
using lorvane::test::TempDir;
using lorvane::test::WritePicture;

namespace {

class PictureTest : public ::testing::Test, public MediaHarness {
 protected:
  // A folder of pictures in the selection, played from the first in the primary stream.
  void Start(const std::vector<std::pair<int, int>>& sizes, bool background = false) {
    TKLDPlaylist& list = manager.SelectionList();
    list.Clear();
    for (size_t i = 0; i < sizes.size(); ++i) {
      const std::string name = "p" + std::to_string(i) + ".png";
      ASSERT_TRUE(WritePicture(dir.File(name), sizes[i].first, sizes[i].second, uint8_t(40 * i)));
      list.AddItem(name, MEDIA_PICTURE, dir.File(name), dir.File(name));
    }
    manager.SetSelection(list.Item(0));
    Renderer().SetBackgroundDecoding(background);
    manager.ReplacePlaylist(0);
    ASSERT_TRUE(manager.Play("primary"));
  }
  TKLDPictureRenderer& Renderer() { return manager.Primary().PictureRenderer(); }
  // One drawn frame of a full-screen window, frameMs after the last.
  void Frame() { manager.Primary().SetWindowRect({0, 0, screenWidth, screenHeight}); }
  void Frames(int count) {
    for (int i = 0; i < count; ++i) Frame();
  }
  int Index() { return manager.Primary().Playlist().CurrentIndex(); }

  TempDir dir;
};

}  // namespace

TEST(FitPicture, WidePicturesFillTheWidthNarrowOnesTheHeight) {
  double w = 0, h = 0;
  FitPicture(6000, 4000, 1920, 1080, w, h);
  EXPECT_DOUBLE_EQ(h, 1080);
  EXPECT_DOUBLE_EQ(w, 1620);
  FitPicture(4000, 1000, 1920, 1080, w, h);
  EXPECT_DOUBLE_EQ(w, 1920);
  EXPECT_DOUBLE_EQ(h, 480);
  FitPicture(1920, 1080, 1920, 1080, w, h);
  EXPECT_DOUBLE_EQ(w, 1920) << "the same aspect takes the width";
}

TEST_F(PictureTest, ASlideFadesInShowsForTheDelayThenMovesOn) {
  slideshow = {2, false, true};
  frameMs = 125;  // exact in binary, so the phase ends fall on known frames
  Start({{320, 180}, {320, 180}, {320, 180}});
  TKLDPictureRenderer& r = Renderer();
  EXPECT_EQ(r.Phase(), PHASE_LOAD);
  Frame();  // loads and plans
  EXPECT_EQ(r.Phase(), PHASE_FADING_IN);
  EXPECT_EQ(r.Incoming().Width(), 1920) << "fitted to the screen";
  EXPECT_EQ(r.Incoming().Height(), 1080);
  Frames(4);  // half a second into the fade
  EXPECT_EQ(r.Phase(), PHASE_FADING_IN);
  EXPECT_EQ(r.IncomingTint().Alpha(), 128);
  EXPECT_EQ(r.CurrentTint().Alpha(), 127) << "the previous picture fades out as the new one fades in";
  Frames(4);
  EXPECT_EQ(r.Phase(), PHASE_SHOWING);
  EXPECT_EQ(r.CurrentTint().Alpha(), 255);
  EXPECT_EQ(r.IncomingTint().Alpha(), 0);
  EXPECT_EQ(Index(), 0);
  Frames(16);  // PhaseTime reaches the delay
  EXPECT_EQ(Index(), 0);
  Frame();  // and passes it
  EXPECT_EQ(Index(), 1);
  EXPECT_EQ(r.Phase(), PHASE_FADING_IN);
  EXPECT_EQ(meta.GetValue("media.current.name"), "p1.png");
  EXPECT_EQ(meta.GetValue("playlist.current.itemindex"), "2");
  Frames(24);
  EXPECT_EQ(Index(), 1);
  Frame();
  EXPECT_EQ(Index(), 2);
  Frames(25);
  EXPECT_EQ(manager.Primary().State(), STREAM_STOPPED) << "the last slide ends the show";
  EXPECT_EQ(Count("onstop"), 1);
  EXPECT_FALSE(r.Current().Loaded()) << "closed";
}

TEST_F(PictureTest, WithoutFadingTheNewPictureReplacesTheOldInTheFirstFrame) {
  slideshow = {2, false, false};
  Start({{320, 180}, {320, 180}});
  TKLDPictureRenderer& r = Renderer();
  Frame();
  Frame();
  EXPECT_EQ(r.Phase(), PHASE_SHOWING);
  EXPECT_EQ(r.CurrentTint().Alpha(), 255);
  ASSERT_TRUE(manager.Next("primary"));
  EXPECT_EQ(r.Phase(), PHASE_FADING_IN);
  Frame();
  EXPECT_EQ(r.Phase(), PHASE_SHOWING);
  EXPECT_EQ(r.CurrentURL(), dir.File("p1.png"));
}

TEST_F(PictureTest, DelayZeroHoldsThePictureAfterAThirtySecondPan) {
  slideshow = {0, true, true};
  Start({{320, 180}, {320, 180}});
  TKLDPictureRenderer& r = Renderer();
  Frame();
  EXPECT_TRUE(r.HoldLast());
  EXPECT_EQ(r.Delay(), 30);
  frameMs = 1000;
  Frames(40);
  EXPECT_EQ(Index(), 0);
  EXPECT_EQ(r.Phase(), PHASE_SHOWING);
  EXPECT_LE(r.PhaseTime(), 31.0f);
  const TKLDRect held = r.CurrentSource();
  Frames(5);
  EXPECT_EQ(r.CurrentSource().X, held.X) << "the pan has ended";
  EXPECT_EQ(r.CurrentSource().Width, held.Width);
  EXPECT_EQ(manager.Primary().State(), STREAM_PLAYING);
}

TEST_F(PictureTest, PanAndZoomDrawTwoRealsThenAnIntegerAndMoveForTheDelay) {
  slideshow = {4, true, false};
  KLDRandom().SetSeed(12345);
  TKLDRandom expect(12345);
  Start({{1920, 1080}});
  Frame();
  const double r1 = expect.Real(), r2 = expect.Real();
  const int n = expect.Int(1000);
  const double crop[4] = {r1 * 0.25 * 1920, r2 * 0.25 * 1080, 0.75 * 1920, 0.75 * 1080};
  const double full[4] = {0, 0, 1920, 1080};
  const double* start = n <= 500 ? full : crop;
  const double* end = n <= 500 ? crop : full;
  TKLDPictureRenderer& r = Renderer();
  for (int i = 0; i < 4; ++i) {
    EXPECT_DOUBLE_EQ(r.PanRect()[i], start[i]);
    EXPECT_DOUBLE_EQ(r.PanSpeed()[i], (end[i] - start[i]) / 4);
  }
  Frame();  // no fading: showing from here
  ASSERT_EQ(r.Phase(), PHASE_SHOWING);
  Frames(39);  // 3.9 s of 4
  EXPECT_NEAR(r.PanRect()[0], start[0] + (end[0] - start[0]) * 3.9 / 4, 1e-6);
  EXPECT_EQ(r.CurrentSource().Width, static_cast<int>(std::lround(r.PanRect()[2])));

  // Paused, the picture stands still.
  ASSERT_TRUE(manager.Pause("primary"));
  const double x = r.PanRect()[0];
  const float t = r.PhaseTime();
  Frames(5);
  EXPECT_EQ(r.PanRect()[0], x);
  EXPECT_EQ(r.PhaseTime(), t);
}

TEST_F(PictureTest, ANarrowPictureIsFittedToTheHeightAndCentred) {
  slideshow = {5, false, true};
  Start({{300, 500}});
  Frame();
  TKLDPictureRenderer& r = Renderer();
  EXPECT_EQ(r.Incoming().Height(), 1080);
  EXPECT_EQ(r.Incoming().Width(), 648);
  const TKLDRect placed = TKLDPictureRenderer::Placement(r.Incoming().Width(), r.Incoming().Height(), {0, 0, 1920, 1080});
  EXPECT_EQ(placed.X, (1920 - 648) / 2);
  EXPECT_EQ(placed.Width, 648);
  EXPECT_EQ(placed.Y, 0);
  EXPECT_EQ(placed.Height, 1080);
  // A smaller window shows the whole picture in its own shape, not stretched to the window's.
  const TKLDRect inWindow = TKLDPictureRenderer::Placement(648, 1080, {100, 50, 400, 300});
  EXPECT_EQ(inWindow.Height, 300);
  EXPECT_EQ(inWindow.Width, 180);
  EXPECT_EQ(inWindow.X, 100 + (400 - 180) / 2);
  EXPECT_EQ(inWindow.Y, 50);
  // Too wide for the window but not too tall: still shrunk whole.
  const TKLDRect wide = TKLDPictureRenderer::Placement(1920, 1080, {0, 0, 960, 1080});
  EXPECT_EQ(wide.Width, 960);
  EXPECT_EQ(wide.Height, 540);
  EXPECT_EQ(wide.Y, 270);
}

TEST_F(PictureTest, ABrokenPictureIsSkipped) {
  slideshow = {2, false, false};
  Start({{320, 180}, {320, 180}});
  test::WriteFile(dir.File("p0.png"), "not a picture");
  Frame();
  EXPECT_TRUE(Logged("WARN: Failed to load image: " + dir.File("p0.png")));
  Frame();
  EXPECT_EQ(Index(), 1);
  Frame();
  EXPECT_EQ(Renderer().Phase(), PHASE_SHOWING);
  EXPECT_EQ(Renderer().CurrentURL(), dir.File("p1.png"));
}

TEST_F(PictureTest, TheNextPictureIsDecodedWhileTheCurrentOneShows) {
  slideshow = {1, false, false};
  frameMs = 125;
  Start({{3000, 2000}, {2000, 3000}, {800, 600}}, true);
  TKLDPictureRenderer& r = Renderer();
  for (int i = 0; i < 200 && r.Phase() != PHASE_FADING_IN; ++i) {
    r.Loader().WaitIdle();
    Frame();
  }
  ASSERT_EQ(r.Phase(), PHASE_FADING_IN);
  r.Loader().WaitIdle();
  // The second picture is ready before its slide is due, so it starts in the frame it is due.
  Frames(9);
  EXPECT_EQ(Index(), 0);
  Frame();
  EXPECT_EQ(Index(), 1);
  EXPECT_FALSE(r.Loading());
  EXPECT_EQ(r.Phase(), PHASE_FADING_IN);
  EXPECT_EQ(r.Incoming().Height(), 1080);
  EXPECT_EQ(r.Incoming().Width(), 720);
}

TEST_F(PictureTest, AStoppedSlideshowKeepsNoPreparedPicture) {
  slideshow = {1, false, false};
  frameMs = 125;
  Start({{3000, 2000}, {2000, 3000}}, true);
  TKLDPictureRenderer& r = Renderer();
  for (int i = 0; i < 200 && r.Phase() != PHASE_FADING_IN; ++i) {
    r.Loader().WaitIdle();
    Frame();
  }
  ASSERT_EQ(r.Phase(), PHASE_FADING_IN);
  r.Loader().WaitIdle();
  ASSERT_TRUE(manager.Stop("primary"));
  EXPECT_FALSE(r.Loader().Take(dir.File("p1.png"), screenWidth, screenHeight)) << "the next slide was let go";
  // Started again, the slideshow shows its first picture as before.
  manager.ReplacePlaylist(0);
  ASSERT_TRUE(manager.Play("primary"));
  for (int i = 0; i < 200 && r.Phase() != PHASE_FADING_IN; ++i) {
    r.Loader().WaitIdle();
    Frame();
  }
  EXPECT_EQ(r.Phase(), PHASE_FADING_IN);
}

TEST(PictureLoader, DecodesToTheFittedSizeAndReportsFailures) {
  TempDir dir;
  ASSERT_TRUE(WritePicture(dir.File("big.jpg"), 3000, 2000));
  auto result = TKLDPictureLoader::Decode(dir.File("big.jpg"), 1920, 1080);
  ASSERT_TRUE(result->image);
  EXPECT_EQ(result->naturalWidth, 3000);
  EXPECT_EQ(result->image->Width(), 1620);
  EXPECT_EQ(result->image->Height(), 1080);
  auto missing = TKLDPictureLoader::Decode(dir.File("none.jpg"), 1920, 1080);
  EXPECT_FALSE(missing->image);
  EXPECT_FALSE(missing->error.empty());

  TKLDPictureLoader loader;
  loader.Request(dir.File("big.jpg"), 800, 600);
  loader.Request(dir.File("big.jpg"), 800, 600);
  loader.WaitIdle();
  EXPECT_FALSE(loader.Take(dir.File("big.jpg"), 1920, 1080)) << "fitted to another screen";
  auto taken = loader.Take(dir.File("big.jpg"), 800, 600);
  ASSERT_TRUE(taken);
  EXPECT_EQ(taken->image->Width(), 800);
  EXPECT_FALSE(loader.Take(dir.File("big.jpg"), 800, 600)) << "taken once";

  // Dropped while waiting or decoding, a wish leaves nothing; asked for again, it is decoded.
  loader.Request(dir.File("big.jpg"), 640, 480);
  loader.Drop();
  loader.WaitIdle();
  EXPECT_FALSE(loader.Take(dir.File("big.jpg"), 640, 480));
  loader.Request(dir.File("big.jpg"), 640, 480);
  loader.WaitIdle();
  EXPECT_TRUE(loader.Take(dir.File("big.jpg"), 640, 480));
}

// A slide on a mount that stops answering: the slideshow's end does not wait for its decode.
TEST(PictureLoader, ADecodeThatNeverReturnsHoldsNotTheEnd) {
  TempDir dir;
  ASSERT_TRUE(WritePicture(dir.File("real.jpg"), 64, 48));
  test::StuckFile stuck(dir.File("mount.jpg"), test::ReadFile(dir.File("real.jpg")));
  ASSERT_TRUE(stuck.Made());
  auto loader = std::make_unique<TKLDPictureLoader>();
  loader->Request(stuck.Path(), 800, 600);
  ASSERT_TRUE(stuck.WaitReader());
  EXPECT_TRUE(stuck.EndsWhileStuck([&] { loader.reset(); })) << "the end waited for the stuck decode";
}
