#include "media/UPnP.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "media/MediaLocations.h"
#include "support/StuckMount.h"
#include "support/TestSupport.h"

using namespace lorvane;
using lorvane::test::TempDir;
namespace fs = std::filesystem;

namespace {

// Two merged music folders that share a sub-folder, a virtual video folder and a picture
// folder, made fresh for each test.
class Browser : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_ = ExtensionLists();
    LoadExtensionLists("\".MKV\",\".AVI\"", "\".MP3\",\".FLAC\"", "\".M3U\"");
    dir_.Write("a/Shared/one.mp3", "1");
    dir_.Write("a/song.MP3", "22");
    dir_.Write("a/cover.jpg", "j");
    dir_.Write("a/notes.txt", "t");
    dir_.Write("a/skin.xml", "x");
    dir_.Write("a/README", "r");
    dir_.Write("a/.hidden.mp3", "h");
    dir_.Write("a/.secret/inside.mp3", "s");
    dir_.Write("a/mix.m3u", "m");
    dir_.Write("b/Shared/two.flac", "2");
    dir_.Write("b/Other/three.mp3", "3");
    dir_.Write("b/clip.mkv", "c");
    dir_.Write("films/Action/movie.mkv", "m");
    dir_.Write("films/poster.jpg", "p");
    dir_.Write("pics/Holiday.JPG", "h");
    dir_.Write("pics/archive.tar.gz", "a");
    // A film of 3 GiB that takes no room on disk.
    dir_.Write("films/big.mkv", "");
    ASSERT_EQ(truncate(dir_.File("films/big.mkv").c_str(), 3221225472LL), 0);

    locations_.SetNormalisePaths(true);
    locations_.LoadFromText(
        "<MediaManager><MediaLocations>"
        "<Music><Directory>" + dir_.File("a") + "</Directory><Directory>" + dir_.File("b") +
        "</Directory></Music>"
        "<Video><Directory name=\"Films\" virtual=\"yes\">" + dir_.File("films") + "</Directory></Video>"
        "<Pictures><Directory>" + dir_.File("pics") + "</Directory></Pictures>"
        "</MediaLocations></MediaManager>");
    browser_.SetLocations(&locations_);
  }
  void TearDown() override { SetExtensionLists(*saved_); }

  std::string Listing() const {
    std::string text;
    for (int i = 0; i < list_.Count(); ++i) {
      const TKLDMediaItem* item = list_.Item(i);
      text += (i ? " " : "") + MediaTypeLetter(item->MediaType) + ":" + item->Caption;
    }
    return text;
  }
  static std::string MediaTypeLetter(uint8_t type) { return std::string(1, "PFLTIAVNU"[type]); }

  TempDir dir_;
  TKLDMediaLocationParser locations_;
  TKLDUPnPManager browser_;
  TKLDPlaylist list_;
  std::shared_ptr<const TKLDExtensionLists> saved_;
};

}  // namespace

TEST(BrowserPaths, ParentPathAndMasks) {
  EXPECT_EQ(ParentPath(""), "");
  EXPECT_EQ(ParentPath("Films/"), "");
  EXPECT_EQ(ParentPath("Films/Action/"), "Films/");
  EXPECT_EQ(ParentPath("Films/Action/Old/"), "Films/Action/");
  EXPECT_EQ(CategoryMask(TKLDMediaCategory::Pictures), 87u);
  EXPECT_EQ(CategoryMask(TKLDMediaCategory::Video), 71u);
  EXPECT_EQ(CategoryMask(TKLDMediaCategory::Music), 103u);
  EXPECT_EQ(CategoryMask(TKLDMediaCategory::All) & 0x1FFu, 0x1FFu);
}

TEST_F(Browser, WithoutPlaylistNothingHappens) {
  EXPECT_FALSE(browser_.BrowseMusic("", nullptr));
}

