// The desktop's media controls: what the bus is shown of the media manager, and calls on a
// private session bus (run by ctest under dbus-run-session) reaching the manager's operations.
#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "app/MprisBridge.h"
#include "media/MediaTestSupport.h"
#include "media/Video.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

using Clock = std::chrono::steady_clock;
using test::FakePlayer;
using test::ScopedEnv;

// A media manager with two songs in the primary stream's playlist, playing through fake players.
class MediaControlsTest : public ::testing::Test, public test::MediaHarness {
 protected:
  void SetUp() override {
    auto factory = [this](const std::string&, uint8_t&) -> std::unique_ptr<TKLDMediaPlayer> {
      auto player = std::make_unique<FakePlayer>();
      last = player.get();
      return player;
    };
    SetVideoPlayerFactory(factory);
    SetVisualisationPlayerFactory(factory);
    Select({{"one.mp3", MEDIA_AUDIO}, {"two & three.mp3", MEDIA_AUDIO}}, 2);
    manager.ReplacePlaylist(0);
  }
  void TearDown() override {
    VideoPlayerSlot().Release();
    VisualisationPlayerSlot().Release();
    SetVideoPlayerFactory(nullptr);
    SetVisualisationPlayerFactory(nullptr);
  }
  TMprisBridge bridge{[this] { return &manager; }, [this] { ++raised; }};
  FakePlayer* last = nullptr;
  int raised = 0;
};

TEST_F(MediaControlsTest, TheBusIsShownWhatPlays) {
  TMprisState state = TMprisBridge::StateOf(&manager);
  EXPECT_EQ(state.status, "Stopped");
  EXPECT_TRUE(state.trackId.empty()) << "nothing plays";
  EXPECT_TRUE(state.canPlay);
  EXPECT_DOUBLE_EQ(state.volume, 1.0);

  ASSERT_TRUE(manager.Play(""));
  ASSERT_NE(last, nullptr);
  last->position = 7;
  state = TMprisBridge::StateOf(&manager);
  EXPECT_EQ(state.status, "Playing");
  EXPECT_EQ(state.title, "one.mp3");
  EXPECT_EQ(state.url, "file:///media/one.mp3");
  EXPECT_EQ(state.trackId, TMprisBridge::TrackId(0, 0));
  EXPECT_EQ(state.lengthUs, 100'000'000);
  EXPECT_EQ(state.positionUs, 7'000'000);
  EXPECT_TRUE(state.canGoNext);
  EXPECT_FALSE(state.canGoPrevious);
  EXPECT_TRUE(state.canSeek);

  manager.Next("");
  state = TMprisBridge::StateOf(&manager);
  EXPECT_EQ(state.url, "file:///media/two%20%26%20three.mp3") << "addresses are escaped";
  EXPECT_EQ(state.trackId, TMprisBridge::TrackId(0, 1));

  EXPECT_EQ(TMprisBridge::StateOf(nullptr).status, "Stopped") << "no interface, nothing plays";
  EXPECT_DOUBLE_EQ(TMprisBridge::VolumeOf(-40, false), 0.0);
  EXPECT_DOUBLE_EQ(TMprisBridge::VolumeOf(-10, false), 0.75);
  EXPECT_DOUBLE_EQ(TMprisBridge::VolumeOf(0, true), 0.0);
}

TMprisCall Call(TMprisCallKind kind, int64_t microseconds = 0) {
  TMprisCall call;
  call.kind = kind;
  call.microseconds = microseconds;
  return call;
}

TEST_F(MediaControlsTest, CallsGoThroughTheManagersOperations) {
  bridge.Perform(Call(TMprisCallKind::Play));
  ASSERT_EQ(manager.Primary().State(), STREAM_PLAYING);
  bridge.Perform(Call(TMprisCallKind::PlayPause));
  EXPECT_EQ(manager.Primary().State(), STREAM_PAUSED);
  bridge.Perform(Call(TMprisCallKind::Play));
  EXPECT_EQ(manager.Primary().State(), STREAM_PLAYING);

  last->position = 50;
  bridge.Perform(Call(TMprisCallKind::Seek, 20'000'000));
  EXPECT_EQ(last->position, 70);
  bridge.Perform(Call(TMprisCallKind::Seek, -90'000'000));
  EXPECT_EQ(last->position, 0) << "not before the start";
  TMprisCall to = Call(TMprisCallKind::SetPosition, 42'000'000);
  to.trackId = TMprisBridge::TrackId(0, 0);
  bridge.Perform(to);
  EXPECT_EQ(last->position, 42);
  to.trackId = TMprisBridge::TrackId(0, 1);
  to.microseconds = 10'000'000;
  bridge.Perform(to);
  EXPECT_EQ(last->position, 42) << "a position for another track is ignored";

  TMprisCall volume = Call(TMprisCallKind::SetVolume);
  volume.volume = 0.5;
  bridge.Perform(volume);
  EXPECT_EQ(manager.Volume(), -20);
  volume.volume = 0;
  bridge.Perform(volume);
  EXPECT_TRUE(manager.Muted()) << "volume 0 mutes";
  volume.volume = 7;
  bridge.Perform(volume);
  EXPECT_EQ(manager.Volume(), 0);
  EXPECT_FALSE(manager.Muted());

  bridge.Perform(Call(TMprisCallKind::Next));
  EXPECT_EQ(manager.Primary().Playlist().CurrentIndex(), 1);
  bridge.Perform(Call(TMprisCallKind::Seek, 500'000'000));
  EXPECT_EQ(last->position, 100) << "past the end of the last track goes to its end";
  bridge.Perform(Call(TMprisCallKind::Raise));
  EXPECT_EQ(raised, 1);

  TMprisBridge idle([] { return nullptr; }, nullptr);
  idle.Perform(Call(TMprisCallKind::Play));  // no interface: nothing to do, and no crash
}

