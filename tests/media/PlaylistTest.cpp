#include "media/Playlist.h"

#include <gtest/gtest.h>

using namespace lorvane;

namespace {

void Fill(TKLDPlaylist& list, int count) {
  for (int i = 0; i < count; ++i)
    list.AddItem("item" + std::to_string(i), MEDIA_AUDIO, "", "/m/" + std::to_string(i) + ".mp3");
}

}  // namespace

TEST(Playlist, EmptyListHasNoCurrentItem) {
  TKLDPlaylist list;
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_FALSE(list.HasCurrent());
  EXPECT_EQ(list.Current(), nullptr);
  list.SetCurrentIndex(3);
  EXPECT_FALSE(list.First());
  EXPECT_EQ(list.CurrentIndex(), -1);
  EXPECT_FALSE(list.Next());
  EXPECT_FALSE(list.Previous());
  list.SetRepeat(true);
  EXPECT_FALSE(list.Next()) << "repeat has nowhere to go in an empty list";
  EXPECT_EQ(list.CurrentIndex(), -1);
}

TEST(Playlist, NextAndPreviousStopAtTheEndsWithoutRepeat) {
  TKLDPlaylist list;
  Fill(list, 3);
  ASSERT_TRUE(list.First());
  EXPECT_FALSE(list.HasPrevious());
  EXPECT_TRUE(list.HasNext());
  EXPECT_FALSE(list.Previous());
  EXPECT_EQ(list.CurrentIndex(), 0);
  EXPECT_TRUE(list.Next());
  EXPECT_TRUE(list.Next());
  EXPECT_FALSE(list.HasNext());
  EXPECT_FALSE(list.Next());
  EXPECT_EQ(list.Current()->Caption, "item2") << "the last item stays current";
  EXPECT_TRUE(list.Previous());
  EXPECT_EQ(list.CurrentIndex(), 1);
}

TEST(Playlist, RepeatWrapsBothWays) {
  TKLDPlaylist list;
  Fill(list, 3);
  list.SetRepeat(true);
  list.First();
  EXPECT_TRUE(list.Previous());
  EXPECT_EQ(list.CurrentIndex(), 2);
  EXPECT_TRUE(list.Next());
  EXPECT_EQ(list.CurrentIndex(), 0);
}

TEST(Playlist, EndedBlocksMovesUntilFirstOrClear) {
  TKLDPlaylist list;
  Fill(list, 3);
  list.SetRepeat(true);
  list.First();
  list.Next();
  list.MarkEnded();
  EXPECT_TRUE(list.Ended());
  EXPECT_FALSE(list.Next());
  EXPECT_FALSE(list.Previous());
  EXPECT_EQ(list.CurrentIndex(), 1);
  EXPECT_TRUE(list.First());
  EXPECT_FALSE(list.Ended());
  EXPECT_TRUE(list.Next());

  list.MarkEnded();
  list.Clear();
  EXPECT_FALSE(list.Ended());
  EXPECT_EQ(list.CurrentIndex(), -1);
  EXPECT_TRUE(list.IsEmpty());
}

TEST(Playlist, SetCurrentFindsTheItemOrForgets) {
  TKLDPlaylist list, other;
  Fill(list, 3);
  Fill(other, 1);
  list.SetCurrent(list.Item(2));
  EXPECT_EQ(list.CurrentIndex(), 2);
  list.SetCurrent(other.Item(0));
  EXPECT_EQ(list.CurrentIndex(), -1);
}

TEST(Playlist, AppendPlayableCopiesFilesOnly) {
  TKLDMediaList source;
  source.AddItem("", MEDIA_PARENT, "", "/m/..");
  source.AddItem("Albums/", MEDIA_FOLDER, "", "/m/Albums/");
  source.AddItem("song", MEDIA_AUDIO, "", "/m/song.mp3")->Size = 5;
  source.AddItem("party", MEDIA_PLAYLIST, "", "/m/party.m3u");
  source.AddItem("notes", MEDIA_UNKNOWN, "", "/m/notes");
  TKLDPlaylist list;
  Fill(list, 1);
  list.AppendPlayable(source);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Item(1)->URL, "/m/song.mp3");
  EXPECT_EQ(list.Item(1)->Size, 5);
  EXPECT_NE(list.Item(1), source.Item(2)) << "items are copied, not shared";
  EXPECT_EQ(list.Item(2)->MediaType, MEDIA_PLAYLIST);
  EXPECT_EQ(list.Item(3)->MediaType, MEDIA_UNKNOWN);
  // Appending a list to itself doubles it once.
  list.AppendPlayable(list);
  EXPECT_EQ(list.Count(), 8);
}
