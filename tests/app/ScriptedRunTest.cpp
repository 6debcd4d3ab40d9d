// The whole program headless on the repository's own configuration and default theme: the host
// loop, the application manager, the interface and a script, wired the way main wires them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/ApplicationManager.h"
#include "app/CommandLine.h"
#include "base/Timing.h"
#include "metadata/MetaData.h"
#include "platform/DirectoryReader.h"
#include "platform/HostLoop.h"
#include "platform/PixbufImage.h"
#include "platform/PngWriter.h"
#include "render/Screen.h"
#include "support/TestSupport.h"
#include "theme/ThemeManager.h"
#include "ui/Animation.h"
#include "ui/InterfaceDescriptor.h"
#include "ui/UIManager.h"

namespace lorvane {
namespace {

namespace fs = std::filesystem;

// Windows virtual-key codes, as conf/KeyBindings.xml binds them.
constexpr int kEnter = 13, kEscape = 27, kLeft = 37, kDown = 40, kPageDown = 34;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class ScriptedRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* source = std::getenv("LORVANE_SOURCE");
    ASSERT_NE(source, nullptr);
    fs::copy(fs::path(source) / "conf", base.File("conf"), fs::copy_options::recursive);
    fs::copy(fs::path(source) / "themes", base.File("themes"), fs::copy_options::recursive);
    std::string prefs = base.Read("conf/Preferences.xml");
    AdjustPreferences(prefs);
    base.Write("conf/Preferences.xml", prefs);

    THostLoop::ConfigureHeadless();
    timer = std::make_unique<TKLDTimer>(Clock());
    SetGlobalTimer(timer.get());
    ASSERT_TRUE(THostLoop::Initialise());
    display = std::make_unique<TKLDDisplayModule>();
    display->Screen().SetVSync(false);
    display->Screen().SetFrameCapture(true);
    manager = std::make_unique<TKLDApplicationManager>(std::vector<std::string>{}, base.Path());
    // An unhandled error would otherwise end the test program.
    manager->SetErrorDialog([this](const std::string& text, bool) {
      errors.push_back(text);
      return true;
    });
    manager->SetTerminate([] { FAIL() << "the run asked to terminate"; });
    connection = std::make_unique<THostConnection>(display->Screen(), *manager);
  }
  // A fixture may change the shipped preferences before the manager reads them.
  virtual void AdjustPreferences(std::string&) {}
  // Tests that measure places in pixels were written for 800 x 600; the shipped screen is larger.
  static void UseSmallScreen(std::string& prefs) {
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"<ScreenWidth>1920<", "<ScreenWidth>800<"},
                                   {"<ScreenHeight>1080<", "<ScreenHeight>600<"}})
      if (prefs.find(from) != std::string::npos) prefs.replace(prefs.find(from), from.size(), to);
  }
  // The frame clock's source; a test may drive it by hand.
  virtual TKLDTimer::ClockSource Clock() { return SystemMilliseconds; }
  void TearDown() override {
    connection.reset();
    manager.reset();
    display.reset();
    THostLoop::Finalise();
    SetGlobalTimer(nullptr);
    EXPECT_EQ(errors, std::vector<std::string>{});
  }

  // Runs the script through the host loop; what it printed goes to `out` and `err`.
  int Run(const std::string& script) {
    base.Write("script.txt", script);
    TCommandLine options;
    std::string problem;
    EXPECT_TRUE(options.Parse({"--headless", "--script", base.File("script.txt")}, problem)) << problem;
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    int status = RunHost(*manager, options, connection->Services());
    out = Lines(::testing::internal::GetCapturedStdout());
    err = ::testing::internal::GetCapturedStderr();
    return status;
  }
  static std::string Key(int code) { return "key " + std::to_string(code) + "\n"; }

  test::TempDir base;
  std::unique_ptr<TKLDTimer> timer;
  std::unique_ptr<TKLDDisplayModule> display;
  std::unique_ptr<TKLDApplicationManager> manager;
  std::unique_ptr<THostConnection> connection;
  std::vector<std::string> errors;
  std::vector<std::string> out;
  std::string err;
};

TEST_F(ScriptedRunTest, ArrowsEnterAndEscapeWalkThroughEverySection) {
  std::string script = "state\n";
  for (int section = 0; section < 4; ++section) {
    if (section > 0) script += Key(kDown);
    script += Key(kEnter) + "state\n" + Key(kEscape) + "state\n";
  }
  script += "meta application.hint\n";
  ASSERT_EQ(Run(script), 0) << err;
  EXPECT_EQ(out, (std::vector<std::string>{
                     "screen=home focus=music",
                     "screen=music focus=musicgrid",
                     "screen=home focus=music",
                     "screen=videos focus=videosgrid",
                     "screen=home focus=videos",
                     "screen=pictures focus=picturesgrid",
                     "screen=home focus=pictures",
                     "screen=settings focus=setdisplay",
                     "screen=home focus=settings",
                     "application.hint=Change the theme, language, screen and sound",
                 }));
  EXPECT_EQ(manager->State(), STATE_STOPPED) << "a headless script that has run out closes the interface";
}

// Red photographs, so that a screenshot shows whether their thumbnails arrived.
void WriteRedPhoto(const std::string& path) {
  const int width = 400, height = 300;
  std::vector<uint8_t> bits(size_t(width) * height * 4);
  for (size_t i = 0; i < bits.size(); i += 4) {
    bits[i] = 0;
    bits[i + 1] = 0;
    bits[i + 2] = 255;
    bits[i + 3] = 255;
  }
  std::string error;
  auto image = TKLDPixbufImage::FromBGRA(width, height, bits.data(), width * 4);
  ASSERT_TRUE(image && image->SaveJpeg(path, 85, error)) << error;
}

int RedPixels(const std::string& png) {
  std::string error;
  auto image = TKLDPixbufImage::Load(png, [](int w, int h, int& rw, int& rh) { rw = w, rh = h; }, error);
  if (!image) return -1;
  std::vector<uint8_t> bits(size_t(image->Width()) * image->Height() * 4);
  image->ToBGRA(bits.data(), image->Width() * 4);
  int red = 0;
  for (size_t i = 0; i < bits.size(); i += 4) red += bits[i + 2] > 200 && bits[i + 1] < 60 && bits[i] < 60;
  return red;
}

