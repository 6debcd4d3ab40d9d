#include "media/DirectShowHelper.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "base/Logging.h"
#include "support/TestSupport.h"

using namespace lorvane;

namespace {

// Test media is made once per run with ffmpeg's generators.
class PlayerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir();
    auto make = [](const std::string& args, const std::string& name) {
      EXPECT_EQ(test::MakeMediaWithFfmpeg(args, dir_->File(name)), "");
    };
    // 720 x 576 with square-ish pixels stretched to 16:9, with sound.
    make("-f lavfi -i testsrc=size=720x576:rate=25:duration=1 -f lavfi -i sine=frequency=440:duration=1 "
         "-vf setsar=64/45 -c:v mpeg4 -c:a mp2 -shortest",
         "wide.mkv");
    make("-f lavfi -i sine=frequency=440:duration=1 -c:a mp2", "tone.mka");
    // A song with its cover: the picture is a video track, but not a film.
    make("-f lavfi -i sine=frequency=440:duration=1 -f lavfi -i color=c=red:size=64x64:duration=1 -frames:v 1 "
         "-map 0 -map 1 -c:a libmp3lame -c:v mjpeg -disposition:v attached_pic",
         "covered.mp3");
    dir_->Write("notes.mkv", "these are not the frames you are looking for\n");
    // Every track declared, and not one frame: the file ends as soon as it has loaded.
    std::string film = test::ReadFile(dir_->File("wide.mkv"));
    dir_->Write("header.mkv", film.substr(0, film.find("\x1F\x43\xB6\x75")));
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
    SetGlobalLogger(&logger_);
    logger_.SetEchoList(&log_);
  }
  void TearDown() override {
    logger_.SetEchoList(nullptr);
    SetGlobalLogger(nullptr);
  }

  bool Logged(const std::string& text) const {
    for (const std::string& line : log_)
      if (line.find(text) != std::string::npos) return true;
    return false;
  }

  template <class Check>
  static bool WaitFor(Check check, int ms = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      if (check()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return check();
  }

  static test::TempDir* dir_;
  TKLDLogger logger_;
  std::vector<std::string> log_;
};

test::TempDir* PlayerTest::dir_ = nullptr;

}  // namespace

TEST(VideoFitting, FillsWidthOrHeightAndCentres) {
  // 16:9 in a 5:4 window: full width, letter-boxed.
  TKLDDXRect wide = FitVideoRect({0, 0, 1280, 1024}, 720, 576, 16.0f / 9.0f);
  EXPECT_EQ(wide.Left, 0);
  EXPECT_EQ(wide.Top, 152);
  EXPECT_EQ(wide.Right, 1280);
  EXPECT_EQ(wide.Bottom, 872);
  // 4:3 in a 16:9 window: full height, pillar-boxed, offsets kept relative to the window.
  TKLDDXRect narrow = FitVideoRect({100, 50, 100 + 1280, 50 + 720}, 640, 480, 4.0f / 3.0f);
  EXPECT_EQ(narrow.Left, 100 + 160);
  EXPECT_EQ(narrow.Top, 50);
  EXPECT_EQ(narrow.Right - narrow.Left, 960);
  EXPECT_EQ(narrow.Bottom - narrow.Top, 720);
  // Unknown size or aspect: stretched over the whole rectangle.
  TKLDDXRect unknown = FitVideoRect({10, 20, 30, 40}, 0, 0, 0);
  EXPECT_EQ(unknown.Left, 10);
  EXPECT_EQ(unknown.Bottom, 40);
}

TEST(VideoVolume, HundredthsOfADecibelMapOntoTheCubicScale) {
  EXPECT_DOUBLE_EQ(MpvVolumeFromHundredths(0), 100.0);
  EXPECT_NEAR(MpvVolumeFromHundredths(-4000), 21.5, 0.05);
  EXPECT_NEAR(MpvVolumeFromHundredths(-600), 79.4, 0.05);
  for (int volume : {0, -1, -250, -1000, -3999, -4000})
    EXPECT_EQ(HundredthsFromMpvVolume(MpvVolumeFromHundredths(volume)), volume);
  EXPECT_EQ(HundredthsFromMpvVolume(0), -10000);
}

