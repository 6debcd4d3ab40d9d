#include "render/Screen.h"

#include <SDL.h>

#include <chrono>

#include "base/KLDTypes.h"
#include "platform/PngWriter.h"
#include "render/Canvas.h"
#include "render/DisplayFixture.h"
#include "render/Viewport.h"
#include "support/TestSupport.h"

namespace lorvane::test {
namespace {

TEST(ScreenScaleTest, DesignUnitsBecomePixelsWithHalvesToEven) {
  TKLDDirectXHelper helper;
  TKLDScreen screen(&helper);
  screen.SetSize(1024, 768);
  EXPECT_EQ(screen.ScaleX(400), 512);
  EXPECT_EQ(screen.ScaleY(300), 384);
  EXPECT_EQ(screen.ScaleX(1), 1);
  screen.SetSize(1000, 750);
  EXPECT_EQ(screen.ScaleX(2), 2);   // 2.5
  EXPECT_EQ(screen.ScaleX(6), 8);   // 7.5
  EXPECT_EQ(screen.ScaleY(2), 2);   // 2.5
  EXPECT_EQ(screen.ScaleX(-2), -2); // -2.5
  screen.SetDesignSize(0, 0);       // a broken theme size must not divide by zero
  EXPECT_EQ(screen.ScaleX(7), 7);
}

TEST(DisplayModesTest, ModesAreUniqueAndIndexedSafely) {
  TKLDDisplayModes modes;
  TKLDDisplayMode* a = modes.AddMode(1024, 768, 32);
  EXPECT_EQ(modes.AddMode(1024, 768, 32), a);
  modes.AddMode(1024, 768, 16);
  EXPECT_EQ(modes.Count(), 2);
  EXPECT_EQ(modes.Item(-1), nullptr);
  EXPECT_EQ(modes.Item(2), nullptr);
  EXPECT_EQ(modes.Item(0), a);
  EXPECT_TRUE(modes.HasMode(1024, 768, 16));
  EXPECT_FALSE(modes.HasMode(800, 600, 32));
  EXPECT_EQ(a->DisplayText(), "1024 x 768");
  modes.ClearModes();
  EXPECT_EQ(modes.Count(), 0);
}

TEST(ScreenSizeTest, SameSizeIsNotAppliedAgain) {
  TKLDDirectXHelper helper;
  TKLDScreen screen(&helper);
  int applied = 0;
  screen.AddSizeListener([&](int, int) { ++applied; });
  screen.SetSize(800, 600);
  EXPECT_EQ(applied, 0);
  screen.SetSize(1280, 720);
  EXPECT_EQ(applied, 1);
  EXPECT_EQ(helper.DisplayWidth(), 1280);
  EXPECT_FLOAT_EQ(screen.AspectRatio(), 1280.0f / 720.0f);
  screen.SetSize(1280, 720);
  EXPECT_EQ(applied, 1);
}

using ScreenOpenTest = DisplayFixture;

TEST_F(ScreenOpenTest, WindowGetsTheScreenSizeAndIsShown) {
  int w = 0, h = 0;
  Screen().Form()->Window().ClientSize(w, h);
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  EXPECT_TRUE(Screen().Form()->Visible());
  EXPECT_FALSE(Screen().Form()->FullScreen());
  int rw = 0, rh = 0;
  ASSERT_TRUE(Dx().Renderer().OutputSize(rw, rh));
  EXPECT_EQ(rw, 320);
  EXPECT_EQ(rh, 240);
  for (int i = 0; i < Screen().DisplayModes().Count(); ++i) {
    EXPECT_GE(Screen().DisplayModes().Item(i)->Width(), 800);
    EXPECT_GE(Screen().DisplayModes().Item(i)->Height(), 600);
  }
}

TEST_F(ScreenOpenTest, PrepareGivesTheDrawBufferAndViewportTheScreenSize) {
  EXPECT_EQ(Screen().DrawBuffer().Width(), 320);
  EXPECT_EQ(Screen().DrawBuffer().Height(), 240);
  EXPECT_EQ(Screen().Viewport().Width(), 320);
  EXPECT_EQ(Screen().Viewport().Height(), 240);
  EXPECT_EQ(&Screen().Canvas(), &Screen().DrawBuffer().Canvas());
  EXPECT_EQ(&Screen().DrawBuffer(), &SharedDrawBuffer());
  Screen().SetSize(640, 360);
  EXPECT_EQ(Screen().DrawBuffer().Width(), 640);
  EXPECT_EQ(Screen().DrawBuffer().Height(), 360);
  EXPECT_EQ(Screen().Viewport().Width(), 640);
  EXPECT_EQ(Screen().Viewport().Height(), 360);
}

TEST_F(ScreenOpenTest, MissingAdapterFallsBackToThePrimary) {
  Screen().Close();
  Screen().SetDisplayAdapter(7);
  Screen().Open();
  EXPECT_TRUE(Logged("INFO: Requested display adapter not available. Using primary display instead"));
  EXPECT_EQ(Screen().DisplayAdapter(), 0u);
  EXPECT_TRUE(Dx().Initialised());
}

TEST_F(ScreenOpenTest, UnsupportedFullScreenModeFallsBackToTheDesktopMode) {
  // A television that cannot show the exact mode must still show the interface.
  Screen().Close();
  Screen().SetFullScreen(true);
  Screen().SetSize(333, 222);
  Screen().Open();
  EXPECT_TRUE(Logged("WARN: Selected display mode 333 x 222 is not supported by requested display adapter; "
                     "using the desktop's mode "));
  EXPECT_TRUE(Dx().Initialised());
  // The interface keeps its own size: the picture is scaled to the mode the display has.
  EXPECT_EQ(Screen().ScreenWidth(), 333);
  EXPECT_EQ(Dx().DisplayWidth(), 333);
  ASSERT_TRUE(Screen().BeginFrame());
  Dx().FillRect({0, 0, 333, 222}, 0xFFFFFFFFu);
  Screen().EndFrame();
  Screen().PresentFrame();
  Screen().Shutdown();
}

TEST_F(ScreenOpenTest, HeadlessRunsAreWindowedWhateverThePreferencesSay) {
  Screen().Close();
  Screen().SetFullScreen(true);
  Screen().SetWindowedOnly(true);
  Screen().SetSize(333, 222);
  Screen().Open();
  EXPECT_FALSE(Logged("is not supported"));
  EXPECT_FALSE(Dx().Fullscreen());
  int rw = 0, rh = 0;
  ASSERT_TRUE(Dx().Renderer().OutputSize(rw, rh));
  EXPECT_EQ(rw, 333);
  EXPECT_EQ(rh, 222);
}

TEST_F(ScreenOpenTest, CloseSuspendsReleasesAndHides) {
  int suspended = 0;
  Screen().Hooks().Suspend = [&] { ++suspended; };
  Screen().Close();
  EXPECT_EQ(suspended, 1);
  EXPECT_FALSE(Dx().Initialised());
  EXPECT_FALSE(Screen().Form()->Visible());
  EXPECT_EQ(Screen().DisplayModes().Count(), 0);
  EXPECT_FALSE(Screen().BeginFrame());
  Screen().Open();  // the window object is kept for the next open
  EXPECT_TRUE(Screen().BeginFrame());
  Screen().EndFrame();
}

TEST_F(ScreenOpenTest, ScreenshotHoldsTheLastPresentedFrame) {
  TempDir dir;
  Screen().SetFrameCapture(true);
  ASSERT_TRUE(Screen().BeginFrame());
  Dx().FillRect({10, 10, 20, 20}, 0xFF00FF00u);
  Screen().EndFrame();
  Screen().PresentFrame();
  Screen().Close();  // written at exit, after the device is gone
  ASSERT_TRUE(Screen().SaveScreenshot(dir.File("s.png")));
  std::vector<uint32_t> px;
  int w = 0, h = 0;
  std::string error;
  ASSERT_TRUE(ReadPngFile(dir.File("s.png"), px, w, h, error)) << error;
  EXPECT_EQ(w, 320);
  EXPECT_EQ(h, 240);
  EXPECT_EQ(px[15 * 320 + 15], 0xFF00FF00u);
  EXPECT_EQ(px[5 * 320 + 5], 0xFF000000u);
  EXPECT_FALSE(Screen().SaveScreenshot("/nonexistent-folder/s.png"));
  EXPECT_TRUE(Logged("WARN: Failed to write screenshot /nonexistent-folder/s.png"));
}

TEST_F(ScreenOpenTest, RequestedScreenshotIsTheNextPresentedFrame) {
  TempDir dir;
  Screen().RequestScreenshot(dir.File("next.png"));
  ASSERT_TRUE(Screen().BeginFrame());
  Dx().FillRect({0, 0, 320, 240}, 0xFF0000FFu);
  Screen().EndFrame();
  EXPECT_FALSE(FileExists(dir.File("next.png")));
  Screen().PresentFrame();
  std::vector<uint32_t> px;
  int w = 0, h = 0;
  std::string error;
  ASSERT_TRUE(ReadPngFile(dir.File("next.png"), px, w, h, error)) << error;
  EXPECT_EQ(px[100 * 320 + 100], 0xFF0000FFu);
}

TEST_F(ScreenOpenTest, HeadlessPresentIsPacedToSixtyHertzUnlessVSyncIsOff) {
  using clock = std::chrono::steady_clock;
  auto frames = [&](int n) {
    auto start = clock::now();
    for (int i = 0; i < n; ++i) {
      Screen().BeginFrame();
      Screen().EndFrame();
      Screen().PresentFrame();
    }
    return std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - start).count();
  };
  Screen().SetVSync(true);
  // The first present only sets the beat; seven more take at least six periods.
  EXPECT_GE(frames(8), 6 * 1000 / 60);
}

class ScreenEventTest : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    auto& hooks = Screen().Hooks();
    hooks.KeyDown = [this](int key) {
      keys_.push_back(key);
      return true;
    };
    hooks.CloseRequested = [this] { ++closes_; };
    hooks.Suspend = [this] { ++suspends_; };
    hooks.Resume = [this] { ++resumes_; };
    id_ = Screen().Form()->Window().Id();
  }
  SDL_Event WindowEvent(uint8_t what) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = id_;
    e.window.event = what;
    return e;
  }
  SDL_Event Key(SDL_Keycode sym) {
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = id_;
    e.key.keysym.sym = sym;
    return e;
  }
  std::vector<int> keys_;
  int closes_ = 0, suspends_ = 0, resumes_ = 0;
  uint32_t id_ = 0;
};

