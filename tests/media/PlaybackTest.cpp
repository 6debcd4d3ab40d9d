// The media manager playing real files through libmpv (no display: the players own themselves).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "media/DirectShowHelper.h"
#include "media/MediaTestSupport.h"
#include "media/Video.h"
#include "media/Visualisation.h"
#include "render/DirectXHelper.h"
#include "render/Screen.h"
#include "support/TestSupport.h"

using namespace lorvane;

namespace {

class PlaybackTest : public ::testing::Test, public test::MediaHarness {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir();
    auto make = [](const std::string& args, const std::string& name) {
      EXPECT_EQ(test::MakeMediaWithFfmpeg(args, dir_->File(name)), "");
    };
    make("-f lavfi -i testsrc=size=96x64:rate=10:duration=2 -f lavfi -i sine=frequency=440:duration=2 "
         "-c:v mpeg4 -c:a mp2 -shortest",
         "film.mkv");
    make("-f lavfi -i testsrc=size=64x48:rate=10:duration=40 -c:v mpeg4", "silent.mkv");
    make("-f lavfi -i sine=frequency=440:duration=2 -c:a mp2", "tone.mka");
    make("-f lavfi -i sine=frequency=660:duration=40 -ar 16000 -c:a mp2", "long.mka");
    // A film cut before its first cluster: every track declared, and not one frame.
    std::string film = test::ReadFile(dir_->File("film.mkv"));
    dir_->Write("cut.mkv", film.substr(0, film.find("\x1F\x43\xB6\x75")));
    dir_->Write("notes.mkv", "not a film at all\n");
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }

  void SetUp() override {
    TKLDPlayerSettings settings;
    settings.mpv.audioOutput = "null";
    settings.mpv.hardwareDecoding = "no";
    SetPlayerSettings(settings);
    InstallHelperPlayers();
  }
  void TearDown() override {
    VideoPlayerSlot().Release();
    VisualisationPlayerSlot().Release();
    SetVideoPlayerFactory(nullptr);
    SetVisualisationPlayerFactory(nullptr);
  }

  // Files of the test folder as the selection, the given one selected, into the stream.
  void Load(const std::vector<std::pair<std::string, uint8_t>>& files, int selected, int stream = 0) {
    TKLDPlaylist& list = manager.SelectionList();
    list.Clear();
    for (const auto& [name, type] : files) list.AddItem(name, type, "", dir_->File(name));
    manager.SetSelection(list.Item(selected));
    manager.ReplacePlaylist(stream);
  }

  // Runs frames (the manager's update) until the check holds or the time is up.
  template <class Check>
  bool Frames(Check check, int ms = 8000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      manager.UpdateStreams();
      if (check()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return check();
  }

  TKLDDXAllocator* Allocator(TKLDPlayerSlot& slot) {
    auto* player = dynamic_cast<TKLDHelperPlayer*>(slot.player.get());
    return player ? player->Allocator() : nullptr;
  }

  static test::TempDir* dir_;
};

test::TempDir* PlaybackTest::dir_ = nullptr;

}  // namespace

TEST_F(PlaybackTest, AFilmPlaysToItsEndWithoutHoldingUpTheFrame) {
  Load({{"film.mkv", MEDIA_VIDEO}}, 0);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_NE(VideoPlayerSlot().player, nullptr);
  EXPECT_TRUE(VideoPlayerSlot().player->Loading()) << "the file opens on the player's own thread";
  EXPECT_EQ(Count("onprimarymedia"), 1);
  EXPECT_EQ(meta.GetValue("media.current.name"), "film.mkv");
  ASSERT_TRUE(Frames([&] { return manager.GetPosition() >= 1; })) << "the position advances";
  EXPECT_EQ(manager.GetDuration(), 2);
  EXPECT_TRUE(manager.IsVideoStarting());
  EXPECT_TRUE(timer.VideoSync()) << "the frames pace the interface once the film has opened";
  TKLDDXAllocator* player = Allocator(VideoPlayerSlot());
  ASSERT_NE(player, nullptr);
  EXPECT_GT(player->FramesPresented(), 2);
  ASSERT_TRUE(Frames([&] { return manager.Primary().State() == STREAM_STOPPED; }));
  EXPECT_EQ(Count("onstop"), 1) << "the end of the only item ends the playlist";
  EXPECT_EQ(VideoPlayerSlot().player, nullptr);
  EXPECT_FALSE(timer.VideoSync());
  EXPECT_TRUE(errors.empty());
}