TEST_F(Browser, MergedTopLevelListsSharedFoldersOnceAndNoParent) {
  list_.AddItem("stale", MEDIA_AUDIO, "", "/old");
  list_.First();
  list_.MarkEnded();
  ASSERT_TRUE(browser_.BrowseMusic("", &list_));
  EXPECT_EQ(Listing(), "V:clip L:mix F:Other/ F:Shared/ A:song");
  EXPECT_EQ(list_.CurrentIndex(), -1);
  EXPECT_FALSE(list_.Ended());
  const TKLDMediaItem* shared = list_.Item(3);
  EXPECT_EQ(shared->URL, dir_.File("a/Shared/")) << "the first location's folder";
  const TKLDMediaItem* song = list_.FindByURL(dir_.File("a/song.MP3"));
  ASSERT_NE(song, nullptr);
  EXPECT_EQ(song->Size, 2);
  EXPECT_GT(song->Date, 1000000000);
  EXPECT_TRUE(song->ImagePath.empty());
}

TEST_F(Browser, FoldersSortByTheirDatesAmongTheFiles) {
  auto stamp = [&](const std::string& name, std::time_t when) {
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, dir_.File(name).c_str(), times, 0), 0) << name;
  };
  stamp("a/Shared", 1500000000);
  stamp("b/Shared", 1100000000);  // the merged folder's second location does not count
  stamp("a/song.MP3", 1400000000);
  stamp("a/mix.m3u", 1600000000);
  stamp("b/Other", 1200000000);
  stamp("b/clip.mkv", 1300000000);
  list_.SetSortType(SORT_DATE);
  ASSERT_TRUE(browser_.BrowseMusic("", &list_));
  EXPECT_EQ(Listing(), "F:Other/ V:clip A:song F:Shared/ L:mix");
  EXPECT_EQ(list_.FindByURL(dir_.File("a/Shared/"))->Date, 1500000000);
}

TEST_F(Browser, OneLevelDownAddsExactlyOneParentFirstEvenDescending) {
  list_.SetSortDescending(true);
  ASSERT_TRUE(browser_.BrowseMusic("Shared/", &list_));
  EXPECT_EQ(Listing(), "P: A:two A:one");
  EXPECT_EQ(list_.Item(0)->URL, dir_.File("a/Shared/.."));
  ASSERT_TRUE(browser_.BrowseMusic("Other/", &list_));
  EXPECT_EQ(Listing(), "P: A:three") << "the folder only one location has";
  EXPECT_EQ(list_.Item(0)->URL, dir_.File("b/Other/.."));
}

TEST_F(Browser, ShuffledFolderKeepsTheWayBackOnTop) {
  for (int i = 0; i < 8; ++i) dir_.Write("a/Shared/extra" + std::to_string(i) + ".mp3", "x");
  list_.SetSortType(SORT_SHUFFLE);
  std::string first;
  for (int round = 0; round < 4; ++round) {
    ASSERT_TRUE(browser_.BrowseMusic("Shared/", &list_));
    ASSERT_EQ(list_.Count(), 11);
    EXPECT_EQ(list_.Item(0)->MediaType, MEDIA_PARENT) << Listing();
    if (round == 0) first = Listing();
  }
  EXPECT_NE(Listing(), first) << "each browse draws a new order";
}

TEST_F(Browser, VirtualFolderFromTheTopDown) {
  ASSERT_TRUE(browser_.BrowseVideo("", &list_));
  EXPECT_EQ(Listing(), "F:Films/");
  EXPECT_EQ(list_.Item(0)->URL, dir_.File("films/"));

  ASSERT_TRUE(browser_.BrowseVideo("Films/", &list_));
  EXPECT_EQ(Listing(), "P: F:Action/ V:big");
  EXPECT_EQ(list_.Item(0)->URL, dir_.File("films/.."));
  const TKLDMediaItem* big = list_.Item(2);
  EXPECT_EQ(big->Size, 3221225472LL);
  EXPECT_EQ(FileSizeText(big->Size), "3.00 GB");

  ASSERT_TRUE(browser_.BrowseVideo("Films/Action/", &list_));
  EXPECT_EQ(Listing(), "P: V:movie");
  EXPECT_EQ(list_.Item(0)->URL, dir_.File("films/Action/.."));

  ASSERT_TRUE(browser_.BrowseVideo("Elsewhere/Deep/", &list_));
  EXPECT_EQ(Listing(), "P:Elsewhere/") << "an unknown path still offers the way back";
  EXPECT_EQ(list_.Item(0)->URL, "Elsewhere/Deep/..");
}