TEST_F(ScriptedRunTest, PicturesBrowsesFoldersAndShowsThumbnails) {
  fs::create_directories(base.File("photos/Trip"));
  for (int i = 0; i < 12; ++i) WriteRedPhoto(base.File("photos/p" + std::to_string(i) + ".jpg"));
  WriteRedPhoto(base.File("photos/Trip/beach.jpg"));
  // The folder is older than every photo, so that sorting by date puts it first.
  fs::last_write_time(base.File("photos/Trip"), fs::file_time_type::clock::now() - std::chrono::hours(24 * 365));
  base.Write("conf/Media.xml", "<MediaManager><MediaLocations><Pictures><Directory>" + base.File("photos") +
                                   "</Directory></Pictures></MediaLocations></MediaManager>");
  std::string script = Key(kDown) + Key(kDown) + Key(kEnter) + "state\nwait 1500\nscreenshot " +
                       base.File("top.png") + "\nmeta pictures.itemcount\nmeta pictures.pagecount\n";
  // The folder comes first (the oldest by date); into it and back out.
  // Folders are read off the frame: each listing is given a moment to arrive.
  script += Key(kEnter) + "wait 500\nmeta pictures.folder\nmeta pictures.itemcount\nwait 800\nscreenshot " +
            base.File("trip.png") + "\n";
  script += Key(kEscape) + "wait 500\nstate\nmeta pictures.folder\nmeta media.selection.name\n";
  script += Key(kPageDown) + "meta pictures.pageindex\nwait 800\nscreenshot " + base.File("page2.png") + "\n";
  script += Key(kEscape) + "state\n";
  ASSERT_EQ(Run(script), 0) << err;
  EXPECT_EQ(out, (std::vector<std::string>{
                     "screen=pictures focus=picturesgrid",
                     "pictures.itemcount=13",
                     "pictures.pagecount=2",
                     "pictures.folder=Trip/",
                     "pictures.itemcount=2",
                     "screen=pictures focus=picturesgrid",
                     "pictures.folder=",
                     "media.selection.name=Trip/",
                     "pictures.pageindex=2",
                     "screen=home focus=pictures",
                 }));
  // Nine thumbnails on the first page beside the folder, one inside it, eight on the second.
  const int top = RedPixels(base.File("top.png")), trip = RedPixels(base.File("trip.png")),
            page2 = RedPixels(base.File("page2.png"));
  EXPECT_GT(trip, 500);
  EXPECT_GT(top, 6 * trip);
  EXPECT_GT(page2, 6 * trip);
}

TEST_F(ScriptedRunTest, AMediaLocationThatIsNotThereIsToldOnceWhateverIsBrowsed) {
  base.Write("conf/Media.xml", "<MediaManager><MediaLocations><Music><Directory>\n  " + base.File("gone") +
                                   "\n</Directory></Music></MediaLocations></MediaManager>");
  ASSERT_EQ(Run(Key(kEnter) + "wait 300\n" + Key(kEscape) + Key(kEnter) + "wait 300\n" + Key(kEscape)), 0) << err;
  const std::string log = base.Read("logs/" + fs::directory_iterator(base.File("logs"))->path().filename().string());
  const std::string told = "WARN: The music location " + base.File("gone/") + " does not exist";
  const size_t first = log.find(told);
  EXPECT_NE(first, std::string::npos) << log;
  EXPECT_EQ(log.find(told, first + 1), std::string::npos) << "once, not at each browse";
}

TEST_F(ScriptedRunTest, TheExitQuestionLiesOverHomeAndGoesAgain) {
  ASSERT_EQ(Run(Key(kEscape) + "state\nmeta application.hint\n" + Key(kEscape) +
                "state\nmeta application.hint\n" + Key(kEscape) + Key(kDown) + "state\n" + Key(kEnter) + "state\n"),
            0)
      << err;
  EXPECT_EQ(out, (std::vector<std::string>{
                     "screen=exit focus=exitno",
                     "application.hint=Stay in lorvane",
                     "screen=home focus=music",
                     // Home kept its focus beneath, and its hint comes back with it.
                     "application.hint=Browse and play your music collection",
                     "screen=exit focus=exitno",
                     "screen=home focus=music",
                 }));
}

TEST_F(ScriptedRunTest, QuitFromTheExitQuestionClosesTheInterfaceAfterTheFrame) {
  // Left from "no" reaches "yes", whose okay quits: the run ends by itself before "state".
  ASSERT_EQ(Run(Key(kEscape) + Key(kLeft) + "state\n" + Key(kEnter) + "state\nstate\n"), 0) << err;
  EXPECT_EQ(out, std::vector<std::string>{"screen=exit focus=exityes"});
  EXPECT_EQ(manager->State(), STATE_STOPPED);
  EXPECT_EQ(manager->UIManager(), nullptr) << "the managers are freed with the interface";
}

TEST_F(ScriptedRunTest, AScriptErrorStopsTheRunWithItsLine) {
  EXPECT_EQ(Run("state\n# a comment\n\nkey 13\nkey thirteen\nstate\n"), 1);
  EXPECT_NE(err.find("line 5: bad key code \"thirteen\""), std::string::npos) << err;
  EXPECT_EQ(out, std::vector<std::string>{"screen=home focus=music"}) << "nothing after the bad line runs";
  EXPECT_EQ(manager->State(), STATE_STOPPED);
}

TEST_F(ScriptedRunTest, AnUnknownCommandAndAMissingScriptFail) {
  EXPECT_EQ(Run("state\njump home\n"), 1);
  EXPECT_NE(err.find("line 2: unknown command \"jump\""), std::string::npos) << err;

  TCommandLine options;
  options.headless = true;
  options.script = base.File("no-such-script.txt");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(RunHost(*manager, options, connection->Services()), 2);
  EXPECT_NE(::testing::internal::GetCapturedStderr().find("cannot read script"), std::string::npos);
}

TEST_F(ScriptedRunTest, RemoteKeysGivenOneAfterTheOtherAllCount) {
  // However fast the frames run, no remote key falls within the 10 ms that would drop it.
  ASSERT_EQ(Run("remote " + std::to_string(kDown) + "\nremote " + std::to_string(kDown) + "\nremote " +
                std::to_string(kEnter) + "\nstate\n"),
            0)
      << err;
  EXPECT_EQ(out, std::vector<std::string>{"screen=pictures focus=picturesgrid"});
}

TEST_F(ScriptedRunTest, WithoutKeyBindingsTheInterfaceRunsAndKeysDoNothing) {
  fs::remove(base.File("conf/KeyBindings.xml"));
  ASSERT_EQ(Run(Key(kDown) + Key(kEnter) + "state\n"), 0) << err;
  EXPECT_EQ(out, std::vector<std::string>{"screen=home focus=music"});
}

TEST_F(ScriptedRunTest, ARelativeScreenshotLandsInTheCurrentFolder) {
  test::TempDir here;
  const fs::path previous = fs::current_path();
  fs::current_path(here.Path());
  int status = Run(Key(kEnter) + "screenshot shots.png\nstate\nquit\nstate\n");
  fs::current_path(previous);
  ASSERT_EQ(status, 0) << err;
  EXPECT_EQ(out, std::vector<std::string>{"screen=music focus=musicgrid"}) << "stdout holds the state lines only";
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  std::string error;
  EXPECT_TRUE(ReadPngFile(here.File("shots.png"), pixels, width, height, error)) << error;
  EXPECT_GT(width, 0);
  EXPECT_EQ(manager->State(), STATE_STOPPED);
}

TEST_F(ScriptedRunTest, AScreenshotThatCannotBeWrittenFailsTheRun) {
  EXPECT_NE(Run("screenshot " + base.File("no-such-folder/shot.png") + "\nquit\n"), 0);
  EXPECT_NE(err.find("could not write the screenshot"), std::string::npos) << err;
  EXPECT_EQ(out, std::vector<std::string>{});
}

