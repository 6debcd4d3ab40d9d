#include "app/ApplicationManager.h"

#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "base/Timing.h"
#include "media/MediaFolders.h"
#include "media/MediaLocations.h"
#include "media/UPnP.h"
#include "platform/HostLoop.h"
#include "render/Screen.h"
#include "support/TestSupport.h"

using namespace lorvane;
using lorvane::test::TempDir;

namespace {

// An application manager on a temporary base folder, with a fake frame clock and no sleeping.
class AppFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    test::WriteMinimalTheme(dir_);
    timer_ = std::make_unique<TKLDTimer>([this] { return now_; });
    SetGlobalTimer(timer_.get());
    app_ = std::make_unique<TKLDApplicationManager>(std::vector<std::string>{}, dir_.Path());
    app_->SetIdleSleep([this](uint32_t ms) { sleeps_.push_back(ms); });
    app_->SetErrorDialog([this](const std::string& text, bool ignore) {
      dialogs_.push_back(text);
      offeredIgnore_ = ignore;
      // A second error raised while the dialog is open must be dropped.
      app_->HandleUnhandledError("second error");
      return true;
    });
    app_->SetTerminate([this] { terminated_ = true; });
  }
  void TearDown() override {
    app_.reset();
    SetGlobalTimer(nullptr);
  }
  void Tick(uint32_t ms) {
    now_ += ms;
    timer_->MarkFrameStart();
  }

  TempDir dir_;
  uint32_t now_ = 100000;
  std::unique_ptr<TKLDTimer> timer_;
  std::unique_ptr<TKLDApplicationManager> app_;
  std::vector<uint32_t> sleeps_;
  std::vector<std::string> dialogs_;
  bool offeredIgnore_ = false;
  bool terminated_ = false;
};

}  // namespace

TEST(CommandLineDebug, FirstParameterOnly) {
  EXPECT_TRUE(IsDebugCommandLine({"-debug"}));
  EXPECT_TRUE(IsDebugCommandLine({"xDebugx", "--base", "X"}));
  EXPECT_TRUE(IsDebugCommandLine({"--debug", "--base", "X"}));
  EXPECT_FALSE(IsDebugCommandLine({}));
  EXPECT_FALSE(IsDebugCommandLine({"--base", "X", "--debug"}));
}

TEST(CommandLineOptions, ParsesValuesAndRejectsJunk) {
  TCommandLine options;
  std::string problem;
  ASSERT_TRUE(options.Parse({"--debug", "--base", "/x", "--headless", "--frames", "30"}, problem)) << problem;
  EXPECT_EQ(options.baseFolder, "/x");
  EXPECT_TRUE(options.headless);
  EXPECT_EQ(options.frames, 30u);
  TCommandLine bad;
  EXPECT_FALSE(bad.Parse({"--frames", "ten"}, problem));
  EXPECT_FALSE(bad.Parse({"--frames"}, problem));
  EXPECT_FALSE(bad.Parse({"--colour"}, problem));
  EXPECT_NE(problem.find("--colour"), std::string::npos);
}

TEST_F(AppFixture, FoldersFollowTheBase) {
  EXPECT_EQ(app_->ConfigurationFolder(), dir_.Path() + "conf/");
  EXPECT_EQ(app_->ThemesFolder(), dir_.Path() + "themes/");
  EXPECT_EQ(app_->LogFolder(), dir_.Path() + "logs/");
  EXPECT_FALSE(app_->DebugMode());
}

TEST_F(AppFixture, CloseRequestedInsideAFrameWaitsForItsEnd) {
  app_->Launch();
  ASSERT_EQ(app_->State(), STATE_RUNNING);
  std::vector<uint8_t> seen;
  app_->SetFrameHook([&] {
    app_->CloseInterface();
    seen.push_back(app_->State());
  });
  EXPECT_TRUE(app_->UpdateFrame());
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], STATE_UPDATING) << "the close must not run in the middle of the frame";
  // The rest of the frame runs, but a frame that ends in a close renders nothing.
  EXPECT_EQ(app_->RenderedFrames(), 0u);
  EXPECT_EQ(sleeps_.size(), 1u);
  EXPECT_EQ(app_->State(), STATE_STOPPED);
  EXPECT_FALSE(app_->ConfigurationLoaded());
  EXPECT_FALSE(app_->UpdateFrame()) << "a stopped interface asks the loop to wait";
}