TEST_F(Browser, PicturesAreTheirOwnThumbnails) {
  ASSERT_TRUE(browser_.BrowsePictures("", &list_));
  EXPECT_EQ(Listing(), "I:Holiday");
  EXPECT_EQ(list_.Item(0)->ImagePath, dir_.File("pics/Holiday.JPG"));
  EXPECT_EQ(list_.Item(0)->URL, list_.Item(0)->ImagePath);
}

TEST_F(Browser, AllWalksMusicVideoThenPictures) {
  list_.SetSortType(0);  // keep the listing order
  ASSERT_TRUE(browser_.BrowseAll("", &list_));
  std::string listing = Listing();
  size_t song = listing.find("A:song"), films = listing.find("F:Films/"),
         holiday = listing.find("I:Holiday");
  ASSERT_NE(song, std::string::npos) << listing;
  EXPECT_LT(song, films) << listing;
  EXPECT_LT(films, holiday) << listing;
  EXPECT_EQ(listing.find("cover"), listing.rfind("cover")) << "each file once";
  EXPECT_EQ(listing.find("notes"), std::string::npos) << "info files are never listed";
  EXPECT_EQ(listing.find("skin"), std::string::npos);
  EXPECT_EQ(listing.find("README"), std::string::npos);
  EXPECT_EQ(listing.find("archive"), std::string::npos);
  EXPECT_EQ(listing.find("hidden"), std::string::npos);
  EXPECT_EQ(listing.find("secret"), std::string::npos);
}

TEST_F(Browser, NamesThatAreNotUtf8KeepTheirBytes) {
  const std::string name = "caf\xE9.mp3";
  dir_.Write("a/" + name, "bytes");
  dir_.Write("a/R\xE9sum\xE9/inner.mp3", "i");
  ASSERT_TRUE(browser_.BrowseMusic("", &list_));
  const TKLDMediaItem* item = list_.FindByURL(dir_.File("a/" + name));
  ASSERT_NE(item, nullptr) << Listing();
  EXPECT_EQ(item->Caption, "caf\xE9");
  EXPECT_EQ(item->Size, 5);
  ASSERT_TRUE(browser_.BrowseMusic("R\xE9sum\xE9/", &list_));
  EXPECT_EQ(Listing(), "P: A:inner");
}

TEST_F(Browser, LinksAreFollowedAndCyclesSkippedWithWarnings) {
  dir_.Write("outside/linked.mp3", "l");
  dir_.Write("outside/Deep/d.mp3", "d");
  ASSERT_EQ(symlink(dir_.File("outside/linked.mp3").c_str(), dir_.File("a/linked.mp3").c_str()), 0);
  ASSERT_EQ(symlink(dir_.File("outside/Deep").c_str(), dir_.File("a/Deep").c_str()), 0);
  ASSERT_EQ(symlink(".", dir_.File("a/Self").c_str()), 0);
  ASSERT_EQ(symlink("..", dir_.File("a/Shared/Up").c_str()), 0);
  ASSERT_EQ(symlink("knot2", dir_.File("a/knot1").c_str()), 0);
  ASSERT_EQ(symlink("knot1", dir_.File("a/knot2").c_str()), 0);
  ASSERT_EQ(symlink("gone.mp3", dir_.File("a/dangling.mp3").c_str()), 0);

  std::vector<std::string> warnings;
  ASSERT_TRUE(browser_.Collect(TKLDMediaCategory::Music, "", &list_, &warnings));
  TKLDUPnPManager::Finish("", &list_);
  EXPECT_EQ(Listing(), "V:clip F:Deep/ A:linked L:mix F:Other/ F:Shared/ A:song");
  std::string all;
  for (const std::string& w : warnings) all += w + "\n";
  EXPECT_EQ(warnings.size(), 4u) << all;
  EXPECT_NE(all.find(dir_.File("a/Self")), std::string::npos) << all;
  EXPECT_NE(all.find(dir_.File("a/knot1")), std::string::npos) << all;
  EXPECT_NE(all.find(dir_.File("a/dangling.mp3")), std::string::npos) << all;

  warnings.clear();
  ASSERT_TRUE(browser_.Collect(TKLDMediaCategory::Music, "Shared/", &list_, &warnings));
  TKLDUPnPManager::Finish("Shared/", &list_);
  EXPECT_EQ(Listing(), "P: A:one A:two");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find(dir_.File("a/Shared/Up")), std::string::npos) << warnings[0];

  ASSERT_TRUE(browser_.BrowseMusic("Deep/", &list_));
  EXPECT_EQ(Listing(), "P: A:d");
}

