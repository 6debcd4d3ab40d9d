#include "media/MediaManager.h"

#include <gtest/gtest.h>

#include <utility>

#include "media/Empty.h"
#include "media/MediaInfo.h"
#include "media/Picture.h"
#include "media/Video.h"
#include "media/Visualisation.h"
#include "media/MediaTestSupport.h"

using namespace lorvane;
using lorvane::test::FakePlayer;
using lorvane::test::MediaHarness;

namespace {

class MediaManagerTest : public ::testing::Test, public MediaHarness {
 protected:
  ~MediaManagerTest() override {
    VideoPlayerSlot().Release();
    VisualisationPlayerSlot().Release();
    SetVideoPlayerFactory(nullptr);
    SetVisualisationPlayerFactory(nullptr);
  }
  // Installs factories whose players the test can reach; `fail` makes opens fail at that stage.
  void InstallPlayers(uint8_t failStage = TKLDMediaPlayer::STAGE_NONE) {
    auto factory = [this, failStage](const std::string& url, uint8_t& stage) -> std::unique_ptr<TKLDMediaPlayer> {
      opened.push_back(url);
      if (failStage != TKLDMediaPlayer::STAGE_NONE) {
        stage = failStage;
        return nullptr;
      }
      auto player = std::make_unique<FakePlayer>();
      last = player.get();
      return player;
    };
    SetVideoPlayerFactory(factory);
    SetVisualisationPlayerFactory(factory);
  }
  std::vector<std::string> opened;
  FakePlayer* last = nullptr;
};

}  // namespace

TEST_F(MediaManagerTest, PlayingAnEmptyPlaylistFailsQuietly) {
  EXPECT_FALSE(manager.Play("primary"));
  EXPECT_FALSE(manager.Play("anything")) << "falls back to the secondary, which is empty too";
  EXPECT_TRUE(events.empty());
  EXPECT_TRUE(errors.empty());
  EXPECT_EQ(manager.Primary().State(), STREAM_STOPPED);
}

TEST_F(MediaManagerTest, StreamsAreMadeOnDemandPrimaryFirst) {
  EXPECT_EQ(manager.ExistingCurrentStream(), nullptr) << "media windows draw nothing yet";
  TKLDMediaStream& secondary = manager.Secondary();
  EXPECT_EQ(manager.Streams().Count(), 2);
  EXPECT_FALSE(secondary.IsPrimary());
  EXPECT_EQ(&manager.CurrentStream(), &manager.Primary());
}

TEST_F(MediaManagerTest, VolumeStaysWithinItsLimits) {
  EXPECT_FALSE(manager.VolumeUp()) << "already at the loudest";
  int accepted = 0;
  for (int i = 0; i < 41; ++i) accepted += manager.VolumeDown();
  EXPECT_EQ(accepted, 40);
  EXPECT_EQ(manager.Volume(), -40);
  EXPECT_FALSE(manager.VolumeDown());
  EXPECT_TRUE(manager.VolumeUp());
  EXPECT_EQ(manager.Volume(), -39);
  manager.UpdateStreams();
  EXPECT_EQ(meta.GetValue("media.current.volume"), "-39");
  EXPECT_EQ(manager.Primary().VideoRenderer().Volume(), -39) << "a stream made late starts at the volume";
}

TEST_F(MediaManagerTest, MuteOnceUnmuteOnceAndVolumeChangesUnmuteSilently) {
  EXPECT_FALSE(manager.Unmute());
  EXPECT_TRUE(manager.Mute());
  EXPECT_FALSE(manager.Mute()) << "second mute fails";
  EXPECT_EQ(Count("onmuted"), 1);
  EXPECT_TRUE(manager.Muted());
  EXPECT_TRUE(manager.VolumeDown());
  EXPECT_FALSE(manager.Muted());
  EXPECT_EQ(Count("onunmuted"), 0) << "volume changes unmute without the event";
  EXPECT_TRUE(manager.ToggleMute());
  EXPECT_TRUE(manager.ToggleMute());
  EXPECT_EQ(Count("onunmuted"), 1);
}

TEST_F(MediaManagerTest, VolumeChangeWhileMutedLetsThePlayerBeHeardAgain) {
  InstallPlayers();
  Select({{"song.mp3", MEDIA_AUDIO}}, 2);
  manager.ReplacePlaylist(0);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_TRUE(manager.Mute());
  ASSERT_TRUE(last->muted);
  ASSERT_TRUE(manager.VolumeDown());
  EXPECT_FALSE(last->muted);
  EXPECT_EQ(last->volume, -100) << "hundredths of a decibel";
}