TEST_F(PlaybackTest, FilesThatCannotPlayAsFilmShowTheirStagesError) {
  for (const std::string name : {"tone.mka", "cut.mkv", "notes.mkv", "absent.mkv"}) {
    errors.clear();
    events.clear();
    logged.clear();
    Load({{name, MEDIA_VIDEO}}, 0);
    ASSERT_TRUE(manager.Play("primary")) << name << ": opening goes on in the background";
    ASSERT_TRUE(Frames([&] { return manager.Primary().State() == STREAM_STOPPED; })) << name;
    logger.DeliverEcho();
    ASSERT_EQ(errors.size(), 1u) << name;
    EXPECT_EQ(errors[0], "^[error.video.unsupported.text]|^[error.video.unsupported.description]") << name;
    EXPECT_EQ(Count("onstop"), 1) << name;
    if (name == "tone.mka")
      EXPECT_TRUE(Logged("ERROR: Failed to build VMR9 compatible render graph for file (check codecs)"));
    else
      EXPECT_TRUE(Logged("ERROR: Failed to render direct show file, error: ")) << name;
    EXPECT_EQ(VideoPlayerSlot().player, nullptr);
  }
}

TEST_F(PlaybackTest, MusicThatCannotPlayIsSkippedQuietly) {
  Load({{"notes.mkv", MEDIA_AUDIO}, {"absent.mka", MEDIA_AUDIO}, {"tone.mka", MEDIA_AUDIO}}, 0);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_TRUE(Frames([&] { return manager.Primary().Playlist().CurrentIndex() == 2 && manager.GetPosition() >= 1; }));
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(manager.Primary().State(), STREAM_PLAYING);
}

TEST_F(PlaybackTest, SkipsAreLimitedAndTheLastOneEndsTheFilm) {
  Load({{"silent.mkv", MEDIA_VIDEO}}, 0);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_TRUE(Frames([&] { return manager.GetDuration() == 40 && !VideoPlayerSlot().player->Loading(); }));
  timer.MarkFrameStart();
  EXPECT_TRUE(manager.SkipForward("primary"));
  ASSERT_TRUE(Frames([&] { return manager.GetPosition() >= 30; }, 3000)) << "+30 s";
  clock += 200;
  timer.MarkFrameStart();
  EXPECT_TRUE(manager.SkipBack("primary")) << "refused 200 ms later, but reported as done";
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_GE(manager.GetPosition(), 30);
  clock += 400;
  timer.MarkFrameStart();
  EXPECT_TRUE(manager.SkipBack("primary"));
  ASSERT_TRUE(Frames([&] { return manager.GetPosition() < 30; }, 3000)) << "-10 s";
  // 20 s before the end, +30 s seeks to the end exactly, and the film ends.
  clock += 600;
  timer.MarkFrameStart();
  EXPECT_TRUE(manager.SkipForward("primary"));
  ASSERT_TRUE(Frames([&] { return manager.Primary().State() == STREAM_STOPPED; }, 4000));
  EXPECT_EQ(Count("onstop"), 1);
}

TEST_F(PlaybackTest, SeekingBeyondTheEndOfMusicMovesOn) {
  Load({{"long.mka", MEDIA_AUDIO}, {"tone.mka", MEDIA_AUDIO}}, 0);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_TRUE(Frames([&] { return manager.GetDuration() == 40; }));
  TKLDMediaPlayer* player = VisualisationPlayerSlot().player.get();
  ASSERT_TRUE(player->Seek(100));
  ASSERT_TRUE(Frames([&] { return manager.Primary().Playlist().CurrentIndex() == 1; }));
  EXPECT_EQ(manager.Primary().State(), STREAM_PLAYING);
}