// ---------------------------------------------------------------- key to frame

// The frame drawn after the key: its pixels, read back from the screen's frame capture.
class KeyToFrameTest : public ScriptedRunTest {
 protected:
  std::vector<uint32_t> Frame() {
    EXPECT_TRUE(manager->UpdateFrame());
    std::string file = base.File("frame" + std::to_string(frames++) + ".png"), error;
    EXPECT_TRUE(display->Screen().SaveScreenshot(file));
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    EXPECT_TRUE(ReadPngFile(file, pixels, width, height, error)) << error;
    return pixels;
  }
  static double Difference(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size() || a.empty()) return 1.0;
    size_t differing = 0;
    for (size_t i = 0; i < a.size(); ++i) differing += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF);
    return static_cast<double>(differing) / static_cast<double>(a.size());
  }
  int frames = 0;
};

TEST_F(KeyToFrameTest, TheFrameOfTheKeyAlreadyShowsTheNewScreen) {
  manager->Launch();
  ASSERT_EQ(manager->State(), STATE_RUNNING);
  for (int i = 0; i < 3; ++i) Frame();
  const std::vector<uint32_t> home = Frame();
  // The key arrives at the start of the frame, as the window's events do before an idle pass.
  bool sent = false;
  manager->SetFrameHook([&] {
    if (!sent) manager->ProcessKey(kEnter);
    sent = true;
  });
  const uint64_t before = manager->RenderedFrames();
  const std::vector<uint32_t> keyFrame = Frame();
  EXPECT_EQ(manager->RenderedFrames(), before + 1);
  EXPECT_EQ(manager->UIManager()->CurrentScreenName(), "music");
  const std::vector<uint32_t> next = Frame();
  EXPECT_GT(Difference(home, keyFrame), 0.2) << "the key's own frame shows the music screen";
  EXPECT_LT(Difference(keyFrame, next), 0.01) << "and the frame after it shows nothing newer";
  manager->CloseInterface();
}

TEST_F(KeyToFrameTest, TheConsoleIsDrawnOverTheScreensWhileItIsShown) {
  std::string prefs = base.Read("conf/Preferences.xml");
  const std::string hidden = "<ShowDiagnostics>no</ShowDiagnostics>";
  prefs.replace(prefs.find(hidden), hidden.size(), "<ShowDiagnostics>yes</ShowDiagnostics>");
  // The console's type keeps its size on any screen; the shares below are those of 800 x 600.
  UseSmallScreen(prefs);
  base.Write("conf/Preferences.xml", prefs);
  connection.reset();
  manager = std::make_unique<TKLDApplicationManager>(std::vector<std::string>{"debug"}, base.Path());
  connection = std::make_unique<THostConnection>(display->Screen(), *manager);
  manager->Launch();
  ASSERT_EQ(manager->State(), STATE_RUNNING);
  ASSERT_TRUE(manager->UIManager()->ShowDiagnostics());
  for (int i = 0; i < 3; ++i) Frame();
  const std::vector<uint32_t> shown = Frame();
  manager->UIManager()->SetShowDiagnostics(false);
  Frame();
  const std::vector<uint32_t> hiddenFrame = Frame();
  const int width = display->Screen().ScreenWidth(), height = display->Screen().ScreenHeight();
  ASSERT_EQ(shown.size(), static_cast<size_t>(width) * static_cast<size_t>(height));
  // The command strip at the bottom holds "Command: _" only while the console is shown.
  auto strip = [&](const std::vector<uint32_t>& pixels) {
    return std::vector<uint32_t>(pixels.begin() + static_cast<long>(width) * (height * 9 / 10 + 2),
                                 pixels.begin() + static_cast<long>(width) * (height - 2));
  };
  EXPECT_GT(Difference(strip(shown), strip(hiddenFrame)), 0.005);
  // The home screen beneath keeps still, so every pixel that differs is the console's.
  EXPECT_GT(Difference(shown, hiddenFrame), 0.0005);
  manager->CloseInterface();
}

// ---------------------------------------------------------------- settings and console

// Keys typed as the keyboard sends them: letters as their upper-case key codes.
std::string TypeKeys(const std::string& text) {
  std::string script;
  for (char c : text) {
    int code = c == ' ' ? 32 : c == '.' ? 190 : (c >= 'a' && c <= 'z') ? c - 'a' + 'A' : c;
    script += "key " + std::to_string(code) + "\n";
  }
  return script;
}

std::string PreferenceLine(const std::string& file, const std::string& name) {
  for (const std::string& line : Lines(file))
    if (line.find("<" + name + ">") != std::string::npos) {
      std::string element = line.substr(line.find('<'));
      if (!element.empty() && element.back() == '\r') element.pop_back();
      return element;
    }
  return "";
}

TEST_F(ScriptedRunTest, ASettingChangedWithLeftAndRightIsInThePreferencesAfterQuitting) {
  const int kRight = 39;
  std::string script = Key(kDown) + Key(kDown) + Key(kDown) + Key(kEnter) + Key(kEnter) + "state\n";
  // Screen size, full screen, wide screen, then the screen saver delay.
  script += Key(kDown) + Key(kDown) + Key(kDown) + "state\nmeta settings.display.screensaverdelay\n";
  script += Key(kRight) + "meta settings.display.screensaverdelay\n" + Key(kLeft) + Key(kLeft) +
            "meta settings.display.screensaverdelay\nstate\nquit\n";
  ASSERT_EQ(Run(script), 0) << err;
  EXPECT_EQ(out, (std::vector<std::string>{
                     "screen=setdisplay focus=screensize",
                     "screen=setdisplay focus=screensaver",
                     "settings.display.screensaverdelay=0600",
                     "settings.display.screensaverdelay=1800",
                     "settings.display.screensaverdelay=0300",
                     "screen=setdisplay focus=screensaver",
                 }));
  EXPECT_EQ(PreferenceLine(base.Read("conf/Preferences.xml"), "ScreenSaverDelay"),
            "<ScreenSaverDelay>300</ScreenSaverDelay>");
}

TEST_F(ScriptedRunTest, TheRemotesRepeatPaceIsChosenOnItsSettingsScreen) {
  const int kRight = 39;
  std::string script = Key(kDown) + Key(kDown) + Key(kDown) + Key(kEnter);
  script += Key(kDown) + Key(kDown) + Key(kDown) + Key(kDown) + Key(kEnter) + "state\n";
  script += Key(kRight) + Key(kRight) + "meta settings.remote.repeatdelay\n";
  script += Key(kDown) + Key(kLeft) + "meta settings.remote.repeatrate\nstate\nquit\n";
  ASSERT_EQ(Run(script), 0) << err;
  EXPECT_EQ(out, (std::vector<std::string>{
                     "screen=setremote focus=repeatdelay",
                     "settings.remote.repeatdelay=0250",
                     "settings.remote.repeatrate=30",
                     "screen=setremote focus=repeatrate",
                 }));
  const std::string prefs = base.Read("conf/Preferences.xml");
  EXPECT_EQ(PreferenceLine(prefs, "RemoteRepeatDelay"), "<RemoteRepeatDelay>250</RemoteRepeatDelay>");
  EXPECT_EQ(PreferenceLine(prefs, "RemoteRepeatRate"), "<RemoteRepeatRate>30</RemoteRepeatRate>");
}