TEST_F(AppFixture, RestartRequestedInsideAFrameComesBackRunning) {
  app_->Launch();
  int frames = 0;
  app_->SetFrameHook([&] {
    if (frames++ == 0) app_->RestartInterface();
  });
  app_->UpdateFrame();
  EXPECT_EQ(app_->State(), STATE_RUNNING);
  EXPECT_TRUE(app_->ConfigurationLoaded());
  app_->UpdateFrame();
  EXPECT_EQ(frames, 2);
}

TEST_F(AppFixture, CloseWhileStoppedIsIgnoredAndCloseTwiceStaysStopped) {
  app_->CloseInterface();
  EXPECT_EQ(app_->State(), STATE_STOPPED);
  app_->Launch();
  app_->CloseInterface();
  app_->CloseInterface();
  EXPECT_EQ(app_->State(), STATE_STOPPED);
  app_->RestartInterface();
  EXPECT_EQ(app_->State(), STATE_STOPPED) << "restart while stopped does nothing";
}

TEST_F(AppFixture, SuspendedFramesSleepAndDoNotRender) {
  app_->Launch();
  app_->Suspend();
  EXPECT_EQ(app_->State(), STATE_SUSPENDED);
  int updates = 0;
  app_->SetFrameHook([&] { ++updates; });
  EXPECT_TRUE(app_->UpdateFrame());
  EXPECT_EQ(updates, 1);
  EXPECT_EQ(app_->RenderedFrames(), 0u);
  ASSERT_EQ(sleeps_.size(), 1u);
  EXPECT_EQ(sleeps_[0], 200u);
  EXPECT_EQ(app_->State(), STATE_SUSPENDED);
  app_->Resume();
  EXPECT_EQ(app_->State(), STATE_RUNNING);
  app_->UpdateFrame();
  EXPECT_EQ(app_->RenderedFrames(), 1u);
}

TEST_F(AppFixture, ErrorInsideAFrameRestoresTheState) {
  app_->Launch();
  app_->SetFrameHook([] { throw std::runtime_error("boom"); });
  EXPECT_THROW(app_->UpdateFrame(), std::runtime_error);
  EXPECT_EQ(app_->State(), STATE_RUNNING);
}

TEST_F(AppFixture, ACloseAskedForBeforeAFrameFailsIsStillCarriedOut) {
  app_->Launch();
  app_->SetFrameHook([this] {
    app_->CloseInterface();
    throw std::runtime_error("boom");
  });
  EXPECT_THROW(app_->UpdateFrame(), std::runtime_error);
  EXPECT_EQ(app_->State(), STATE_STOPPED) << "the close must not be left pending";
  EXPECT_TRUE(test::FileExists(dir_.File("conf/Preferences.xml"))) << "the close saved the preferences";
  app_->SetFrameHook(nullptr);
  app_->Launch();
  EXPECT_EQ(app_->State(), STATE_RUNNING) << "and the interface can be launched again";
}

TEST_F(AppFixture, ARestartAskedForBeforeAFrameFailsIsStillCarriedOut) {
  app_->Launch();
  int frames = 0;
  app_->SetFrameHook([&] {
    if (frames++ > 0) return;
    app_->RestartInterface();
    throw std::runtime_error("boom");
  });
  EXPECT_THROW(app_->UpdateFrame(), std::runtime_error);
  EXPECT_EQ(app_->State(), STATE_RUNNING);
  EXPECT_TRUE(app_->UpdateFrame());
  EXPECT_EQ(frames, 2);
}

TEST_F(AppFixture, KeysReachTheInterfaceOnlyWhileItIsUp) {
  EXPECT_FALSE(app_->ProcessKey(13)) << "stopped";
  dir_.Write("conf/Preferences.xml", "<ClientPreferences><ThemeName>nowhere</ThemeName></ClientPreferences>");
  app_->Launch();
  ASSERT_EQ(app_->State(), STATE_INITIALISED);
  EXPECT_FALSE(app_->ProcessKey(13)) << "initialised";
  uint32_t before = app_->LastRemoteKeyTime();
  app_->ProcessRemoteKey(13);
  EXPECT_EQ(app_->State(), STATE_INITIALISED) << "a remote key launches only a stopped interface";
  EXPECT_NE(app_->LastRemoteKeyTime(), before);
}