TEST_F(MediaManagerTest, APlayerOpensAtTheVolumeChosenWhileAnotherRendererWasCurrent) {
  InstallPlayers();
  manager.Primary();  // made now, on its empty renderer
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(manager.VolumeDown());
  Select({{"song.mp3", MEDIA_AUDIO}}, 2);
  manager.ReplacePlaylist(0);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(last->volume, -300);
}

TEST_F(MediaManagerTest, ReplacePlaylistStartsAtTheSelectedPictureWithoutFolders) {
  Select({{"a.jpg", MEDIA_PICTURE}, {"b.jpg", MEDIA_PICTURE}, {"c.jpg", MEDIA_PICTURE}}, 3);
  EXPECT_EQ(meta.GetValue("media.selection.name"), "b.jpg");
  EXPECT_EQ(meta.GetValue("media.selection.icon"), "/media/b.jpg");
  manager.ReplacePlaylist(0);
  TKLDPlaylist& list = manager.Primary().Playlist();
  ASSERT_EQ(list.Count(), 3);
  for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(list.Item(i)->MediaType, MEDIA_PICTURE);
  EXPECT_EQ(list.Current()->URL, "/media/b.jpg");

  ASSERT_TRUE(manager.Play("primary"));
  EXPECT_EQ(manager.Primary().RendererKind(), RENDERER_PICTURE);
  EXPECT_EQ(meta.GetValue("media.current.name"), "b.jpg");
  EXPECT_EQ(meta.GetValue("media.primary.type"), "picture");
  EXPECT_EQ(meta.GetValue("playlist.current.itemindex"), "2");
  EXPECT_EQ(meta.GetValue("playlist.primary.itemcount"), "3");
  EXPECT_EQ(Count("onprimarymedia"), 1);

  // Appending to a list that is not empty keeps its current item.
  Select({{"d.jpg", MEDIA_PICTURE}}, 2);
  manager.EnqueueSelection(0);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Current()->URL, "/media/b.jpg");
  manager.ClearPlaylist(0);
  EXPECT_TRUE(list.IsEmpty());
}

TEST_F(MediaManagerTest, AFolderSelectionStartsAtTheFirstItem) {
  Select({{"a.jpg", MEDIA_PICTURE}, {"b.jpg", MEDIA_PICTURE}}, 1);
  manager.ReplacePlaylist(1);
  EXPECT_FALSE(manager.Secondary().Playlist().HasCurrent());
  ASSERT_TRUE(manager.Play("secondary"));
  EXPECT_EQ(manager.Secondary().Playlist().CurrentIndex(), 0);
  EXPECT_EQ(Count("onsecondarymedia"), 1);
  EXPECT_EQ(&manager.CurrentStream(), &manager.Secondary()) << "the primary is not active";
  EXPECT_EQ(meta.GetValue("media.current.name"), "a.jpg");
  EXPECT_EQ(meta.GetValue("media.secondary.name"), "a.jpg");
  EXPECT_EQ(meta.GetValue("media.primary.name"), "");
}

TEST_F(MediaManagerTest, SecondaryPrimaryPausesThePrimaryWhenTheSecondaryIsStopped) {
  Select({{"a.jpg", MEDIA_PICTURE}}, 2);
  manager.ReplacePlaylist(0);
  ASSERT_TRUE(manager.Play("primary"));
  EXPECT_TRUE(manager.Pause("secondaryprimary"));
  EXPECT_EQ(manager.Primary().State(), STREAM_PAUSED);
  EXPECT_EQ(manager.Secondary().State(), STREAM_STOPPED);
  EXPECT_FALSE(manager.Pause("secondary"));
  EXPECT_TRUE(manager.TogglePause("primary"));
  EXPECT_EQ(manager.Primary().State(), STREAM_PLAYING);
}

TEST_F(MediaManagerTest, StopEndsThePlaylistUntilItIsReloaded) {
  Select({{"a.jpg", MEDIA_PICTURE}, {"b.jpg", MEDIA_PICTURE}}, 2);
  manager.ReplacePlaylist(0);
  ASSERT_TRUE(manager.Play(""));
  EXPECT_TRUE(manager.Stop(""));
  EXPECT_EQ(Count("onstop"), 1);
  EXPECT_FALSE(manager.Stop("primary")) << "already stopped";
  EXPECT_FALSE(manager.Play("primary")) << "an ended playlist does not play again";
  manager.ReplacePlaylist(0);
  EXPECT_TRUE(manager.Play("primary"));
}

