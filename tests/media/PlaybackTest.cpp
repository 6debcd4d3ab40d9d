// The media manager playing real files through libmpv (no display: the players own themselves).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/Reaper.h"
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
    make("-f lavfi -i sine=frequency=550:duration=40.3 -c:a mp2", "ending.mka");
    // A dark film with two sound tracks, subtitles inside and subtitles beside it; a line a
    // second, so that a track chosen mid-way shows soon.
    std::string inside, beside;
    for (int second = 0; second < 30; ++second) {
      const std::string from = "00:00:" + std::string(second < 10 ? "0" : "") + std::to_string(second) + ",000";
      const std::string to = "00:00:" + std::string(second < 9 ? "0" : "") + std::to_string(second + 1) + ",000";
      inside += std::to_string(second + 1) + "\n" + from + " --> " + to + "\nINSIDE INSIDE\n\n";
      beside += std::to_string(second + 1) + "\n" + from + " --> " + to + "\nBESIDE BESIDE\n\n";
    }
    dir_->Write("inside.srt", inside);
    dir_->Write("tracks.en.srt", beside);
    make("-f lavfi -i color=c=black:size=320x240:rate=10:duration=30 -f lavfi -i sine=frequency=440:duration=30 "
         "-f lavfi -i sine=frequency=660:duration=30 -i '" + dir_->File("inside.srt") + "' "
         "-map 0 -map 1 -map 2 -map 3 -c:v mpeg4 -c:a mp2 -c:s srt "
         "-metadata:s:a:0 language=eng -metadata:s:a:0 title=Main "
         "-metadata:s:a:1 language=fre -metadata:s:a:1 title=Commentary "
         "-metadata:s:s:0 language=ger -metadata:s:s:0 title=Inside",
         "tracks.mkv");
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
    // Released players close on the reaper thread; they finish before the logger goes.
    EXPECT_TRUE(DrainDisposals(10000));
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
  EXPECT_EQ(manager.Primary().State(), STREAM_PLAYING);
  EXPECT_EQ(Count("onprimarymedia"), 0) << "not before the file has opened";
  EXPECT_EQ(meta.GetValue("media.current.name"), "");
  ASSERT_TRUE(Frames([&] { return manager.GetPosition() >= 1; })) << "the position advances";
  EXPECT_EQ(Count("onprimarymedia"), 1);
  EXPECT_EQ(meta.GetValue("media.current.name"), "film.mkv");
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

TEST_F(PlaybackTest, APausedFilmNoLongerPacesTheInterface) {
  Load({{"silent.mkv", MEDIA_VIDEO}}, 0);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_TRUE(Frames([&] { return manager.GetPosition() >= 1; }));
  TKLDDXAllocator* player = Allocator(VideoPlayerSlot());
  ASSERT_NE(player, nullptr);
  ASSERT_TRUE(manager.Pause("primary"));
  EXPECT_FALSE(timer.VideoSync());
  // mpv renders on after a pause (the frames it had queued, a seek's new picture): here a seek
  // makes sure at least one frame comes.
  const int presented = player->FramesPresented();
  ASSERT_TRUE(player->Seek(20));
  ASSERT_TRUE(Frames([&] { return player->FramesPresented() > presented; }, 4000));
  for (int i = 0; i < 3; ++i) timer.FrameTick();
  EXPECT_FALSE(timer.VideoSync()) << "the paused film does not pace the interface";
  EXPECT_EQ(timer.TimeoutsInARow(), 0) << "no frame waited for the paused film";
  ASSERT_TRUE(manager.Play("primary"));
  EXPECT_TRUE(timer.VideoActive());
  EXPECT_FALSE(timer.VideoSync()) << "the loop runs free until the film shows a frame again";
  ASSERT_TRUE(Frames([&] { return timer.VideoSync(); }, 4000)) << "playing again paces it once more";
}

TEST_F(PlaybackTest, ATrackThatEndsWhileItsPauseFadesMovesOnWhenPlayed) {
  Load({{"ending.mka", MEDIA_AUDIO}, {"tone.mka", MEDIA_AUDIO}}, 0);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_TRUE(Frames([&] { return manager.GetDuration() == 40 && !VisualisationPlayerSlot().player->Loading(); }));
  // A third of a second left, and a fade of 0.7 s: the track ends while it fades out.
  ASSERT_TRUE(VisualisationPlayerSlot().player->Seek(40));
  ASSERT_TRUE(manager.Pause("primary"));
  ASSERT_NE(TKLDVisualisationRenderer::FadingPlayer(), nullptr);
  ASSERT_TRUE(Frames([&] { return TKLDVisualisationRenderer::FadingPlayer() == nullptr; }, 3000));
  Frames([] { return false; }, 300);
  EXPECT_EQ(manager.Primary().State(), STREAM_PAUSED) << "a pause stays a pause";
  EXPECT_EQ(manager.Primary().Playlist().CurrentIndex(), 0);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_TRUE(Frames([&] { return manager.Primary().Playlist().CurrentIndex() == 1 && manager.GetPosition() >= 1; }))
      << "the ended track finishes and the next one plays";
  EXPECT_EQ(manager.Primary().State(), STREAM_PLAYING);
}

