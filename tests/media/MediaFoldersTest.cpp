#include "media/MediaFolders.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/TextCollation.h"
#include "render/Random.h"

using namespace lorvane;

namespace {

// Puts the default preference lists in force for one test and restores what was there.
class MediaTypes : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = ExtensionLists();
    LoadExtensionLists("\".AVI\",\".MPG\",\".MPEG\",\".WMV\", \".MKV\"",
                       "\".MP3\",\".WAV\",\".CDA\",\".WMA\",\".MID\",\".MIDI\",\".MKV\"",
                       "\".ASX\",\".M3U\",\".PLS\",\".mp4\"");
  }
  void TearDown() override { SetExtensionLists(*saved_); }
  std::shared_ptr<const TKLDExtensionLists> saved_;
};

std::string Captions(const TKLDMediaList& list) {
  std::string text;
  for (int i = 0; i < list.Count(); ++i) text += (i ? "," : "") + list.Item(i)->Caption;
  return text;
}

}  // namespace

TEST_F(MediaTypes, NamesAreTypedByTheirEnding) {
  EXPECT_EQ(DetectMediaType("Holiday.JPG"), MEDIA_PICTURE);
  EXPECT_EQ(DetectMediaType("holiday.jpeg"), MEDIA_PICTURE);
  EXPECT_EQ(DetectMediaType("scan.tiff"), MEDIA_PICTURE);
  EXPECT_EQ(DetectMediaType("sticker.webp"), MEDIA_PICTURE);
  EXPECT_EQ(DetectMediaType("archive.tar.gz"), MEDIA_UNKNOWN);
  EXPECT_EQ(DetectMediaType("README"), MEDIA_UNKNOWN);
  EXPECT_EQ(DetectMediaType(""), MEDIA_UNKNOWN);
  EXPECT_EQ(DetectMediaType("Albums/"), MEDIA_FOLDER);
  EXPECT_EQ(DetectMediaType("with.dots.mp3/"), MEDIA_FOLDER);
  EXPECT_EQ(DetectMediaType("Films/.."), MEDIA_PARENT);
  EXPECT_EQ(DetectMediaType(".."), MEDIA_PARENT);
  EXPECT_EQ(DetectMediaType("notes.Txt"), MEDIA_INFO);
  EXPECT_EQ(DetectMediaType("film.NFO"), MEDIA_INFO);
  EXPECT_EQ(DetectMediaType("skin.xml"), MEDIA_THEME);
  EXPECT_EQ(DetectMediaType("party.m3u"), MEDIA_PLAYLIST);
  EXPECT_EQ(DetectMediaType("song.Mp3"), MEDIA_AUDIO);
  EXPECT_EQ(DetectMediaType("clip.mpeg"), MEDIA_VIDEO);
}

TEST_F(MediaTypes, ListsAreMatchedExactlyAndVideoWinsOverAudio) {
  // ".MKV" is in both lists: video is asked first.
  EXPECT_EQ(DetectMediaType("film.mkv"), MEDIA_VIDEO);
  // A list entry written in lower case never matches the upper-cased extension.
  EXPECT_EQ(DetectMediaType("clip.mp4"), MEDIA_UNKNOWN);
  TKLDExtensionLists own;
  own.audio = {".OGG"};
  EXPECT_EQ(DetectMediaType("tune.ogg", own), MEDIA_AUDIO);
  EXPECT_EQ(DetectMediaType("film.mkv", own), MEDIA_UNKNOWN);
}

TEST(ExtensionLists, ItemsLoseQuotesAndBlanks) {
  EXPECT_EQ(SplitExtensionList("\".AVI\", .MKV ,\"\",,\".TS\""),
            (std::vector<std::string>{".AVI", ".MKV", ".TS"}));
  EXPECT_TRUE(SplitExtensionList("").empty());
}

TEST(FileSize, TextByMagnitudeAndBeyondTwoGigabytes) {
  EXPECT_EQ(FileSizeText(0), "0 Bytes");
  EXPECT_EQ(FileSizeText(1023), "1023 Bytes");
  EXPECT_EQ(FileSizeText(1024), "1.00 KB");
  EXPECT_EQ(FileSizeText(1536), "1.50 KB");
  EXPECT_EQ(FileSizeText(1048575), "1024.00 KB");
  EXPECT_EQ(FileSizeText(1048576), "1.00 MB");
  EXPECT_EQ(FileSizeText(1073741823), "1024.00 MB");
  EXPECT_EQ(FileSizeText(2147483648LL), "2.00 GB");
  EXPECT_EQ(FileSizeText(3221225472LL), "3.00 GB");
  EXPECT_EQ(FileSizeText(5LL << 40), "5120.00 GB");
}

TEST(MediaList, AddFindAndCopy) {
  TKLDMediaList list;
  TKLDMediaItem* a = list.AddItem("Song", MEDIA_AUDIO, "", "/m/Song.mp3");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(list.AddUniqueItem("Song", MEDIA_AUDIO, "", "/n/Song.mp3"), nullptr);
  EXPECT_NE(list.AddUniqueItem("Song", MEDIA_VIDEO, "", "/m/Song.mkv"), nullptr) << "other type";
  EXPECT_NE(list.AddUniqueItem("song", MEDIA_AUDIO, "", "/m/song.mp3"), nullptr) << "exact captions";
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.FindByURL("/m/Song.mkv"), list.Item(1));
  EXPECT_EQ(list.FindByURL("/M/Song.mkv"), nullptr);
  EXPECT_EQ(list.Item(3), nullptr);
  EXPECT_EQ(list.Item(-1), nullptr);
  EXPECT_EQ(list.IndexOf(a), 0);

  a->Size = 3221225472LL;
  a->Date = 1700000000;
  a->ImagePath = "/m/cover.jpg";
  TKLDMediaItem copy;
  copy.Assign(*a);
  EXPECT_EQ(copy.Caption, "Song");
  EXPECT_EQ(copy.MediaType, MEDIA_AUDIO);
  EXPECT_EQ(copy.URL, "/m/Song.mp3");
  EXPECT_EQ(copy.ImagePath, "/m/cover.jpg");
  EXPECT_EQ(copy.Size, 3221225472LL);
  EXPECT_EQ(copy.Date, 1700000000);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(MediaList, PlayableIsEverythingButFoldersAndParents) {
  TKLDMediaItem item;
  for (uint8_t type = MEDIA_PARENT; type <= MEDIA_UNKNOWN; ++type) {
    item.MediaType = type;
    EXPECT_EQ(item.IsPlayable(), type >= MEDIA_PLAYLIST) << int(type);
  }
}