TEST_F(ScriptedRunTest, AFullScreenChangeAsksForARestartAndLaterKeepsRunning) {
  // The shipped preferences open full screen; this run starts in a window.
  std::string prefs = base.Read("conf/Preferences.xml");
  const std::string shipped = "<FullScreen>yes</FullScreen>";
  ASSERT_NE(prefs.find(shipped), std::string::npos);
  prefs.replace(prefs.find(shipped), shipped.size(), "<FullScreen>no</FullScreen>");
  base.Write("conf/Preferences.xml", prefs);
  const int kRight = 39;
  std::string script = Key(kDown) + Key(kDown) + Key(kDown) + Key(kEnter) + Key(kEnter) + Key(kDown) +
                       Key(kRight) + "state\n" + Key(kEnter) + "state\nmeta settings.display.fullscreen\nquit\n";
  ASSERT_EQ(Run(script), 0) << err;
  EXPECT_EQ(out, (std::vector<std::string>{"screen=restart focus=restartno", "screen=setdisplay focus=fullscreen",
                                           "settings.display.fullscreen=yes"}));
  EXPECT_EQ(PreferenceLine(base.Read("conf/Preferences.xml"), "FullScreen"), "<FullScreen>yes</FullScreen>");
}

TEST_F(ScriptedRunTest, InDebugModeTheConsoleRunsATypedCommandAndLetsKeysGoAfterExit) {
  std::string prefs = base.Read("conf/Preferences.xml");
  const std::string hidden = "<ShowDiagnostics>no</ShowDiagnostics>";
  ASSERT_NE(prefs.find(hidden), std::string::npos);
  prefs.replace(prefs.find(hidden), hidden.size(), "<ShowDiagnostics>yes</ShowDiagnostics>");
  base.Write("conf/Preferences.xml", prefs);
  connection.reset();
  manager = std::make_unique<TKLDApplicationManager>(std::vector<std::string>{"DEBUG"}, base.Path());
  manager->SetErrorDialog([this](const std::string& text, bool) {
    errors.push_back(text);
    return true;
  });
  connection = std::make_unique<THostConnection>(display->Screen(), *manager);

  std::string script = TypeKeys("fn setmeta console.test 42") + Key(kEnter) + "meta console.test\n";
  // While the console is shown, arrows browse its history instead of moving the focus.
  script += Key(kDown) + "state\n" + TypeKeys("exit") + Key(kEnter) + Key(kDown) + "state\nquit\n";
  ASSERT_EQ(Run(script), 0) << err;
  EXPECT_EQ(out, (std::vector<std::string>{"console.test=42", "screen=home focus=music",
                                           "screen=home focus=videos"}));
}

// ---------------------------------------------------------------- animation