TEST(PlayerOptions, AudioOutputsEndInNullAndNeverUseSdl) {
  bool refused = false;
  EXPECT_EQ(TKLDMpvPlayer::AudioOutputList("", refused), "pulse,alsa,null");
  EXPECT_FALSE(refused);
  EXPECT_EQ(TKLDMpvPlayer::AudioOutputList("alsa:device=hw", refused), "alsa:device=hw,null");
  EXPECT_EQ(TKLDMpvPlayer::AudioOutputList("null", refused), "null");
  EXPECT_EQ(TKLDMpvPlayer::AudioOutputList("sdl,pulse", refused), "pulse,null");
  EXPECT_TRUE(refused);
  EXPECT_EQ(TKLDMpvPlayer::AudioOutputList("sdl", refused), "pulse,alsa,null");
  EXPECT_TRUE(refused);
  // A run without a sound device (headless) plays its films silent, whatever mpv.conf says.
  EXPECT_EQ(TKLDMpvPlayer::AudioOutputList("pulse,alsa", refused, false), "null");
  EXPECT_EQ(TKLDMpvPlayer::AudioOutputList("sdl", refused, false), "null");
  EXPECT_TRUE(refused) << "the user is still told sdl is not used";
}

// Each file fails at the render stage, with the error of what it lacks.
TEST_F(PlayerTest, FilesThatCannotPlayAsFilmFailAtTheRenderStage) {
  const std::string noPicture = "ERROR: Failed to build VMR9 compatible render graph for file (check codecs)";
  const std::string unreadable = "ERROR: Failed to render direct show file, error: ";
  const std::pair<std::string, std::string> cases[] = {
      {"tone.mka", noPicture}, {"covered.mp3", noPicture}, {"absent.mkv", unreadable}, {"notes.mkv", unreadable}};
  for (const auto& [name, error] : cases) {
    log_.clear();
    TKLDDXAllocator player(dir_->File(name), true);
    EXPECT_FALSE(player.Open()) << name;
    EXPECT_EQ(player.Stage(), 3) << name;
    EXPECT_TRUE(Logged("Added default filters to DirectShow graph, now rendering file")) << name;
    EXPECT_TRUE(Logged(error)) << name;
    EXPECT_EQ(player.GetPosition(), 0);
    player.RenderFrame({0, 0, 10, 10});  // no helper, no player: nothing happens
  }
}

TEST_F(PlayerTest, AFilmThatEndsAsItLoadsFailsWithTheReasonEveryTime) {
  // The load and the end race each other inside the player; repeat to give the race its chances.
  for (int attempt = 0; attempt < 8; ++attempt) {
    log_.clear();
    TKLDDXAllocator player(dir_->File("header.mkv"), true);
    EXPECT_FALSE(player.Open());
    EXPECT_EQ(player.Stage(), 3);
    EXPECT_TRUE(Logged("ERROR: Failed to render direct show file, error: ")) << "attempt " << attempt;
    EXPECT_FALSE(Logged("VMR9 compatible")) << "attempt " << attempt;
  }
}

TEST_F(PlayerTest, VideoOpensWithItsDisplayAspectAndPresentsFrames) {
  TKLDDXAllocator player(dir_->File("wide.mkv"), true);
  ASSERT_TRUE(player.Open());
  EXPECT_EQ(player.Stage(), 0);
  EXPECT_EQ(player.VideoWidth(), 720);
  EXPECT_EQ(player.VideoHeight(), 576);
  EXPECT_NEAR(player.AspectRatio(), 16.0f / 9.0f, 0.01f);
  EXPECT_EQ(player.Duration(), 1);
  EXPECT_TRUE(Logged("Completed DirectShow initialisation, now ready to play media file"));
  ASSERT_TRUE(player.Run());
  ASSERT_TRUE(WaitFor([&] { return player.FramesPresented() > 2; }));
  std::vector<uint32_t> pixels;
  int width = 0, height = 0;
  ASSERT_TRUE(player.CopyFrame(pixels, width, height));
  ASSERT_EQ(width, 1024) << "the frame has the shape it is seen in";
  ASSERT_EQ(height, 576);
  // testsrc is colourful: the frame is not the black it was cleared to.
  int coloured = 0;
  for (uint32_t pixel : pixels) coloured += (pixel & 0xFFFFFF) != 0;
  EXPECT_GT(coloured, static_cast<int>(pixels.size()) / 2);
  EXPECT_TRUE(WaitFor([&] {
    player.PollEvents();
    return player.Completed();
  }));
  player.Shutdown();
  player.Shutdown();  // twice is harmless
}