TEST_F(MediaControlsTest, WithoutASessionBusThereIsOneInfoLine) {
  test::TempDir empty;
  ScopedEnv bus("DBUS_SESSION_BUS_ADDRESS", nullptr);
  ScopedEnv runtime("XDG_RUNTIME_DIR", empty.Path().c_str());
  bridge.Start(nullptr);
  auto deadline = Clock::now() + std::chrono::seconds(10);
  auto said = [&] { return std::count_if(logged.begin(), logged.end(), [](const std::string& l) {
    return l.find(" INFO: No session bus") != std::string::npos; }); };
  while (said() == 0 && Clock::now() < deadline) {
    bridge.Poll();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  for (int i = 0; i < 10; ++i) bridge.Poll();
  EXPECT_EQ(said(), 1);
  EXPECT_EQ(logged.size(), 1u);
}

// On a private bus: ctest runs these under dbus-run-session and says so with LORVANE_PRIVATE_BUS,
// so that a test run from a desktop never shows up on its real session bus.
class MediaControlsBusTest : public MediaControlsTest {
 protected:
  void SetUp() override {
    if (!std::getenv("LORVANE_PRIVATE_BUS")) GTEST_SKIP() << "run by ctest under dbus-run-session";
    MediaControlsTest::SetUp();
    ASSERT_GE(sd_bus_open_user(&client), 0);
    bridge.Start(nullptr);
    ASSERT_TRUE(PollUntil([this] {
      return sd_bus_get_name_creds(client, TMprisService::kBusName, 0, nullptr) >= 0;
    })) << "the name was never taken";
  }
  void TearDown() override {
    bridge.Stop();
    if (client) sd_bus_flush_close_unref(client);
    MediaControlsTest::TearDown();
  }
  // Lets the bridge carry out what arrived, as the host's loop does, until `done`.
  bool PollUntil(const std::function<bool()>& done) {
    auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!done()) {
      if (Clock::now() > deadline) return false;
      bridge.Poll();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
  }
  bool Call(const char* method) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    int r = sd_bus_call_method(client, TMprisService::kBusName, TMprisService::kObjectPath,
                               "org.mpris.MediaPlayer2.Player", method, &error, nullptr, "");
    sd_bus_error_free(&error);
    return r >= 0;
  }
  std::string Status() {
    char* value = nullptr;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    sd_bus_get_property_string(client, TMprisService::kBusName, TMprisService::kObjectPath,
                               "org.mpris.MediaPlayer2.Player", "PlaybackStatus", &error, &value);
    sd_bus_error_free(&error);
    std::string status = value ? value : "";
    free(value);
    return status;
  }
  sd_bus* client = nullptr;
};

TEST_F(MediaControlsBusTest, PlayPauseAndSkipReachTheMediaManager) {
  EXPECT_EQ(Status(), "Stopped");
  ASSERT_TRUE(Call("Play"));
  ASSERT_TRUE(PollUntil([this] { return manager.Primary().State() == STREAM_PLAYING; }));
  ASSERT_NE(last, nullptr) << "a player was opened";
  ASSERT_TRUE(PollUntil([this] { return Status() == "Playing"; }));

  ASSERT_TRUE(Call("Pause"));
  ASSERT_TRUE(PollUntil([this] { return manager.Primary().State() == STREAM_PAUSED; }));
  ASSERT_TRUE(PollUntil([this] { return Status() == "Paused"; }));

  ASSERT_TRUE(Call("PlayPause"));
  ASSERT_TRUE(PollUntil([this] { return manager.Primary().State() == STREAM_PLAYING; }));
  ASSERT_TRUE(Call("Next"));
  ASSERT_TRUE(PollUntil([this] { return manager.Primary().Playlist().CurrentIndex() == 1; }));
  ASSERT_TRUE(Call("Previous"));
  ASSERT_TRUE(PollUntil([this] { return manager.Primary().Playlist().CurrentIndex() == 0; }));

  // The volume is a property the desktop sets.
  sd_bus_error error = SD_BUS_ERROR_NULL;
  ASSERT_GE(sd_bus_set_property(client, TMprisService::kBusName, TMprisService::kObjectPath,
                                "org.mpris.MediaPlayer2.Player", "Volume", &error, "d", 0.25),
            0)
      << error.message;
  sd_bus_error_free(&error);
  ASSERT_TRUE(PollUntil([this] { return manager.Volume() == -30; }));

  ASSERT_TRUE(Call("Stop"));
  ASSERT_TRUE(PollUntil([this] { return manager.Primary().State() == STREAM_STOPPED; }));
  EXPECT_FALSE(Call("OpenUri")) << "not offered";
  ASSERT_TRUE(PollUntil([this] { return Status() == "Stopped"; }));
}

}  // namespace
}  // namespace lorvane