TEST_F(PlaybackTest, MusicMovesBetweenTheStreamsAndMutesOnce) {
  Load({{"long.mka", MEDIA_AUDIO}}, 0, 0);
  Load({{"long.mka", MEDIA_AUDIO}}, 0, 1);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_TRUE(Frames([&] { return manager.GetPosition() >= 1; }));
  ASSERT_TRUE(manager.Play("secondary"));
  EXPECT_EQ(manager.Primary().State(), STREAM_STOPPED) << "taken over";
  EXPECT_EQ(Count("onstop"), 0) << "a takeover raises nothing";
  EXPECT_EQ(VisualisationPlayerSlot().owner, &manager.Secondary().VisualisationRenderer());
  ASSERT_TRUE(Frames([&] { return !VisualisationPlayerSlot().player->Loading(); }));
  ASSERT_TRUE(manager.VolumeDown());
  TKLDDXAllocator* player = Allocator(VisualisationPlayerSlot());
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(player->GetVolume(), -100);
  EXPECT_TRUE(manager.Mute());
  EXPECT_FALSE(manager.Mute()) << "the second mute fails";
  ASSERT_TRUE(Frames([&] { return !player->Fading(); }, 3000));
  EXPECT_EQ(player->GetVolume(), -4000);
  EXPECT_EQ(player->SavedVolume(), -100);
  EXPECT_EQ(Count("onmuted"), 1);
  EXPECT_TRUE(manager.Unmute());
  ASSERT_TRUE(Frames([&] { return !player->Fading(); }, 3000));
  EXPECT_EQ(player->GetVolume(), -100);
  // A step down while muted is heard at the new level, not the one from before the mute.
  ASSERT_TRUE(manager.Mute());
  ASSERT_TRUE(Frames([&] { return !player->Fading(); }, 3000));
  ASSERT_TRUE(manager.VolumeDown());
  ASSERT_TRUE(Frames([&] { return !player->Fading(); }, 3000));
  EXPECT_EQ(player->GetVolume(), -200);
}

TEST_F(PlaybackTest, PausingAndStoppingMusicFadeWithoutWaiting) {
  Load({{"long.mka", MEDIA_AUDIO}, {"tone.mka", MEDIA_AUDIO}}, 0);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_TRUE(Frames([&] { return manager.GetPosition() >= 1; }));
  TKLDMediaPlayer* first = VisualisationPlayerSlot().player.get();
  auto started = std::chrono::steady_clock::now();
  ASSERT_TRUE(manager.Pause("primary"));
  // Well under the 0.7 s the fade lasts, with room for a slow, shared machine.
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(400));
  EXPECT_EQ(manager.Primary().State(), STREAM_PAUSED) << "at once";
  EXPECT_EQ(VisualisationPlayerSlot().player, nullptr) << "the fading player left the slot";
  EXPECT_EQ(TKLDVisualisationRenderer::FadingPlayer(), first);
  EXPECT_GE(manager.GetPosition(), 1) << "its position still shows";
  // Play during the ramp takes it back and fades up.
  ASSERT_TRUE(manager.Play("primary"));
  EXPECT_EQ(VisualisationPlayerSlot().player.get(), first);
  EXPECT_EQ(TKLDVisualisationRenderer::FadingPlayer(), nullptr);
  ASSERT_TRUE(Frames([&] { return !first->Fading(); }, 3000));
  EXPECT_EQ(Allocator(VisualisationPlayerSlot())->GetVolume(), 0) << "back at full volume";
  // A pause left to its end comes back to the slot, paused.
  ASSERT_TRUE(manager.Pause("primary"));
  ASSERT_TRUE(Frames([&] { return TKLDVisualisationRenderer::FadingPlayer() == nullptr; }, 3000));
  EXPECT_EQ(VisualisationPlayerSlot().player.get(), first);
  const int position = manager.GetPosition();
  std::this_thread::sleep_for(std::chrono::milliseconds(1200));
  EXPECT_EQ(manager.GetPosition(), position) << "paused";
  // The next track starts at once while the old one fades out.
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_TRUE(Frames([&] { return !first->Fading(); }, 3000));
  ASSERT_TRUE(manager.Next("primary"));
  EXPECT_EQ(TKLDVisualisationRenderer::FadingPlayer(), first);
  ASSERT_NE(VisualisationPlayerSlot().player, nullptr);
  EXPECT_NE(VisualisationPlayerSlot().player.get(), first);
  ASSERT_TRUE(Frames([&] { return TKLDVisualisationRenderer::FadingPlayer() == nullptr; }, 3000));
  ASSERT_TRUE(manager.Stop("primary"));
  EXPECT_EQ(manager.Primary().State(), STREAM_STOPPED);
  EXPECT_NE(TKLDVisualisationRenderer::FadingPlayer(), nullptr);
  ASSERT_TRUE(Frames([&] { return TKLDVisualisationRenderer::FadingPlayer() == nullptr; }, 3000));
  EXPECT_EQ(VisualisationPlayerSlot().player, nullptr) << "a stopped player is released after its fade";
}