TEST(MediaList, SortTypeChangeResetsTheDirection) {
  TKLDMediaList list;
  EXPECT_EQ(list.SortType(), SORT_NAME);
  list.SetSortDescending(true);
  list.SetSortType(SORT_NAME);
  EXPECT_TRUE(list.SortDescending()) << "the same type keeps the direction";
  list.SetSortType(SORT_DATE);
  EXPECT_FALSE(list.SortDescending());
}

TEST(MediaList, ByNameIgnoresCaseKeepsParentsFirstAndMixesFolders) {
  TKLDMediaList list;
  list.AddItem("cherry", MEDIA_AUDIO, "", "c");
  list.AddItem("Banana/", MEDIA_FOLDER, "", "b");
  list.AddItem("Music/", MEDIA_PARENT, "", "..");
  list.AddItem("apple", MEDIA_VIDEO, "", "a");
  list.AddItem("Date", MEDIA_AUDIO, "", "d");
  list.Sort();
  EXPECT_EQ(Captions(list), "Music/,apple,Banana/,cherry,Date");
  list.SetSortDescending(true);
  list.Sort();
  EXPECT_EQ(Captions(list), "Music/,Date,cherry,Banana/,apple");
}

TEST(MediaList, ByNameSurvivesNamesThatAreNotUtf8) {
  TKLDMediaList list;
  list.AddItem("zeta", MEDIA_AUDIO, "", "z");
  list.AddItem("caf\xE9", MEDIA_AUDIO, "", "x");
  list.AddItem("Alpha", MEDIA_AUDIO, "", "a");
  list.Sort();
  EXPECT_EQ(list.Item(0)->Caption, "Alpha");
  EXPECT_EQ(list.Item(1)->Caption, "caf\xE9") << "the caption keeps its own bytes";
  EXPECT_EQ(DisplayText("caf\xE9"), "caf\xEF\xBF\xBD");
  EXPECT_EQ(DisplayText("caf\xC3\xA9"), "caf\xC3\xA9");
}

TEST(MediaList, ByDateBothWaysParentsFirst) {
  TKLDMediaList list;
  list.AddItem("new", MEDIA_AUDIO, "", "n")->Date = 300;
  list.AddItem("old", MEDIA_AUDIO, "", "o")->Date = 100;
  list.AddItem("up", MEDIA_PARENT, "", "..")->Date = 999;
  list.AddItem("mid", MEDIA_AUDIO, "", "m")->Date = 200;
  list.SetSortType(SORT_DATE);
  list.Sort();
  EXPECT_EQ(Captions(list), "up,old,mid,new");
  list.SetSortDescending(true);
  list.Sort();
  EXPECT_EQ(Captions(list), "up,new,mid,old");
}

TEST(MediaList, OtherSortTypesAndShortListsKeepTheirOrder) {
  TKLDMediaList list;
  list.AddItem("b", MEDIA_AUDIO, "", "b");
  list.SetSortType(SORT_SHUFFLE);
  uint32_t seed = KLDRandom().Seed();
  list.Sort();
  EXPECT_EQ(KLDRandom().Seed(), seed) << "one item: nothing drawn";
  list.AddItem("a", MEDIA_AUDIO, "", "a");
  list.SetSortType(7);
  list.Sort();
  EXPECT_EQ(Captions(list), "b,a");
}

TEST(MediaList, ShuffleDrawsFromTheProgramSourceAndKeepsTheLeadingParent) {
  auto fill = [](TKLDMediaList& list) {
    list.AddItem("up", MEDIA_PARENT, "", "..");
    for (char c = 'a'; c <= 'p'; ++c) list.AddItem(std::string(1, c), MEDIA_AUDIO, "", "");
    list.SetSortType(SORT_SHUFFLE);
  };
  TKLDMediaList first, second;
  fill(first);
  fill(second);
  TKLDRandom& random = KLDRandom();
  const uint32_t start = random.Seed();
  first.Sort();
  // One draw per position from the last down to the second.
  TKLDRandom replay(start);
  for (int i = 0; i < first.Count() - 1; ++i) replay.Step();
  EXPECT_EQ(random.Seed(), replay.Seed());

  random.SetSeed(start);
  second.Sort();
  EXPECT_EQ(Captions(first), Captions(second)) << "the same seed gives the same order";
  EXPECT_EQ(first.Item(0)->Caption, "up");
  EXPECT_NE(Captions(first), "up,a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p");
  std::string sorted = Captions(first);
  std::sort(sorted.begin(), sorted.end());
  std::string expected = "up,a,b,c,d,e,f,g,h,i,j,k,l,m,n,o,p";
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(sorted, expected) << "a shuffle loses and doubles nothing";

  // A worker's own generator leaves the program's alone.
  TKLDRandom own(42);
  const uint32_t before = random.Seed();
  first.Sort(own);
  EXPECT_EQ(random.Seed(), before);
}