TEST_F(ScreenEventTest, KeysArriveAsVirtualKeyNumbers) {
  EXPECT_TRUE(Screen().HandleEvent(Key(SDLK_RETURN)));
  EXPECT_TRUE(Screen().HandleEvent(Key(SDLK_TAB)));
  EXPECT_TRUE(Screen().HandleEvent(Key(SDLK_UP)));
  Screen().HandleEvent(Key(SDLK_AUDIOREWIND));  // no number: not passed on
  EXPECT_EQ(keys_, (std::vector<int>{13, 9, 38}));
}

TEST_F(ScreenEventTest, EventsOfOtherWindowsAreIgnored) {
  SDL_Event e = WindowEvent(SDL_WINDOWEVENT_CLOSE);
  e.window.windowID = id_ + 100;
  EXPECT_FALSE(Screen().HandleEvent(e));
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  EXPECT_FALSE(Screen().HandleEvent(quit));
  EXPECT_EQ(closes_, 0);
  EXPECT_TRUE(Screen().HandleEvent(WindowEvent(SDL_WINDOWEVENT_CLOSE)));
  EXPECT_EQ(closes_, 1);
}

TEST_F(ScreenEventTest, MinimiseSuspendsAndRestoreResumesOncePerChange) {
  Screen().HandleEvent(WindowEvent(SDL_WINDOWEVENT_MINIMIZED));
  Screen().HandleEvent(WindowEvent(SDL_WINDOWEVENT_MINIMIZED));
  EXPECT_EQ(suspends_, 1);
  EXPECT_EQ(Screen().Form()->LastWindowState(), TKLDWindowState::Minimised);
  Screen().HandleEvent(WindowEvent(SDL_WINDOWEVENT_RESTORED));
  Screen().HandleEvent(WindowEvent(SDL_WINDOWEVENT_RESTORED));
  EXPECT_EQ(resumes_, 1);
  Screen().HandleEvent(WindowEvent(SDL_WINDOWEVENT_MAXIMIZED));
  EXPECT_EQ(resumes_, 2);
}