// With a display: what the renderers draw, and a lost device.
class PlaybackDisplayTest : public PlaybackTest {
 protected:
  void SetUp() override {
    PlaybackTest::SetUp();
    module_ = std::make_unique<TKLDDisplayModule>();
    module_->Screen().SetSize(320, 240);
    module_->Screen().SetVSync(false);
    module_->Screen().Prepare();
    module_->Screen().Open();
    DirectXHelper()->SetPlayerFactory(&TKLDDXAllocator::Create);
  }
  void TearDown() override {
    PlaybackTest::TearDown();
    manager.Stop("primary");
    manager.Stop("secondary");
    TKLDVisualisationRenderer::UpdateFading();
    VisualisationPlayerSlot().Release();
    module_.reset();
  }
  // One frame: the primary over the left half, the secondary over the right; its pixels.
  std::vector<uint32_t> Frame() {
    TKLDDirectXHelper* dx = DirectXHelper();
    manager.UpdateStreams();
    std::vector<uint32_t> pixels;
    if (!dx->BeginFrame()) return pixels;
    manager.Primary().Render({0, 0, 160, 240});
    manager.Secondary().Render({160, 0, 160, 240});
    int width = 0, height = 0;
    EXPECT_TRUE(dx->ReadFrame(pixels, width, height));
    dx->EndFrame();
    dx->PresentFrame();
    return pixels;
  }
  static int Lit(const std::vector<uint32_t>& pixels, int fromX, int toX) {
    int lit = 0;
    for (size_t i = 0; i < pixels.size(); ++i) {
      const int x = static_cast<int>(i % 320);
      if (x >= fromX && x < toX && (pixels[i] & 0xFFFFFF) > 0x202020) ++lit;
    }
    return lit;
  }
  std::unique_ptr<TKLDDisplayModule> module_;
};

TEST_F(PlaybackDisplayTest, ALostDeviceEndsTheFilmAndKeepsTheMusic) {
  Load({{"film.mkv", MEDIA_VIDEO}}, 0, 0);
  Load({{"long.mka", MEDIA_AUDIO}}, 0, 1);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_TRUE(manager.Play("secondary"));
  EXPECT_NE(DirectXHelper()->VideoPlayer(), nullptr) << "the helper made the film's player";
  std::vector<uint32_t> first, later;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline && Lit(first, 0, 160) < 5000) first = Frame();
  ASSERT_GT(Lit(first, 0, 160), 5000) << "the film's frames fill its window";
  // A 3:2 film in a 2:3 window is letter-boxed: the top rows stay dark.
  int topLit = 0;
  for (int x = 0; x < 160; ++x) topLit += (first[static_cast<size_t>(5) * 320 + x] & 0xFFFFFF) > 0x202020;
  EXPECT_EQ(topLit, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  later = Frame();
  EXPECT_GT(Lit(later, 160, 320), 2000) << "the visualisation draws beside it";
  DirectXHelper()->ForceDeviceLoss();
  // Noticed as the frame ends, recovered as the next begins, seen by the update after that.
  for (int i = 0; i < 3; ++i) Frame();
  EXPECT_EQ(DirectXHelper()->VideoPlayer(), nullptr);
  EXPECT_EQ(manager.Primary().State(), STREAM_STOPPED) << "the film ended with the device";
  EXPECT_EQ(Count("onstop"), 1);
  EXPECT_EQ(manager.Secondary().State(), STREAM_PLAYING) << "the music plays on";
  EXPECT_NE(DirectXHelper()->VisualisationPlayer(), nullptr);
  EXPECT_GT(Lit(Frame(), 160, 320), 2000);
}