// Left/toRight leads to Right and Right/toLeft back to Left: each level on its own is no cycle,
// but walking them would never end.
TEST_F(Browser, FoldersThatLinkToEachOtherEndThePathWithAWarning) {
  dir_.Write("a/Left/l.mp3", "l");
  dir_.Write("a/Right/r.mp3", "r");
  ASSERT_EQ(symlink(dir_.File("a/Right").c_str(), dir_.File("a/Left/toRight").c_str()), 0);
  ASSERT_EQ(symlink("../Left", dir_.File("a/Right/toLeft").c_str()), 0);
  std::vector<std::string> warnings;
  ASSERT_TRUE(browser_.Collect(TKLDMediaCategory::Music, "Left/", &list_, &warnings));
  TKLDUPnPManager::Finish("Left/", &list_);
  EXPECT_EQ(Listing(), "P: A:l F:toRight/");
  EXPECT_EQ(warnings, std::vector<std::string>{});

  ASSERT_TRUE(browser_.Collect(TKLDMediaCategory::Music, "Left/toRight/", &list_, &warnings));
  TKLDUPnPManager::Finish("Left/toRight/", &list_);
  EXPECT_EQ(Listing(), "P:Left/ A:r") << "the way back into Left is not offered";
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find(dir_.File("a/Left/toRight/toLeft")), std::string::npos) << warnings[0];

  // A path that went round already (remembered from before) stops where it comes back.
  warnings.clear();
  ASSERT_TRUE(browser_.Collect(TKLDMediaCategory::Music, "Left/toRight/toLeft/", &list_, &warnings));
  TKLDUPnPManager::Finish("Left/toRight/toLeft/", &list_);
  EXPECT_EQ(Listing(), "P:Left/toRight/");
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].rfind("Stopped at media folder " + dir_.File("a/Left/toRight/toLeft/"), 0), 0u)
      << warnings[0];
}

TEST_F(Browser, UnreadableFoldersWarnAndMissingOnesDoNot) {
  TKLDMediaLocationParser broken;
  broken.SetNormalisePaths(true);
  ASSERT_EQ(symlink("loop2", dir_.File("loop1").c_str()), 0);
  ASSERT_EQ(symlink("loop1", dir_.File("loop2").c_str()), 0);
  broken.LoadFromText("<MediaManager><MediaLocations><Music>"
                      "<Directory>" + dir_.File("loop1") + "</Directory>"
                      "<Directory>" + dir_.File("nothing-here") + "</Directory>"
                      "<Directory>" + dir_.File("a") + "</Directory>"
                      "</Music></MediaLocations></MediaManager>");
  TKLDUPnPManager browser(&broken);
  std::vector<std::string> warnings;
  ASSERT_TRUE(browser.Collect(TKLDMediaCategory::Music, "", &list_, &warnings));
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_EQ(warnings[0].rfind("Cannot read media folder " + dir_.File("loop1/") + ": ", 0), 0u)
      << warnings[0];
  EXPECT_EQ(Listing(), "L:mix F:Shared/ A:song") << "the readable location is still listed";

  if (geteuid() != 0) {
    ASSERT_EQ(chmod(dir_.File("a/Shared").c_str(), 0), 0);
    warnings.clear();
    browser.Collect(TKLDMediaCategory::Music, "Shared/", &list_, &warnings);
    chmod(dir_.File("a/Shared").c_str(), 0755);
    EXPECT_EQ(warnings.size(), 1u);
  }
}