TEST_F(AppFixture, DebugModeComesFromTheFirstParameterAndLetsDiagnosticsThrough) {
  dir_.Write("conf/Preferences.xml", "<ClientPreferences><ShowDiagnostics>yes</ShowDiagnostics></ClientPreferences>");
  app_->Launch();
  EXPECT_FALSE(app_->Prefs()->ShowDiagnostics());
  app_->CloseInterface();
  EXPECT_NE(dir_.Read("conf/Preferences.xml").find("<ShowDiagnostics>no</ShowDiagnostics>"), std::string::npos);

  app_.reset();
  dir_.Write("conf/Preferences.xml", "<ClientPreferences><ShowDiagnostics>yes</ShowDiagnostics></ClientPreferences>");
  TKLDApplicationManager debug({"xDebugx"}, dir_.Path());
  EXPECT_TRUE(debug.DebugMode());
  debug.SetErrorDialog([](const std::string&, bool) { return true; });
  debug.Launch();
  EXPECT_TRUE(debug.Prefs()->ShowDiagnostics());
  debug.CloseInterface();
  EXPECT_NE(dir_.Read("conf/Preferences.xml").find("<ShowDiagnostics>yes</ShowDiagnostics>"), std::string::npos);
}

TEST_F(AppFixture, TheLogRecordsTheRunBetweenItsBanners) {
  std::string path = app_->LogFolder() + app_->Logger()->FileName();
  app_->Launch();
  app_.reset();
  std::string log = test::ReadFile(path);
  size_t started = log.find(" INFO: *** lorvane started ***\r\n");
  size_t listing = log.find(" INFO: lorvane Preference settings are as follows:\r\n");
  size_t stopped = log.find(" INFO: *** lorvane stopped ***\r\n");
  ASSERT_NE(started, std::string::npos);
  ASSERT_NE(listing, std::string::npos);
  ASSERT_NE(stopped, std::string::npos);
  EXPECT_LT(started, listing);
  EXPECT_LT(listing, stopped);
  EXPECT_EQ(log.size(), stopped + std::string(" INFO: *** lorvane stopped ***\r\n").size())
      << "the stop banner is the last line";
}

TEST_F(AppFixture, RemoteKeysTenMillisecondsApartAreDropped) {
  app_->ProcessRemoteKey(38);
  EXPECT_EQ(app_->State(), STATE_RUNNING) << "a remote key while stopped launches the interface";
  uint32_t first = app_->LastRemoteKeyTime();
  Tick(5);
  app_->ProcessRemoteKey(38);
  EXPECT_EQ(app_->LastRemoteKeyTime(), first) << "5 ms later: ignored";
  Tick(5);
  app_->ProcessRemoteKey(38);
  EXPECT_EQ(app_->LastRemoteKeyTime(), first) << "exactly 10 ms later: still ignored";
  Tick(1);
  app_->ProcessRemoteKey(38);
  EXPECT_EQ(app_->LastRemoteKeyTime(), first + 11);
  app_->CloseInterface();
  EXPECT_EQ(app_->LastRemoteKeyTime(), 0u);
}

// Keys wait in the host's queue and are handled a frame apart: what counts is when they came.
TEST_F(AppFixture, TheTenMillisecondRuleGoesByWhenKeysArrived) {
  app_->ProcessRemoteKey(38, 1000u);
  ASSERT_EQ(app_->State(), STATE_RUNNING);
  // Two presses 50 ms apart that the loop reaches in one pass both count.
  app_->ProcessRemoteKey(40, 1050u);
  EXPECT_EQ(app_->LastRemoteKeyTime(), 1050u);
  // A bounce 4 ms after a press is dropped though it is handled much later.
  Tick(40);
  app_->ProcessRemoteKey(40, 1054u);
  EXPECT_EQ(app_->LastRemoteKeyTime(), 1050u);
  app_->ProcessRemoteKey(40, 1061u);
  EXPECT_EQ(app_->LastRemoteKeyTime(), 1061u);
  app_->CloseInterface();
}