TEST_F(MediaManagerTest, NextAndPreviousMoveAndSwitchRenderers) {
  InstallPlayers();
  Select({{"a.jpg", MEDIA_PICTURE}, {"b.mp3", MEDIA_AUDIO}, {"c.txt", MEDIA_INFO}}, 2);
  manager.ReplacePlaylist(0);
  ASSERT_TRUE(manager.Play("primary"));
  EXPECT_FALSE(manager.Previous("primary")) << "no item before the first";
  ASSERT_TRUE(manager.Next("primary"));
  EXPECT_EQ(manager.Primary().RendererKind(), RENDERER_VISUALISATION);
  EXPECT_EQ(opened, std::vector<std::string>{"/media/b.mp3"});
  EXPECT_EQ(meta.GetValue("media.current.type"), "audio");
  EXPECT_FALSE(manager.Next("primary")) << "nothing can play an info file";
  EXPECT_EQ(manager.Primary().RendererKind(), RENDERER_EMPTY);
  EXPECT_EQ(VisualisationPlayerSlot().player, nullptr) << "the music stopped on the way";
  EXPECT_TRUE(errors.empty()) << "and it shows no error";
}

TEST_F(MediaManagerTest, VideoWithoutAPlayerFailsWithTheInstallationError) {
  Select({{"film.avi", MEDIA_VIDEO}}, 2);
  manager.ReplacePlaylist(0);
  EXPECT_FALSE(manager.Play("primary"));
  EXPECT_EQ(manager.Primary().State(), STREAM_STOPPED);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "^[error.video.installation.text]|^[error.video.installation.description]");
  EXPECT_TRUE(Logged("ERROR: Video playback is not available: no video player in this build"));
}

TEST_F(MediaManagerTest, VideoOpenFailuresShowTheStagesError) {
  InstallPlayers(TKLDMediaPlayer::STAGE_UNSUPPORTED);
  Select({{"film.avi", MEDIA_VIDEO}}, 2);
  manager.ReplacePlaylist(0);
  EXPECT_FALSE(manager.Play("primary"));
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0], "^[error.video.unsupported.text]|^[error.video.unsupported.description]");
  EXPECT_EQ(manager.Primary().State(), STREAM_STOPPED);
}

TEST_F(MediaManagerTest, VideoSkipsAreLimitedAndStopAtTheEnds) {
  InstallPlayers();
  Select({{"film.avi", MEDIA_VIDEO}}, 2);
  manager.ReplacePlaylist(0);
  ASSERT_TRUE(manager.Play("primary"));
  last->position = 80;
  timer.MarkFrameStart();
  EXPECT_TRUE(manager.SkipForward("primary"));
  EXPECT_EQ(last->position, 100) << "20 s before the end seeks to the end exactly";
  clock += 200;
  timer.MarkFrameStart();
  EXPECT_TRUE(manager.SkipBack("primary")) << "a refused skip still reports success";
  EXPECT_EQ(last->seeks, 1);
  clock += 400;
  timer.MarkFrameStart();
  last->position = 4;
  EXPECT_TRUE(manager.SkipBack("primary"));
  EXPECT_EQ(last->position, 0);
  EXPECT_TRUE(manager.IsVideoStarting());
  EXPECT_TRUE(timer.VideoActive());
  EXPECT_EQ(manager.GetDuration(), 100);
  // A stream that does not know its length skips forward all the same.
  last->duration = 0;
  last->position = 50;
  clock += 600;
  timer.MarkFrameStart();
  EXPECT_TRUE(manager.SkipForward("primary"));
  EXPECT_EQ(last->position, 80) << "not back to the start";
}

TEST_F(MediaManagerTest, AFinishedItemMovesOnAndTheLastStops) {
  InstallPlayers();
  Select({{"a.mp3", MEDIA_AUDIO}, {"b.mp3", MEDIA_AUDIO}}, 2);
  manager.ReplacePlaylist(0);
  ASSERT_TRUE(manager.Play("primary"));
  last->completed = true;
  manager.UpdateStreams();
  EXPECT_EQ(manager.Primary().Playlist().CurrentIndex(), 1);
  EXPECT_EQ(opened.size(), 2u);
  last->completed = true;
  manager.UpdateStreams();
  EXPECT_EQ(manager.Primary().State(), STREAM_STOPPED);
  EXPECT_EQ(Count("onstop"), 1);
}