TEST_F(Browser, EachLocationThatCannotBeReachedIsToldOnceAndNotAtEveryBrowse) {
  TKLDMediaLocationParser listed;
  listed.SetNormalisePaths(true);
  ASSERT_EQ(symlink("loop2", dir_.File("loop1").c_str()), 0);
  ASSERT_EQ(symlink("loop1", dir_.File("loop2").c_str()), 0);
  listed.LoadFromText("<MediaManager><MediaLocations>"
                      "<Music><Directory>" + dir_.File("gone") + "</Directory>"
                      "<Directory>" + dir_.File("a") + "</Directory></Music>"
                      "<Video><Directory name=\"Old\" virtual=\"yes\">" + dir_.File("loop1") + "</Directory></Video>"
                      "<Pictures><Directory>" + dir_.File("gone") + "</Directory></Pictures>"
                      "</MediaLocations></MediaManager>");
  TKLDUPnPManager browser(&listed);
  const std::vector<std::string> told = browser.CheckLocations();
  ASSERT_EQ(told.size(), 2u) << "a location listed twice is told once";
  EXPECT_EQ(told[0], "The music location " + dir_.File("gone/") + " does not exist");
  EXPECT_EQ(told[1].rfind("The video location " + dir_.File("loop1/") + " cannot be read: ", 0), 0u) << told[1];
  EXPECT_TRUE(browser.CheckLocations().empty());
  // Browsing again and again, at the top and inside, tells nothing more.
  std::vector<std::string> warnings;
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(browser.Collect(TKLDMediaCategory::Video, "", &list_, &warnings));
    ASSERT_TRUE(browser.Collect(TKLDMediaCategory::Video, "Old/", &list_, &warnings));
    ASSERT_TRUE(browser.Collect(TKLDMediaCategory::Music, "", &list_, &warnings));
  }
  EXPECT_EQ(warnings, std::vector<std::string>{});
  EXPECT_EQ(Listing(), "L:mix F:Shared/ A:song");
}

TEST_F(Browser, LocationsLeftUnsetListNothing) {
  TKLDUPnPManager none;
  ASSERT_TRUE(none.BrowseMusic("Shared/", &list_));
  EXPECT_EQ(Listing(), "P:");
}

TEST_F(Browser, WorkersBrowseAtOnceWhileTheListsChange) {
  // Each worker keeps the extension lists it started with, so a change of lists half-way
  // neither tears a browse nor races with it.
  std::vector<std::thread> workers;
  std::vector<TKLDPlaylist> lists(3);
  std::vector<std::vector<std::string>> warnings(3);
  for (int i = 0; i < 3; ++i) {
    workers.emplace_back([&, i] {
      for (int round = 0; round < 20; ++round)
        browser_.Collect(TKLDMediaCategory::Music, "Shared/", &lists[i], &warnings[i]);
    });
  }
  for (int round = 0; round < 20; ++round)
    LoadExtensionLists("\".MKV\"", round % 2 ? "\".MP3\",\".FLAC\"" : "\".FLAC\",\".MP3\"", "");
  for (std::thread& worker : workers) worker.join();
  for (int i = 0; i < 3; ++i) {
    TKLDUPnPManager::Finish("Shared/", &lists[i]);
    ASSERT_EQ(lists[i].Count(), 3);
    EXPECT_EQ(lists[i].Item(1)->Caption, "one");
    EXPECT_TRUE(warnings[i].empty());
  }
}