TEST_F(AppFixture, UnhandledErrorAbortsShowsOneDialogAndHonoursIgnore) {
  app_->Launch();
  app_->HandleUnhandledError("disk on fire");
  EXPECT_EQ(app_->State(), STATE_STOPPED);
  ASSERT_EQ(dialogs_.size(), 1u) << "an error while the dialog is open is dropped";
  EXPECT_EQ(dialogs_[0],
            "A fatal error has occurred and lorvane needs to close. Please contact Tarnwick support and report "
            "the following error message:\r\n\r\ndisk on fire");
  EXPECT_FALSE(offeredIgnore_) << "Ignore is offered in debug mode only";
  EXPECT_FALSE(terminated_) << "Ignore keeps the process";
  app_->SetErrorDialog([](const std::string&, bool) { return false; });
  app_->HandleUnhandledError("again");
  EXPECT_TRUE(terminated_);
  std::string log = test::ReadFile(app_->LogFolder() + app_->Logger()->FileName());
  EXPECT_NE(log.find("ERROR: Unhandled exception: disk on fire"), std::string::npos);
}

TEST_F(AppFixture, CloseSavesPreferencesOnce) {
  app_->Launch();
  app_->CloseInterface();
  std::string saved = dir_.Read("conf/Preferences.xml");
  EXPECT_NE(saved.find("<ThemeName>tv</ThemeName>"), std::string::npos);
  dir_.Write("conf/Preferences.xml", "changed by hand");
  app_->CloseInterface();
  EXPECT_EQ(dir_.Read("conf/Preferences.xml"), "changed by hand") << "a second close saves nothing";
}

TEST_F(AppFixture, BadPreferencesStopTheLaunchAndLeaveTheFile) {
  const std::string bad = "<?xml version=\"1.0\"?><Settings/>";
  dir_.Write("conf/Preferences.xml", bad);
  try {
    app_->Launch();
    FAIL() << "the launch must raise";
  } catch (const std::exception& e) {
    EXPECT_EQ(std::string(e.what()),
              "Failed to read application configuration:\r\n"
              "Encountered error whilst parsing Preferences XML: Missing ClientPreferences start tag");
  }
  EXPECT_EQ(app_->State(), STATE_STOPPED);
  EXPECT_TRUE(app_->ConfigurationLoaded()) << "a later launch runs with what was read";
  EXPECT_EQ(dir_.Read("conf/Preferences.xml"), bad);
}

TEST_F(AppFixture, MissingThemeStaysInitialisedAndLaunchThenDoesNothing) {
  dir_.Write("conf/Preferences.xml",
             "<ClientPreferences><ThemeName>nowhere</ThemeName></ClientPreferences>");
  app_->Launch();
  EXPECT_EQ(app_->State(), STATE_INITIALISED);
  EXPECT_NE(app_->LastFailure().find("nowhere"), std::string::npos) << app_->LastFailure();
  app_->Launch();
  EXPECT_EQ(app_->State(), STATE_INITIALISED);
  EXPECT_FALSE(app_->UpdateFrame());
  app_->CloseInterface();
  EXPECT_EQ(app_->State(), STATE_STOPPED);
}

namespace {

// The application manager with a headless screen, for what depends on the window.
class AppWithScreen : public AppFixture {
 protected:
  void SetUp() override {
    THostLoop::ConfigureHeadless();
    ASSERT_TRUE(THostLoop::Initialise());
    display_ = std::make_unique<TKLDDisplayModule>();
    display_->Screen().SetVSync(false);
    AppFixture::SetUp();
  }
  void TearDown() override {
    AppFixture::TearDown();
    display_.reset();
    THostLoop::Finalise();
  }
  std::unique_ptr<TKLDDisplayModule> display_;
};

}  // namespace

TEST_F(AppWithScreen, DeactivatingStopsRenderingOnlyForAFullScreenInterfaceWithoutVideo) {
  app_->Launch();
  ASSERT_EQ(app_->State(), STATE_RUNNING);
  app_->Deactivate();
  EXPECT_TRUE(app_->RenderingEnabled()) << "a window keeps rendering behind others";

  display_->Screen().SetFullScreen(true);
  bool video = true;
  app_->SetVideoPlayingQuery([&] { return video; });
  app_->Deactivate();
  EXPECT_TRUE(app_->RenderingEnabled()) << "video keeps the interface in front";

  video = false;
  app_->Deactivate();
  EXPECT_FALSE(app_->RenderingEnabled());
  EXPECT_TRUE(app_->UpdateFrame());
  EXPECT_EQ(app_->RenderedFrames(), 0u);
  EXPECT_EQ(sleeps_, std::vector<uint32_t>{200});

  app_->Activate();
  EXPECT_TRUE(app_->RenderingEnabled());
  app_->UpdateFrame();
  EXPECT_EQ(app_->RenderedFrames(), 1u);
}