TEST_F(PlaybackTest, AFilmStoppedWhileItOpensClosesQuietlyOffTheFrame) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    Load({{"silent.mkv", MEDIA_VIDEO}}, 0);
    ASSERT_TRUE(manager.Play("primary"));
    ASSERT_TRUE(VideoPlayerSlot().player->Loading());
    ASSERT_TRUE(manager.Stop("primary"));
    EXPECT_EQ(VideoPlayerSlot().player, nullptr) << "the slot is free at once";
    EXPECT_TRUE(DrainDisposals(10000)) << "the player closed on the reaper";
  }
  logger.DeliverEcho();
  EXPECT_FALSE(Logged("ERROR")) << "giving up an open is no error";
  EXPECT_TRUE(errors.empty());
}

TEST_F(PlaybackTest, SubtitlesAndSoundTracksSwitchAndSubtitlesShowInTheFrame) {
  Load({{"tracks.mkv", MEDIA_VIDEO}}, 0);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_TRUE(Frames([&] { return manager.GetPosition() >= 1; }));
  TKLDDXAllocator* player = Allocator(VideoPlayerSlot());
  ASSERT_NE(player, nullptr);
  EXPECT_EQ(meta.GetValue("media.current.audiotrack"), "eng Main") << "published as the film opened";
  // Bright pixels of the latest frame, once the presenter has rendered a few more.
  auto litNow = [&] {
    const int from = player->FramesPresented();
    Frames([&] { return player->FramesPresented() >= from + 15; }, 4000);
    std::vector<uint32_t> pixels;
    int width = 0, height = 0;
    if (!player->CopyFrame(pixels, width, height)) return -1;
    int lit = 0;
    for (uint32_t pixel : pixels) lit += (pixel & 0xFF) > 0x80;
    return lit;
  };
  // Round the subtitles: each track once, and none.
  std::vector<std::string> seen{meta.GetValue("media.current.subtitle")};
  std::vector<int> lit{litNow()};
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(manager.NextSubtitle("primary"));
    seen.push_back(meta.GetValue("media.current.subtitle"));
    lit.push_back(litNow());
  }
  EXPECT_EQ(seen[0], seen[3]) << "three steps come round";
  for (size_t i = 0; i < 3; ++i) {
    const std::string& track = seen[i];
    SCOPED_TRACE("subtitle \"" + track + "\"");
    if (track.empty()) EXPECT_EQ(lit[i], 0) << "none: the dark film stays dark";
    else EXPECT_GT(lit[i], 30) << "drawn into the frame";
  }
  EXPECT_NE(std::find(seen.begin(), seen.end(), "ger Inside"), seen.end());
  EXPECT_NE(std::find(seen.begin(), seen.end(), ""), seen.end());
  EXPECT_EQ(std::count_if(seen.begin(), seen.begin() + 3,
                          [](const std::string& track) { return track.find("tracks.en.srt") != std::string::npos; }),
            1)
      << "the file beside the film is one of the choices";
  // The sound goes round its two tracks.
  ASSERT_TRUE(manager.NextAudioTrack("primary"));
  EXPECT_EQ(meta.GetValue("media.current.audiotrack"), "fre Commentary");
  ASSERT_TRUE(manager.NextAudioTrack("primary"));
  EXPECT_EQ(meta.GetValue("media.current.audiotrack"), "eng Main");
  // Music has no tracks to switch.
  manager.Stop("primary");
  EXPECT_FALSE(manager.NextSubtitle("primary"));
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
    EXPECT_EQ(events, std::vector<std::string>{}) << name << ": the error alone, as when opening fails at once";
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
    module_->Screen().SetSize(width_, height_);
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
  // One frame: the primary over the left half, the secondary over the right (or the primary
  // over the whole screen); its pixels.
  std::vector<uint32_t> Frame(bool primaryOnly = false) {
    TKLDDirectXHelper* dx = DirectXHelper();
    manager.UpdateStreams();
    std::vector<uint32_t> pixels;
    if (!dx->BeginFrame()) return pixels;
    if (primaryOnly) {
      manager.Primary().Render({0, 0, width_, height_});
    } else {
      manager.Primary().Render({0, 0, 160, 240});
      manager.Secondary().Render({160, 0, 160, 240});
    }
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
  int width_ = 320, height_ = 240;
};