// The worker hands each browse back under its ticket; a cancelled ticket never comes back, even
// when its browse had already started or finished.
TEST_F(Browser, WorkerHandsBackBrowsesByTicketAndDropsCancelledOnes) {
  TKLDBrowseWorker worker(browser_);
  const uint64_t left = worker.Request(TKLDMediaCategory::Music, "");
  const uint64_t shared = worker.Request(TKLDMediaCategory::Music, "Shared/");
  const uint64_t films = worker.Request(TKLDMediaCategory::Video, "Films/");
  EXPECT_NE(left, shared);
  worker.Cancel(left);
  worker.WaitIdle();
  worker.Cancel(films);  // after it finished
  EXPECT_EQ(worker.Take(left), nullptr);
  EXPECT_EQ(worker.Take(films), nullptr);
  std::unique_ptr<TKLDBrowseWorker::TResult> result = worker.Take(shared);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(worker.Take(shared), nullptr);  // handed out once
  EXPECT_EQ(result->path, "Shared/");
  EXPECT_TRUE(result->warnings.empty());
  TKLDUPnPManager::Finish(result->path, &result->playlist);
  list_.TakeItems(result->playlist);
  EXPECT_EQ(Listing(), "P: A:one A:two");
  EXPECT_EQ(result->playlist.Count(), 0);
}

TEST_F(Browser, WorkerWarningsComeBackInsteadOfBeingLogged) {
  dir_.Write("a/Locked/x.mp3", "x");
  ASSERT_EQ(chmod(dir_.File("a/Locked").c_str(), 0), 0);
  TKLDBrowseWorker worker(browser_);
  const uint64_t ticket = worker.Request(TKLDMediaCategory::Music, "Locked/");
  worker.WaitIdle();
  std::unique_ptr<TKLDBrowseWorker::TResult> result = worker.Take(ticket);
  chmod(dir_.File("a/Locked").c_str(), 0755);
  ASSERT_NE(result, nullptr);
  if (geteuid() != 0) {
    ASSERT_EQ(result->warnings.size(), 1u);
    EXPECT_NE(result->warnings[0].find("Cannot read media folder"), std::string::npos);
  }
}

namespace {

template <class Ready>
bool Within(std::chrono::milliseconds limit, Ready ready) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!ready()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

}  // namespace

// A listing that hangs holds neither the listings after it nor the worker's end.
TEST_F(Browser, AStuckListingHoldsNeitherLaterOnesNorTheEnd) {
  dir_.Write("a/Stuck/deep.mp3", "d");
  test::StuckMount mount;
  auto worker = std::make_unique<TKLDBrowseWorker>(browser_);
  const uint64_t stuck = worker->Request(TKLDMediaCategory::Music, "Stuck/");
  ASSERT_TRUE(mount.WaitBlocked(1));
  // Another listing of the same mount hangs too; past the limit neither counts as running.
  const uint64_t stuckAgain = worker->Request(TKLDMediaCategory::Music, "Stuck/");
  ASSERT_TRUE(mount.WaitBlocked(2));
  std::this_thread::sleep_for(std::chrono::milliseconds(TKLDBrowseWorker::kStuckMs + 200));
  const uint64_t shared = worker->Request(TKLDMediaCategory::Music, "Shared/");
  std::unique_ptr<TKLDBrowseWorker::TResult> result;
  EXPECT_TRUE(Within(std::chrono::seconds(10), [&] { return (result = worker->Take(shared)) != nullptr; }))
      << "a listing waited behind the stuck ones";
  ASSERT_NE(result, nullptr);
  TKLDUPnPManager::Finish(result->path, &result->playlist);
  list_.TakeItems(result->playlist);
  EXPECT_EQ(Listing(), "P: A:one A:two");
  EXPECT_EQ(worker->Take(stuck), nullptr);
  EXPECT_LE(worker->Threads(), TKLDBrowseWorker::kMaxThreads);
  // The end does not wait for the stuck threads; they find it gone when the mount answers.
  const auto before = std::chrono::steady_clock::now();
  worker.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
  (void)stuckAgain;
  mount.Release();
}