// The default theme's section panel and words moving, on a frame clock the test sets for each
// frame, with screenshots of the chosen frames compared with where the progress puts them.
class AnimationRunTest : public KeyToFrameTest {
 protected:
  void AdjustPreferences(std::string& prefs) override { UseSmallScreen(prefs); }
  TKLDTimer::ClockSource Clock() override {
    return [this] { return now; };
  }
  // One frame at the given time: the engine steps on it, as it does on the frame before's end
  // time in a free-running loop.
  std::vector<uint32_t> FrameAt(uint32_t time) {
    now = time;
    timer->MarkFrameStart();
    return Frame();
  }
  TKLDControl& Control(const std::string& name) {
    return *manager->ThemeManager()->Interface().Controls.FindControl(name);
  }
  const TKLDAnimationQueue* Script(const std::string& control) {
    for (const auto& script : manager->AnimationEngine()->Scripts())
      if (script->ControlName == control) return script.get();
    return nullptr;
  }
  static int Channel(uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

  uint32_t now = 1000;
};

TEST_F(AnimationRunTest, ASectionPanelSlidesInAndItsWordsFadeInWhereTheProgressPutsThem) {
  // The section's folder is read in the frame that shows it, so that the frames compared differ
  // only by the animation.
  manager->SetBrowseOnWorker(false);
  manager->Launch();
  ASSERT_EQ(manager->State(), STATE_RUNNING);
  for (uint32_t t = 1000; t < 1060; t += 20) FrameAt(t);
  bool sent = false;
  manager->SetFrameHook([&] {
    if (!sent) manager->ProcessKey(kEnter);
    sent = true;
  });
  const std::vector<uint32_t> hidden = FrameAt(1060);
  ASSERT_EQ(manager->UIManager()->CurrentScreenName(), "music");
  TKLDControl& panel = Control("contentpanel");
  EXPECT_FALSE(panel.Visible) << "hidden until its slide begins, never shown at rest first";
  FrameAt(1080);  // "onshow" starts the scripts
  FrameAt(1100);  // their first step
  const TKLDAnimationQueue* slide = Script("contentpanel");
  ASSERT_NE(slide, nullptr);
  EXPECT_EQ(slide->Animations[1]->StartTime, 1100u);
  EXPECT_NE(Script("musicempty"), nullptr);
  EXPECT_NE(Script("libraryhow"), nullptr);
  const int below = panel.Y;
  EXPECT_EQ(below, 289) << "the place below the content area, 520 of 1080 designed rows at 600";

  // Half way through the 350 ms slide: 144.5 rounds to the even 144.
  const std::vector<uint32_t> mid = FrameAt(1275);
  EXPECT_EQ(panel.Y, 144);
  const int width = 800, column = 400;
  const int top = panel.Viewport->OriginY();
  int edge = -1;
  for (int y = top; y < top + below && edge < 0; ++y)
    if (mid[static_cast<size_t>(y * width + column)] != hidden[static_cast<size_t>(y * width + column)]) edge = y;
  EXPECT_NEAR(edge, top + 144, 2) << "the panel's top edge in the screenshot";

  // The words wait 250 ms, then fade in over 300 ms: half way they are drawn at half strength.
  FrameAt(1450);
  EXPECT_EQ(panel.Y, 0);
  EXPECT_EQ(Control("musicempty").Colour.Value(), 0x00FFFFFFu);
  const std::vector<uint32_t> fading = FrameAt(1600);
  EXPECT_EQ(Control("musicempty").Colour.Value(), 0x80FFFFFFu);
  const std::vector<uint32_t> rest = FrameAt(1800);
  EXPECT_EQ(Control("musicempty").Colour.Value(), 0xFFFFFFFFu);
  Control("musicempty").SetVisible(false);
  Control("libraryhow").SetVisible(false);
  const std::vector<uint32_t> bare = FrameAt(1820);
  int strong = 0, halfway = 0;
  for (size_t i = 0; i < rest.size(); ++i) {
    bool differs = false, blended = true;
    for (int shift : {0, 8, 16}) {
      const int full = Channel(rest[i], shift), none = Channel(bare[i], shift), seen = Channel(fading[i], shift);
      if (std::abs(full - none) > 60) differs = true;
      if (std::abs(seen - (none + (full - none) * 128.0 / 255.0)) > 12) blended = false;
    }
    if (!differs) continue;
    ++strong;
    if (blended) ++halfway;
  }
  EXPECT_GT(strong, 500) << "the words are on the screenshot";
  EXPECT_GT(halfway, strong * 9 / 10) << "and half faded in the frame half way through";
  manager->CloseInterface();
}

TEST_F(AnimationRunTest, LeavingASectionTucksItsPanelAwayForTheNextOpening) {
  manager->Launch();
  ASSERT_EQ(manager->State(), STATE_RUNNING);
  std::vector<int> keys;
  manager->SetFrameHook([&] {
    if (keys.empty()) return;
    manager->ProcessKey(keys.front());
    keys.erase(keys.begin());
  });
  uint32_t t = 1000;
  FrameAt(t += 20);
  keys = {kEnter};
  FrameAt(t += 20);
  FrameAt(t += 20);
  FrameAt(t += 20);
  FrameAt(t += 100);
  TKLDControl& panel = Control("contentpanel");
  EXPECT_GT(panel.Y, 0) << "still on its way";
  // Escape acts at once, in the middle of the slide.
  keys = {kEscape};
  FrameAt(t += 20);
  EXPECT_EQ(manager->UIManager()->CurrentScreenName(), "home");
  for (int i = 0; i < 4; ++i) FrameAt(t += 20);
  EXPECT_FALSE(panel.Visible);
  EXPECT_FALSE(Control("musicempty").Visible);
  EXPECT_EQ(Script("contentpanel"), nullptr) << "finished scripts are gone";
  // Down to videos and in: the panel rises again from below to the top of its area.
  keys = {kDown, kEnter};
  FrameAt(t += 20);
  FrameAt(t += 20);
  EXPECT_EQ(manager->UIManager()->CurrentScreenName(), "videos");
  EXPECT_FALSE(panel.Visible);
  FrameAt(t += 20);
  FrameAt(t += 20);
  EXPECT_EQ(panel.Y, 289);
  EXPECT_TRUE(panel.Visible);
  FrameAt(t += 400);
  EXPECT_EQ(panel.Y, 0);
  manager->CloseInterface();
}

TEST_F(AnimationRunTest, TheEmptyLibraryMessageShowsOnlyInASectionWithNothingInIt) {
  // Music and pictures hold something; videos has a location with nothing in it.
  base.Write("media/music/song.mp3", "x");
  base.Write("media/films/notes.txt", "x");
  fs::create_directories(base.File("media/photos"));
  WriteRedPhoto(base.File("media/photos/p.jpg"));
  base.Write("conf/Media.xml", "<MediaManager><MediaLocations><Music><Directory>" + base.File("media/music") +
                                   "</Directory></Music><Video><Directory>" + base.File("media/films") +
                                   "</Directory></Video><Pictures><Directory>" + base.File("media/photos") +
                                   "</Directory></Pictures></MediaLocations></MediaManager>");
  manager->SetBrowseOnWorker(false);
  manager->Launch();
  ASSERT_EQ(manager->State(), STATE_RUNNING);
  std::vector<int> keys;
  manager->SetFrameHook([&] {
    if (keys.empty()) return;
    manager->ProcessKey(keys.front());
    keys.erase(keys.begin());
  });
  uint32_t t = 1000;
  FrameAt(t += 20);
  const struct {
    std::vector<int> keys;
    const char* screen;
    const char* message;
    bool empty;
  } sections[] = {{{kEnter}, "music", "musicempty", false},
                  {{kEscape, kDown, kEnter}, "videos", "videosempty", true},
                  {{kEscape, kDown, kEnter}, "pictures", "picturesempty", false}};
  for (const auto& section : sections) {
    keys = section.keys;
    for (int i = 0; i < 6; ++i) FrameAt(t += 20);
    ASSERT_EQ(manager->UIManager()->CurrentScreenName(), section.screen);
    // Long after the words would have faded in.
    for (int i = 0; i < 10; ++i) FrameAt(t += 100);
    EXPECT_EQ(Control(section.message).Visible, section.empty) << section.screen;
    EXPECT_EQ(Control("libraryhow").Visible, section.empty) << section.screen;
    if (section.empty) {
      EXPECT_EQ(Control(section.message).Colour.Value(), 0xFFFFFFFFu) << "faded in all the way";
    }
  }
  manager->CloseInterface();
}

TEST_F(KeyToFrameTest, AnIdleScreenIsNotDrawnAgainButTheKeyFrameIs) {
  display->Screen().SetVSync(true);  // paced like a real display: unchanged frames are skipped
  manager->Launch();
  ASSERT_EQ(manager->State(), STATE_RUNNING);
  TKLDDirectXHelper& dx = display->Helper();
  // The focused entry's hint fades in after the first frames; the screen is idle once it has.
  const uint32_t launched = SystemMilliseconds();
  while (SystemMilliseconds() - launched < 800) Frame();
  const std::vector<uint32_t> first = Frame();
  const uint64_t skipped = dx.FramesSkipped();
  std::vector<uint32_t> home;
  for (int i = 0; i < 5; ++i) home = Frame();
  // The clock's text may turn over once in between, and that frame is drawn.
  EXPECT_GE(dx.FramesSkipped(), skipped + 4);
  EXPECT_LT(Difference(first, home), 0.01);
  bool sent = false;
  manager->SetFrameHook([&] {
    if (!sent) manager->ProcessKey(kEnter);
    sent = true;
  });
  const uint64_t drawn = dx.FramesDrawn();
  const std::vector<uint32_t> keyFrame = Frame();
  EXPECT_EQ(dx.FramesDrawn(), drawn + 1);
  EXPECT_EQ(manager->UIManager()->CurrentScreenName(), "music");
  EXPECT_GT(Difference(home, keyFrame), 0.2) << "the key's own frame shows the music screen";
  manager->CloseInterface();
}


// ---------------------------------------------------------------- playback

// Films and music made with ffmpeg, played through the default theme on the small screen.
class PlaybackRunTest : public ScriptedRunTest {
 protected:
  void AdjustPreferences(std::string& prefs) override { UseSmallScreen(prefs); }
  void MakeMedia() {
    fs::create_directories(base.File("films"));
    fs::create_directories(base.File("songs"));
    auto make = [this](const std::string& args, const std::string& name) {
      EXPECT_EQ(test::MakeMediaWithFfmpeg(args, base.File(name)), "");
    };
    make("-f lavfi -i testsrc=size=320x240:rate=25:duration=6 -f lavfi -i sine=frequency=440:duration=6 "
         "-c:v mpeg4 -c:a mp2 -shortest",
         "films/a-film.mkv");
    base.Write("films/b-notes.mkv", "not a film at all\n");
    make("-f lavfi -i sine=frequency=440:duration=3 -c:a mp2", "films/c-tone.mkv");
    make("-f lavfi -i sine=frequency=220:duration=6 -f lavfi -i sine=frequency=660:duration=6,volume=0.3 "
         "-filter_complex [0][1]amerge=inputs=2 -c:a libmp3lame -b:a 64k",
         "songs/a-song.mp3");
    fs::copy_file(base.File("songs/a-song.mp3"), base.File("songs/b-song.mp3"));
    base.Write("conf/Media.xml", "<MediaManager><MediaLocations><Video><Directory>" + base.File("films") +
                                     "</Directory></Video><Music><Directory>" + base.File("songs") +
                                     "</Directory></Music></MediaLocations></MediaManager>");
    // The user's player options: no sound card and no hardware decoding here.
    base.Write("conf/mpv.conf", "ao=null\nhwdec=no\n");
  }
  static std::vector<uint32_t> Pixels(const std::string& png) {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    std::string error;
    EXPECT_TRUE(ReadPngFile(png, pixels, width, height, error)) << error;
    return pixels;
  }
  static size_t Differing(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size()) return a.size() + b.size();
    size_t differing = 0;
    for (size_t i = 0; i < a.size(); ++i) differing += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF);
    return differing;
  }
  // "00:00:03" as seconds; -1 when it is not a time.
  static int Seconds(const std::string& line) {
    size_t equals = line.find('=');
    int h = 0, m = 0, sec = 0;
    if (equals == std::string::npos || std::sscanf(line.c_str() + equals + 1, "%d:%d:%d", &h, &m, &sec) != 3) return -1;
    return h * 3600 + m * 60 + sec;
  }
};