TEST_F(AppWithScreen, ActivationEventsRaisedWhileOneIsHandledAreIgnored) {
  app_->Launch();
  display_->Screen().SetFullScreen(true);
  app_->Deactivate();
  ASSERT_FALSE(app_->RenderingEnabled());
  // Bringing the window to front raises activation events of its own; they must not re-enter.
  app_->SetVideoPlayingQuery([this] {
    app_->Activate();
    return true;
  });
  app_->Deactivate();
  EXPECT_FALSE(app_->RenderingEnabled()) << "the nested Activate was ignored";
  app_->SetVideoPlayingQuery(nullptr);
  app_->Activate();
  EXPECT_TRUE(app_->RenderingEnabled()) << "the guard is cleared afterwards";
}

TEST_F(AppWithScreen, ActivationDoesNothingWhileStopped) {
  display_->Screen().SetFullScreen(true);
  app_->Activate();
  EXPECT_FALSE(app_->RenderingEnabled());
  app_->Launch();
  display_->Screen().SetFullScreen(true);  // the launch applied the preference (windowed)
  app_->Suspend();
  app_->Deactivate();
  EXPECT_FALSE(app_->RenderingEnabled()) << "a suspended full-screen interface is deactivated too";
  app_->Resume();
  EXPECT_EQ(app_->State(), STATE_RUNNING);
}

TEST_F(AppFixture, MediaLocationsAndExtensionListsComeWithTheConfiguration) {
  dir_.Write("conf/Media.xml", "<MediaManager><MediaLocations><Music><Directory name=\"Mine\" "
                               "virtual=\"yes\">" + dir_.File("music") + "</Directory></Music>"
                               "</MediaLocations></MediaManager>");
  dir_.Write("conf/Preferences.xml",
             "<ClientPreferences><VideoExtensions>\".OGV\"</VideoExtensions></ClientPreferences>");
  app_->Launch();
  ASSERT_EQ(app_->State(), STATE_RUNNING) << app_->LastFailure();
  ASSERT_NE(app_->MediaLocations(), nullptr);
  ASSERT_NE(app_->UPnPManager(), nullptr);
  EXPECT_EQ(app_->UPnPManager()->Locations(), app_->MediaLocations());
  const TKLDMediaFolder* folder = app_->MediaLocations()->MusicFolders().Item(0);
  ASSERT_NE(folder, nullptr);
  EXPECT_EQ(folder->Name, "Mine/");
  EXPECT_EQ(folder->Path, dir_.File("music/"));
  EXPECT_EQ(DetectMediaType("clip.ogv"), MEDIA_VIDEO);
  EXPECT_EQ(DetectMediaType("clip.avi"), MEDIA_UNKNOWN);
  app_->CloseInterface();
  EXPECT_EQ(app_->MediaLocations(), nullptr);
  EXPECT_EQ(app_->UPnPManager(), nullptr);
}

TEST_F(AppFixture, MalformedMediaLocationsAbortWithTheFileNamed) {
  const std::string prefix = "Failed to read application configuration:\r\n";
  const std::string kind = "Encountered error whilst parsing Media Locations XML: ";
  const std::pair<std::string, std::string> cases[] = {
      {"<Media/>", prefix + kind + "Missing MediaManager start tag"},
      {"<MediaManager><Locations/></MediaManager>",
       prefix + kind + "Unknown content type within Media locations"},
      {"<MediaManager><MediaLocations></MediaManager>",
       prefix + "Error parsing file " + dir_.File("conf/Media.xml") + ":\r\n"},
  };
  for (const auto& [content, message] : cases) {
    dir_.Write("conf/Media.xml", content);
    dialogs_.clear();
    std::string raised;
    try {
      app_->Launch();
    } catch (const std::exception& e) {
      raised = e.what();
      app_->HandleUnhandledError(raised);
    }
    EXPECT_EQ(raised.rfind(message, 0), 0u) << raised;
    EXPECT_EQ(app_->State(), STATE_STOPPED);
    ASSERT_EQ(dialogs_.size(), 1u) << content;
    EXPECT_NE(dialogs_[0].find(message), std::string::npos) << dialogs_[0];
    // Start again from a closed interface, so the next file is read.
    app_->CloseInterface();
    app_.reset();
    SetUp();
  }
}