TEST_F(PlayerTest, AudioPlaysToItsEndAndSeekingBeyondItEnds) {
  TKLDDXAllocator player(dir_->File("tone.mka"), false);
  ASSERT_TRUE(player.Open());
  EXPECT_EQ(player.Stage(), 0);
  ASSERT_TRUE(player.Run());
  EXPECT_FALSE(player.Completed());
  EXPECT_TRUE(player.Seek(100));
  EXPECT_TRUE(WaitFor([&] {
    player.PollEvents();
    return player.Completed();
  }));
}

TEST_F(PlayerTest, MutingKeepsTheFirstSavedVolume) {
  TKLDDXAllocator player(dir_->File("tone.mka"), false);
  ASSERT_TRUE(player.Open());
  ASSERT_TRUE(player.SetVolume(-1000));
  EXPECT_EQ(player.GetVolume(), -1000);
  EXPECT_TRUE(player.Mute());
  EXPECT_TRUE(player.Mute());
  EXPECT_EQ(player.SavedVolume(), -1000);
  EXPECT_EQ(player.GetVolume(), -4000);
  EXPECT_TRUE(player.Unmute());
  EXPECT_FALSE(player.Muted());
  EXPECT_EQ(player.GetVolume(), -1000);
  // A level set while muted stays silent and is the one the player comes back to.
  EXPECT_TRUE(player.Mute());
  EXPECT_TRUE(player.SetVolume(-2000));
  EXPECT_EQ(player.GetVolume(), -4000);
  EXPECT_TRUE(player.Unmute());
  EXPECT_EQ(player.GetVolume(), -2000);
}

TEST_F(PlayerTest, FadesStepWithTheClockWithoutBlocking) {
  uint32_t now = 1000;
  TKLDDXAllocator player(dir_->File("tone.mka"), false);
  player.SetClock([&] { return now; });
  ASSERT_TRUE(player.Open());
  // A small difference is one step, at once.
  ASSERT_TRUE(player.SetVolume(-1000));
  EXPECT_TRUE(player.FadeVolumeTo(-1900));
  EXPECT_FALSE(player.Fading());
  EXPECT_EQ(player.GetVolume(), -1900);
  // A large one: 19 steps 38 ms apart, then the target.
  ASSERT_TRUE(player.SetVolume(0));
  auto started = std::chrono::steady_clock::now();
  EXPECT_TRUE(player.FadeMute());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(500)) << "the fade lasts 0.7 s";
  EXPECT_TRUE(player.Muted());
  EXPECT_EQ(player.SavedVolume(), 0);
  EXPECT_TRUE(player.Fading());
  EXPECT_EQ(player.GetVolume(), -200);
  now += 37;
  player.PollEvents();
  EXPECT_EQ(player.GetVolume(), -200);
  now += 1;
  player.PollEvents();
  EXPECT_EQ(player.GetVolume(), -400);
  now += 38 * 17;
  player.PollEvents();
  EXPECT_EQ(player.GetVolume(), -3800);
  EXPECT_TRUE(player.Fading());
  now += 38;
  player.PollEvents();
  EXPECT_FALSE(player.Fading());
  EXPECT_EQ(player.GetVolume(), -4000);
  // Fading back up restores what was saved.
  EXPECT_TRUE(player.FadeUnmute());
  EXPECT_FALSE(player.Muted());
  now += 38 * 20;
  player.PollEvents();
  EXPECT_EQ(player.GetVolume(), 0);
  // A level chosen on the way up ends the ramp there.
  EXPECT_TRUE(player.FadeMute());
  now += 38 * 20;
  player.PollEvents();
  EXPECT_TRUE(player.FadeUnmute());
  now += 38 * 3;
  player.PollEvents();
  EXPECT_TRUE(player.SetVolume(-3000));
  EXPECT_FALSE(player.Fading());
  now += 38 * 20;
  player.PollEvents();
  EXPECT_EQ(player.GetVolume(), -3000);
}

TEST_F(PlayerTest, TheUsersMpvConfIsReadButSdlAudioIsRefused) {
  dir_->Write("mpv.conf", "# the living room\nao=sdl,null\nvolume=50\n");
  TKLDPlayerSettings settings;
  settings.mpv.configFile = dir_->File("mpv.conf");
  settings.mpv.hardwareDecoding = "no";
  SetPlayerSettings(settings);
  TKLDDXAllocator player(dir_->File("tone.mka"), false);
  ASSERT_TRUE(player.Open());
  EXPECT_TRUE(Logged("WARN: The sdl audio output is not used for playback"));
  EXPECT_EQ(player.GetVolume(), HundredthsFromMpvVolume(50));
}