TEST_F(PlaybackRunTest, AFilmAndMusicPlayAndBadFilesShowTheirErrorWhileTheRunGoesOn) {
  MakeMedia();
  const int kRight = 39, kUp = 38;
  std::string script = Key(kDown) + Key(kEnter) + "wait 1000\nstate\n";
  // The film, full screen, with its bar. The position counts whole seconds and the film opens on
  // a worker, which a busy machine slows: the second reading comes well after a second of play.
  script += Key(kEnter) + "state\nwait 800\nmeta media.current.position\nscreenshot " + base.File("v1.png") +
            "\nwait 2700\nmeta media.current.position\nscreenshot " + base.File("v2.png") + "\n";
  script += Key(kEscape) + "wait 300\nstate\n";
  // A file that is no film at all, then one with sound only: the error, then on as before.
  for (int bad = 0; bad < 2; ++bad)
    script += Key(kRight) + Key(kEnter) + "wait 1500\nstate\nmeta system.error.text\n" + Key(kEnter) +
              "wait 200\nstate\n";
  // Music from the first song of the folder, with the visualisation.
  script += Key(kEscape) + Key(kUp) + Key(kEnter) + "wait 1000\n" + Key(kEnter) + "wait 1000\nstate\n";
  script += "screenshot " + base.File("m1.png") + "\nwait 300\nscreenshot " + base.File("m2.png") + "\n";
  script += "meta playlist.primary.itemcount\nmeta media.current.position\n";
  // Back to browsing: the music plays on and the line at the bottom says so.
  script += Key(kEscape) + "state\nwait 1200\nmeta media.current.position\nmeta media.primary.name\n";
  ASSERT_EQ(Run(script), 0) << err;
  ASSERT_EQ(out.size(), 17u) << err;
  EXPECT_EQ(out[0], "screen=videos focus=videosgrid");
  EXPECT_EQ(out[1], "screen=video focus=videowindow");
  const int first = Seconds(out[2]), second = Seconds(out[3]);
  EXPECT_GE(first, 0);
  EXPECT_GT(second, first) << out[2] << " then " << out[3];
  EXPECT_EQ(out[4], "screen=videos focus=videosgrid") << "Back stops the film";
  for (int bad = 0; bad < 2; ++bad) {
    EXPECT_EQ(out[5 + bad * 3], "screen=error focus=errorok");
    EXPECT_EQ(out[6 + bad * 3], "system.error.text=This file cannot be played");
    EXPECT_EQ(out[7 + bad * 3], "screen=videos focus=videosgrid");
  }
  EXPECT_EQ(out[11], "screen=playing focus=visualwindow");
  EXPECT_EQ(out[12], "playlist.primary.itemcount=2") << "the whole folder";
  const int song = Seconds(out[13]);
  EXPECT_EQ(out[14], "screen=music focus=musicgrid");
  EXPECT_GT(Seconds(out[15]), song) << "the music plays on while browsing";
  EXPECT_EQ(out[16], "media.primary.name=a-song");
  // The film's frames move (testsrc counts and scrolls); so does the visualisation.
  EXPECT_GT(Differing(Pixels(base.File("v1.png")), Pixels(base.File("v2.png"))), 2000u);
  EXPECT_GT(Differing(Pixels(base.File("m1.png")), Pixels(base.File("m2.png"))), 2000u);
  const std::string log = base.Read("logs/" + fs::directory_iterator(base.File("logs"))->path().filename().string());
  EXPECT_NE(log.find("ERROR: Failed to render direct show file, error: "), std::string::npos);
  EXPECT_NE(log.find("ERROR: Failed to build VMR9 compatible render graph for file (check codecs)"), std::string::npos);
  EXPECT_EQ(log.find("Alchemy visualisation is not available"), std::string::npos);
}


// A folder of pictures plays full screen in the default theme: each slide fades in over the one
// before, the read-out follows, Enter pauses, Left and Right step, and Back returns to the folder
// on the picture last shown.
class SlideshowRunTest : public ScriptedRunTest {
 protected:
  void AdjustPreferences(std::string& prefs) override {
    UseSmallScreen(prefs);
    const std::string from = "<SlideshowDelay>5<", to = "<SlideshowDelay>2<";
    if (prefs.find(from) != std::string::npos) prefs.replace(prefs.find(from), from.size(), to);
  }
  // A picture of one colour, as blue, green, red bytes.
  void WritePicture(const std::string& name, uint8_t b, uint8_t g, uint8_t r, int minutes) {
    const int width = 640, height = 480;
    std::vector<uint8_t> bits(size_t(width) * height * 4);
    for (size_t i = 0; i < bits.size(); i += 4) bits[i] = b, bits[i + 1] = g, bits[i + 2] = r, bits[i + 3] = 255;
    std::string error;
    auto image = TKLDPixbufImage::FromBGRA(width, height, bits.data(), width * 4);
    const std::string path = base.File("slides/" + name);
    ASSERT_TRUE(image && image->SaveJpeg(path, 90, error)) << error;
    // The folder sorts by date: a, then b, then c.
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(60 - minutes));
  }
  // The colour in the middle of a screenshot (where no caption lies), as 0xRRGGBB.
  static uint32_t Middle(const std::string& png) {
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    std::string error;
    EXPECT_TRUE(ReadPngFile(png, pixels, width, height, error)) << error;
    if (pixels.empty()) return 0;
    return pixels[size_t(height / 2) * width + width / 2] & 0xFFFFFF;
  }
  static int Red(uint32_t c) { return (c >> 16) & 0xFF; }
  static int Green(uint32_t c) { return (c >> 8) & 0xFF; }
  static int Blue(uint32_t c) { return c & 0xFF; }
};