TEST_F(MediaManagerTest, AStreamThatMovedOntoAFileNothingShowsCanStillBeStopped) {
  InstallPlayers();
  Select({{"a.mp3", MEDIA_AUDIO}, {"notes.nfo", MEDIA_INFO}}, 2);
  manager.ReplacePlaylist(0);
  ASSERT_TRUE(manager.Play("primary"));
  EXPECT_FALSE(manager.Next("primary"));
  EXPECT_EQ(manager.Primary().RendererKind(), RENDERER_EMPTY);
  EXPECT_EQ(VisualisationPlayerSlot().player, nullptr) << "the music stopped";
  EXPECT_TRUE(errors.empty());
  ASSERT_EQ(manager.Primary().State(), STREAM_PLAYING);
  EXPECT_TRUE(manager.Stop("primary"));
  EXPECT_EQ(manager.Primary().State(), STREAM_STOPPED);
  EXPECT_EQ(Count("onstop"), 1);
}

TEST_F(MediaManagerTest, MusicInTheSecondaryTakesThePlayerFromThePrimary) {
  InstallPlayers();
  Select({{"a.mp3", MEDIA_AUDIO}}, 2);
  manager.ReplacePlaylist(0);
  manager.ReplacePlaylist(1);
  ASSERT_TRUE(manager.Play("primary"));
  ASSERT_TRUE(manager.Play("secondary"));
  EXPECT_EQ(manager.Primary().State(), STREAM_STOPPED);
  EXPECT_EQ(VisualisationPlayerSlot().owner, &manager.Secondary().VisualisationRenderer());
  EXPECT_EQ(opened.size(), 2u) << "a new player for the new file";
  EXPECT_EQ(&manager.CurrentStream(), &manager.Secondary());
}

TEST_F(MediaManagerTest, EmptyRendererRaisesOnEmptyOncePerFullScreenShowing) {
  TKLDMediaStream& stream = manager.Primary();
  stream.SetWindowRect({0, 0, 1920, 1080});
  stream.SetWindowRect({0, 0, 1920, 1080});
  EXPECT_EQ(Count("onempty"), 1);
  stream.SetWindowRect({0, 0, 640, 360});
  busy = true;
  stream.SetWindowRect({0, 0, 1920, 1080});
  EXPECT_EQ(Count("onempty"), 1) << "not while the action queue is busy";
  busy = false;
  stream.SetWindowRect({0, 0, 1920, 1080});
  EXPECT_EQ(Count("onempty"), 2);
}

// Films remember where they stopped through the info reader: a stop part way keeps the place,
// "play" asked to resume starts there, an ordinary play starts at the beginning, and a film
// that plays to its end forgets the place.
TEST_F(MediaManagerTest, AFilmStoppedPartWayStartsThereWhenAskedAndForgetsItWhenWatched) {
  LoadExtensionLists("\".AVI\"", "\".MP3\"", "");
  TKLDMediaInfoReader reader(nullptr);
  manager.SetInfoReader(&reader);
  InstallPlayers();
  Select({{"film.avi", MEDIA_VIDEO}}, 2);
  const std::string film = "/media/film.avi";
  manager.ReplacePlaylist(0);
  ASSERT_TRUE(manager.Play("primary"));
  last->position = 40;
  ASSERT_TRUE(manager.Stop("primary"));
  ASSERT_NE(reader.Find(film), nullptr);
  EXPECT_EQ(reader.Find(film)->resume, 40);
  manager.UpdateStreams();
  EXPECT_EQ(meta.GetValue("media.selection.resume"), "0:00:40") << "the selection shows it at once";

  manager.ReplacePlaylist(0);
  ASSERT_TRUE(manager.Play("primary"));
  EXPECT_EQ(last->seeks, 0) << "an ordinary play starts at the beginning";
  ASSERT_TRUE(manager.Stop("primary"));
  EXPECT_EQ(reader.Find(film)->resume, 40) << "stopped at once: the kept place stays";

  manager.ReplacePlaylist(0);
  manager.ResumeNextFilm();
  ASSERT_TRUE(manager.Play("primary"));
  EXPECT_EQ(last->position, 40);
  EXPECT_EQ(last->seeks, 1);
  // Played to its end.
  last->completed = true;
  manager.UpdateStreams();
  EXPECT_EQ(manager.Primary().State(), STREAM_STOPPED);
  EXPECT_EQ(reader.Find(film)->resume, 0);
  manager.UpdateStreams();
  EXPECT_EQ(meta.GetValue("media.selection.resume"), "");

  // The request is for one play only, and music ignores it.
  manager.ResumeNextFilm();
  Select({{"song.mp3", MEDIA_AUDIO}}, 2);
  manager.ReplacePlaylist(0);
  ASSERT_TRUE(manager.Play("primary"));
  EXPECT_FALSE(manager.TakeResumeRequest());
  manager.SetInfoReader(nullptr);
}