TEST_F(ScreenEventTest, LeftDragMovesAWindowedInterfaceOnly) {
  auto& window = Screen().Form()->Window();
  window.Move(100, 100);
  SDL_Event down{};
  down.type = SDL_MOUSEBUTTONDOWN;
  down.button.windowID = id_;
  down.button.button = SDL_BUTTON_LEFT;
  down.button.x = 10;
  down.button.y = 10;
  SDL_Event move{};
  move.type = SDL_MOUSEMOTION;
  move.motion.windowID = id_;
  move.motion.state = SDL_BUTTON_LMASK;
  move.motion.x = 30;
  move.motion.y = 25;
  Screen().HandleEvent(down);
  Screen().HandleEvent(move);
  int x = 0, y = 0;
  window.Position(x, y);
  EXPECT_EQ(x, 120);
  EXPECT_EQ(y, 115);
  // Without the left button nothing moves.
  move.motion.state = 0;
  Screen().HandleEvent(move);
  window.Position(x, y);
  EXPECT_EQ(x, 120);
  // A full-screen interface is never dragged.
  Screen().Form()->SetFullScreen(true);
  move.motion.state = SDL_BUTTON_LMASK;
  Screen().HandleEvent(move);
  window.Position(x, y);
  EXPECT_EQ(x, 120);
  EXPECT_EQ(y, 115);
}

}  // namespace
}  // namespace lorvane::test