TEST_F(SlideshowRunTest, APictureFolderPlaysWithFadesAndBackReturnsToTheLastPicture) {
  fs::create_directories(base.File("slides"));
  WritePicture("a.jpg", 0, 0, 255, 1);  // red
  WritePicture("b.jpg", 255, 0, 0, 2);  // blue
  WritePicture("c.jpg", 0, 255, 0, 3);  // green
  base.Write("conf/Media.xml", "<MediaManager><MediaLocations><Pictures><Directory>" + base.File("slides") +
                                   "</Directory></Pictures></MediaLocations></MediaManager>");
  constexpr int kRight = 39;
  std::string script = Key(kDown) + Key(kDown) + Key(kEnter) + "wait 1000\n";
  // The first picture, chosen in the grid: it fades in from nothing and shows for two seconds.
  script += Key(kEnter) + "wait 300\nstate\nmeta media.primary.name\nmeta playlist.primary.itemindex\n";
  script += "wait 1200\nscreenshot " + base.File("a.png") + "\n";
  // The second one fades in over it about three seconds in: shots every 100 ms across the fade.
  script += "wait 1300\n";
  for (int i = 0; i < 14; ++i) script += "screenshot " + base.File("fade" + std::to_string(i) + ".png") + "\nwait 100\n";
  script += "meta media.primary.name\nmeta playlist.primary.itemindex\n";
  // Paused, it stays; on again, Right and Left step.
  script += Key(kEnter) + "wait 2500\nmeta media.primary.name\n" + Key(kEnter);
  script += Key(kRight) + "wait 100\nmeta media.primary.name\n" + Key(kLeft) + "wait 1300\nmeta media.primary.name\n";
  script += "screenshot " + base.File("b.png") + "\n";
  script += Key(kEscape) + "wait 500\nstate\nmeta media.selection.name\n";
  ASSERT_EQ(Run(script), 0) << err;
  EXPECT_EQ(out, (std::vector<std::string>{
                     "screen=slideshow focus=slidewindow",
                     "media.primary.name=a",
                     "playlist.primary.itemindex=1",
                     "media.primary.name=b",
                     "playlist.primary.itemindex=2",
                     "media.primary.name=b",
                     "media.primary.name=c",
                     "media.primary.name=b",
                     "screen=pictures focus=picturesgrid",
                     "media.selection.name=b",
                 }));
  const uint32_t a = Middle(base.File("a.png")), b = Middle(base.File("b.png"));
  EXPECT_GT(Red(a), 200) << std::hex << a;
  EXPECT_LT(Blue(a), 60) << std::hex << a;
  EXPECT_GT(Blue(b), 200) << std::hex << b;
  EXPECT_LT(Red(b), 60) << std::hex << b;
  // Across the fade red gives way to blue, and on the way both show at once.
  int blended = 0, lastBlue = -1;
  bool rising = true;
  for (int i = 0; i < 14; ++i) {
    const uint32_t c = Middle(base.File("fade" + std::to_string(i) + ".png"));
    blended += Red(c) > 30 && Blue(c) > 30 && Green(c) < 40;
    rising = rising && Blue(c) + 8 >= lastBlue;
    lastBlue = Blue(c);
  }
  EXPECT_GE(blended, 1) << "no screenshot caught the two pictures blended";
  EXPECT_TRUE(rising);
  EXPECT_GT(lastBlue, 200) << "the fade ended on the second picture";
}


// ---------------------------------------------------------------- faults

// What a household does behind lorvane's back: folders, songs and pictures that go or change
// while they are used, and a configuration folder that cannot be written. The run goes on, the
// screens stay where they should and nothing is lost.
class FaultRunTest : public PlaybackRunTest {
 protected:
  std::string Meta(const std::string& name) {
    TKLDMetaDataManager* meta = manager->MetaDataManager();
    return meta ? meta->GetValue(name) : std::string();
  }
  std::string Log() {
    return base.Read("logs/" + fs::directory_iterator(base.File("logs"))->path().filename().string());
  }
};

TEST_F(FaultRunTest, FoldersThatGoWhileListedOrShownLeaveTheRunGoingOn) {
  base.Write("songs/A-Stuck/one.mp3", "x");
  base.Write("songs/B-Gone/two.mp3", "x");
  base.Write("songs/B-Gone/three.mp3", "x");
  base.Write("songs/C-Stay/four.mp3", "x");
  base.Write("conf/Media.xml", "<MediaManager><MediaLocations><Music><Directory>" + base.File("songs") +
                                   "</Directory></Music></MediaLocations></MediaManager>");
  // A-Stuck goes while it is being read (after it was asked for, before it is opened); B-Gone
  // goes once it shows.
  TKLDDirectoryReader::SetOpenHook([this](const std::string& path) {
    if (path.find("A-Stuck") != std::string::npos) fs::remove_all(base.File("songs/A-Stuck"));
  });
  bool removed = false;
  manager->SetFrameHook([&] {
    if (!removed && Meta("music.folder") == "B-Gone/" && Meta("music.itemcount") == "3") {
      fs::remove_all(base.File("songs/B-Gone"));
      removed = true;
    }
  });
  std::string script = Key(kEnter) + "wait 800\n" + Key(kEnter) + "wait 800\nmeta music.folder\nmeta music.itemcount\n";
  script += Key(kEscape) + "wait 800\nmeta music.itemcount\n";
  // Into B-Gone, which goes while it shows; moving in it and back up.
  const int kRight = 39;
  script += Key(kEnter) + "wait 800\nmeta music.folder\n" + Key(kRight) + "wait 300\nstate\n";
  script += Key(kEscape) + "wait 800\nstate\nmeta music.folder\nmeta music.itemcount\n";
  const int status = Run(script);
  TKLDDirectoryReader::SetOpenHook(nullptr);
  manager->SetFrameHook(nullptr);
  ASSERT_EQ(status, 0) << err;
  EXPECT_TRUE(removed);
  std::string said;
  for (const std::string& line : out) said += line + "\n";
  ASSERT_EQ(out.size(), 8u) << said << err;
  EXPECT_EQ(out[0], "music.folder=A-Stuck/") << said;
  EXPECT_EQ(out[1], "music.itemcount=1") << "only the way back up";
  EXPECT_EQ(out[2], "music.itemcount=2");
  EXPECT_EQ(out[3], "music.folder=B-Gone/");
  EXPECT_EQ(out[4], "screen=music focus=musicgrid");
  EXPECT_EQ(out[5], "screen=music focus=musicgrid");
  EXPECT_EQ(out[6], "music.folder=");
  EXPECT_EQ(out[7], "music.itemcount=1") << "only C-Stay is left";
}