// A television's screen.
class PlaybackFullScreenTest : public PlaybackDisplayTest {
 protected:
  PlaybackFullScreenTest() { width_ = 1920, height_ = 1080; }
  // Lit pixels of a row.
  int LitInRow(const std::vector<uint32_t>& pixels, int y) const {
    int lit = 0;
    for (int x = 0; x < width_; ++x) lit += (pixels[static_cast<size_t>(y) * width_ + x] & 0xFFFFFF) > 0x808080;
    return lit;
  }
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

TEST_F(PlaybackFullScreenTest, AFilmOfWidePixelsFillsTheScreenWithItsRealShape) {
  // 720 x 576 seen at 16:9, as on every PAL disc: the whole 1920 x 1080 screen is picture.
  EXPECT_EQ(test::MakeMediaWithFfmpeg("-f lavfi -i color=c=white:size=720x576:rate=25:duration=3 "
                                      "-vf setsar=64/45 -c:v mpeg4",
                                      dir_->File("pal.mkv")),
            "");
  Load({{"pal.mkv", MEDIA_VIDEO}}, 0);
  ASSERT_TRUE(manager.Play("primary"));
  const std::vector<uint32_t> black(static_cast<size_t>(width_) * height_, 0);
  std::vector<uint32_t> pixels = black;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
  while (std::chrono::steady_clock::now() < deadline && LitInRow(pixels, height_ / 2) < width_ - 4) {
    pixels = Frame(true);
    if (pixels.size() != black.size()) pixels = black;
  }
  ASSERT_GE(LitInRow(pixels, height_ / 2), width_ - 4) << "the film shows";
  EXPECT_GE(LitInRow(pixels, 0), width_ - 4) << "no bar above the picture";
  EXPECT_GE(LitInRow(pixels, height_ - 1), width_ - 4) << "no bar below it";
  TKLDDXAllocator* player = Allocator(VideoPlayerSlot());
  ASSERT_NE(player, nullptr);
  std::vector<uint32_t> frame;
  int width = 0, height = 0;
  ASSERT_TRUE(player->CopyFrame(frame, width, height));
  EXPECT_EQ(width, 1024) << "rendered at the size it is seen at";
  EXPECT_EQ(height, 576);
}

TEST_F(PlaybackDisplayTest, AFilmShotUprightIsTurnedAsItsFileSaysWithoutEndingTheProgram) {
  // Stored 320 x 180 with red over blue; its file says it is seen turned a quarter, as a phone
  // held upright films: 180 x 320 with red on the left. mpv's own turning aborts the process.
  ASSERT_EQ(test::MakeMediaWithFfmpeg("-f lavfi -i color=c=red:size=320x90:rate=25:duration=3 "
                                      "-f lavfi -i color=c=blue:size=320x90:rate=25:duration=3 "
                                      "-filter_complex vstack -c:v mpeg4 -q:v 2",
                                      dir_->File("stored.mp4")),
            "");
  ASSERT_EQ(test::MakeMediaWithFfmpeg("-i " + dir_->File("stored.mp4") + " -c copy -metadata:s:v:0 rotate=90",
                                      dir_->File("upright.mp4")),
            "");
  Load({{"upright.mp4", MEDIA_VIDEO}}, 0);
  ASSERT_TRUE(manager.Play("primary"));
  std::vector<uint32_t> frame;
  int width = 0, height = 0;
  auto red = [](uint32_t p) { return ((p >> 16) & 0xFF) > 180 && (p & 0xFF) < 80; };
  auto blue = [](uint32_t p) { return (p & 0xFF) > 180 && ((p >> 16) & 0xFF) < 80; };
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(8);
  TKLDDXAllocator* player = nullptr;
  while (std::chrono::steady_clock::now() < deadline) {
    Frame();
    player = Allocator(VideoPlayerSlot());
    if (player && player->CopyFrame(frame, width, height) && width == 180 && height == 320 &&
        red(frame[160 * 180 + 20]))
      break;
  }
  ASSERT_NE(player, nullptr) << "the film opened";
  ASSERT_EQ(width, 180) << "rendered upright";
  ASSERT_EQ(height, 320);
  EXPECT_TRUE(red(frame[160 * 180 + 20])) << std::hex << frame[160 * 180 + 20];
  EXPECT_TRUE(blue(frame[160 * 180 + 160])) << std::hex << frame[160 * 180 + 160];
  EXPECT_EQ(manager.Primary().State(), STREAM_PLAYING);
}