TEST_F(FaultRunTest, TheSongThatPlaysIsTruncatedThenDeletedAndTheRunGoesOn) {
  MakeMedia();
  const std::string song = base.File("songs/a-song.mp3");
  int step = 0;
  manager->SetFrameHook([&] {
    const std::string position = Meta("media.current.position");
    if (step == 0 && Meta("media.primary.name") == "a-song" && position >= "00:00:01") {
      ::truncate(song.c_str(), 2000);
      step = 1;
    } else if (step == 1 && Meta("media.primary.name") == "b-song") {
      fs::remove(base.File("songs/b-song.mp3"));
      step = 2;
    }
  });
  // The song plays; it is cut short at a second, the next one goes as it starts. Then Home.
  std::string script = Key(kEnter) + "wait 1000\n" + Key(kEnter) + "wait 10000\n";
  script += "key 36\nwait 500\nstate\n";
  const int status = Run(script);
  manager->SetFrameHook(nullptr);
  ASSERT_EQ(status, 0) << err;
  EXPECT_GE(step, 1) << "the song was cut short while it played";
  ASSERT_EQ(out.size(), 1u) << err;
  EXPECT_EQ(out[0].rfind("screen=home ", 0), 0u) << out[0];
  EXPECT_EQ(manager->State(), STATE_STOPPED);
}

TEST_F(FaultRunTest, ThePreferencesThatCannotBeWrittenStayWholeAndTheLogSaysWhy) {
  const std::string before = base.Read("conf/Preferences.xml");
  // Where the new file is written before it replaces the old one: taken, so it cannot be made.
  fs::create_directories(base.File("conf/Preferences.xml.tmp" + std::to_string(::getpid())));
  ASSERT_EQ(Run(Key(kDown) + "state\n"), 0) << err;
  EXPECT_EQ(manager->State(), STATE_STOPPED);
  EXPECT_EQ(manager->UIManager(), nullptr) << "the interface closed all the same";
  EXPECT_EQ(base.Read("conf/Preferences.xml"), before);
  EXPECT_NE(Log().find("ERROR: The preferences were not saved: Could not create file " +
                       base.File("conf/Preferences.xml")),
            std::string::npos)
      << Log();
  // It opens again, and saves once it can.
  fs::remove_all(base.File("conf/Preferences.xml.tmp" + std::to_string(::getpid())));
  ASSERT_EQ(Run("state\n"), 0) << err;
  EXPECT_EQ(out, std::vector<std::string>{"screen=home focus=music"});
  const std::string log = Log();
  EXPECT_EQ(log.find("were not saved"), log.rfind("were not saved"));
}

// A disk that fills while the preferences are saved; they are larger than the room left, the log
// is not (it leaves out the preferences below WARN), so the write fails part way, as a full disk
// does.
TEST_F(FaultRunTest, ThePreferencesThatFillTheDiskStayWholeAndTheLogSaysWhy) {
  std::string prefs = base.Read("conf/Preferences.xml");
  const std::string info = "<LoggingLevel>INFO<";
  ASSERT_NE(prefs.find(info), std::string::npos);
  prefs.replace(prefs.find(info), info.size(), "<LoggingLevel>WARN<");
  std::string many;
  for (int i = 0; i < 12000; ++i) many += "&quot;.P" + std::to_string(10000 + i) + "&quot;,";
  const std::string list = "<PlaylistExtensions>";
  prefs.insert(prefs.find(list) + list.size(), many);
  base.Write("conf/Preferences.xml", prefs);
  constexpr unsigned long kRoom = 128 * 1024;
  ASSERT_GT(prefs.size(), kRoom);
  int status;
  {
    test::ScopedFileSizeLimit full(kRoom);
    status = Run(Key(kDown) + "state\n");
  }
  ASSERT_EQ(status, 0) << err;
  EXPECT_EQ(manager->State(), STATE_STOPPED);
  EXPECT_EQ(base.Read("conf/Preferences.xml"), prefs);
  for (const auto& entry : fs::directory_iterator(base.File("conf")))
    EXPECT_EQ(entry.path().filename().string().find("Preferences.xml.tmp"), std::string::npos) << entry.path();
  EXPECT_NE(Log().find("ERROR: The preferences were not saved: Could not write file " +
                       base.File("conf/Preferences.xml") + ": File too large"),
            std::string::npos)
      << Log();
  // With room again they are saved, every extension kept.
  ASSERT_EQ(Run("state\n"), 0) << err;
  EXPECT_NE(base.Read("conf/Preferences.xml").find(many), std::string::npos);
  const std::string log = Log();
  EXPECT_EQ(log.find("were not saved"), log.rfind("were not saved"));
}

// Pictures changed under a running slideshow: one replaced by something that is no picture, one
// by another picture. The show goes on past the broken one and shows the new one.
TEST_F(SlideshowRunTest, PicturesReplacedMidShowAreSkippedOrShownAnew) {
  fs::create_directories(base.File("slides"));
  WritePicture("a.jpg", 0, 0, 255, 1);  // red
  WritePicture("b.jpg", 255, 0, 0, 2);  // blue
  WritePicture("c.jpg", 0, 255, 0, 3);  // green
  base.Write("conf/Media.xml", "<MediaManager><MediaLocations><Pictures><Directory>" + base.File("slides") +
                                   "</Directory></Pictures></MediaLocations></MediaManager>");
  std::vector<std::string> seen;
  bool replaced = false;
  manager->SetFrameHook([&] {
    TKLDMetaDataManager* meta = manager->MetaDataManager();
    const std::string name = meta ? meta->GetValue("media.primary.name") : std::string();
    if (!name.empty() && (seen.empty() || seen.back() != name)) seen.push_back(name);
    if (!replaced && name == "a") {
      base.Write("slides/b.jpg", "no picture any more\n");
      const auto when = fs::last_write_time(base.File("slides/c.jpg"));
      WritePicture("c.jpg", 255, 255, 255, 3);  // white, keeping its place
      fs::last_write_time(base.File("slides/c.jpg"), when);
      replaced = true;
    }
  });
  std::string script = Key(kDown) + Key(kDown) + Key(kEnter) + "wait 1000\n" + Key(kEnter) + "wait 300\n";
  // Three pictures of two seconds, one of them broken: the show is over long before this.
  script += "wait 9000\nstate\n";
  const int status = Run(script);
  manager->SetFrameHook(nullptr);
  ASSERT_EQ(status, 0) << err;
  EXPECT_TRUE(replaced);
  EXPECT_EQ(out, std::vector<std::string>{"screen=pictures focus=picturesgrid"});
  std::string names;
  for (const std::string& name : seen) names += name + " ";
  EXPECT_NE(std::find(seen.begin(), seen.end(), "c"), seen.end()) << "the show went on past b: " << names;
  const std::string log = base.Read("logs/" + fs::directory_iterator(base.File("logs"))->path().filename().string());
  EXPECT_NE(log.find("Failed to load image: " + base.File("slides/b.jpg")), std::string::npos) << log;
}

}  // namespace
}  // namespace lorvane
