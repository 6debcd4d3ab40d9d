// The library cache on disk: what it keeps comes back in the next run for the same file and not
// for a changed one; a damaged database is set aside and made anew; a folder that cannot be
// written leaves lorvane working without a cache and says so once; the picture files stay
// within their bound, the least recently used going first; two users of one cache at a time.
#include "media/LibraryCache.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>
#include <vector>

#include "base/Logging.h"
#include "media/Thumbnails.h"
#include "platform/PixbufImage.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

using test::TempDir;

std::unique_ptr<TKLDPixbufImage> Picture(int width, int height, uint8_t level) {
  std::vector<uint8_t> bits(size_t(width) * height * 4, level);
  for (size_t i = 3; i < bits.size(); i += 4) bits[i] = 255;
  return TKLDPixbufImage::FromBGRA(width, height, bits.data(), width * 4);
}

TKLDMediaInfo Sample(const std::string& title) {
  TKLDMediaInfo info;
  info.title = title;
  info.artist = "Artist";
  info.year = 1990;
  info.track = 7;
  info.duration = 201.5;
  return info;
}

// Counts the warnings logged while it lives.
struct TLogWatch {
  std::vector<std::string> lines;
  TKLDLogger logger;
  TLogWatch() {
    logger.SetEchoList(&lines);
    SetGlobalLogger(&logger);
  }
  ~TLogWatch() {
    SetGlobalLogger(nullptr);
    logger.SetEchoList(nullptr);
  }
  int Count(const std::string& text) const {
    int n = 0;
    for (const std::string& line : lines) n += line.find(text) != std::string::npos;
    return n;
  }
};

TEST(LibraryCache, WhatIsKeptComesBackForTheSameFileOnlyAndInTheNextRun) {
  TempDir media, cache;
  media.Write("song.mp3", "first");
  TKLDFileKey key;
  ASSERT_TRUE(TKLDFileKey::Of(media.File("song.mp3"), key));
  {
    TKLDLibraryCache library(cache.Path());
    EXPECT_TRUE(library.Usable());
    TKLDMediaInfo info;
    EXPECT_FALSE(library.FindInfo(key, info));
    library.StoreInfo(key, Sample("Kept"));
    library.StoreResume(key, 754.5);
  }
  TKLDLibraryCache library(cache.Path());
  TKLDMediaInfo info;
  ASSERT_TRUE(library.FindInfo(key, info));
  EXPECT_EQ(info.title, "Kept");
  EXPECT_EQ(info.artist, "Artist");
  EXPECT_EQ(info.year, 1990);
  EXPECT_EQ(info.track, 7);
  EXPECT_DOUBLE_EQ(info.duration, 201.5);
  EXPECT_DOUBLE_EQ(library.FindResume(key), 754.5);

  // Changed after it was kept: a different size (and time) is a different file.
  media.Write("song.mp3", "second, longer");
  TKLDFileKey changed;
  ASSERT_TRUE(TKLDFileKey::Of(media.File("song.mp3"), changed));
  EXPECT_FALSE(library.FindInfo(changed, info));
  EXPECT_EQ(library.FindResume(changed), 0);
  // The same size but touched later is changed too.
  TKLDFileKey touched = key;
  touched.changed += 1;
  EXPECT_FALSE(library.FindInfo(touched, info));
  library.StoreResume(key, 0);
  EXPECT_EQ(library.FindResume(key), 0) << "forgotten";
}

TEST(LibraryCache, ADamagedDatabaseIsSetAsideAndMadeAnew) {
  TempDir media, cache;
  media.Write("a.mp3", "a");
  TKLDFileKey key;
  ASSERT_TRUE(TKLDFileKey::Of(media.File("a.mp3"), key));
  {
    TKLDLibraryCache library(cache.Path());
    library.StoreInfo(key, Sample("Before"));
  }
  // Garbage over the whole file, header included.
  cache.Write("library.db", std::string(8192, '\x5a'));
  std::remove(cache.File("library.db-wal").c_str());
  std::remove(cache.File("library.db-shm").c_str());
  TLogWatch log;
  TKLDLibraryCache library(cache.Path());
  EXPECT_TRUE(library.Usable());
  EXPECT_TRUE(test::FileExists(cache.File("library.db.damaged")));
  EXPECT_EQ(log.Count("damaged"), 1);
  TKLDMediaInfo info;
  EXPECT_FALSE(library.FindInfo(key, info)) << "a new, empty cache";
  library.StoreInfo(key, Sample("After"));
  ASSERT_TRUE(library.FindInfo(key, info));
  EXPECT_EQ(info.title, "After");
}

TEST(LibraryCache, AFolderThatCannotBeWrittenMeansNoCacheAndOneWarning) {
  TempDir media, base;
  media.Write("a.mp3", "a");
  TKLDFileKey key;
  ASSERT_TRUE(TKLDFileKey::Of(media.File("a.mp3"), key));
  // A file where the folder should be cannot be made into one, even by root.
  base.Write("blocked", "a file");
  std::vector<std::string> folders{base.File("blocked/lorvane/")};
  // Without root, a read-only folder is refused as well.
  if (geteuid() != 0) {
    ASSERT_EQ(std::system(("mkdir -p '" + base.File("readonly") + "' && chmod 0555 '" + base.File("readonly") + "'").c_str()), 0);
    folders.push_back(base.File("readonly/"));
  }
  for (const std::string& folder : folders) {
    SCOPED_TRACE(folder);
    TLogWatch log;
    TKLDLibraryCache library(folder);
    EXPECT_FALSE(library.Usable());
    library.StoreInfo(key, Sample("x"));
    TKLDMediaInfo info;
    EXPECT_FALSE(library.FindInfo(key, info));
    EXPECT_EQ(library.StoreArt({1, 2, 3}, "image/png"), "");
    EXPECT_FALSE(library.StoreThumbnail(key, 10, 10, *Picture(10, 10, 1)));
    library.StoreResume(key, 100);
    EXPECT_EQ(library.FindResume(key), 0);
    EXPECT_EQ(log.Count("cannot be used"), 1) << "said once, not at every call";
  }
  if (geteuid() != 0) std::system(("chmod 0755 '" + base.File("readonly") + "'").c_str());
}

TEST(LibraryCache, PictureFilesStayWithinTheBoundLeastRecentlyUsedFirst) {
  TempDir media, cache;
  std::vector<TKLDFileKey> keys(6);
  for (int i = 0; i < 6; ++i) {
    media.Write("p" + std::to_string(i) + ".jpg", std::string(10 + i, 'p'));
    ASSERT_TRUE(TKLDFileKey::Of(media.File("p" + std::to_string(i) + ".jpg"), keys[i]));
  }
  // Noise compresses badly, so each thumbnail is tens of kilobytes.
  std::vector<uint8_t> bits(200 * 200 * 4);
  uint32_t seed = 1;
  for (uint8_t& b : bits) b = uint8_t((seed = seed * 1103515245 + 12345) >> 16);
  for (size_t i = 3; i < bits.size(); i += 4) bits[i] = 255;
  auto noise = TKLDPixbufImage::FromBGRA(200, 200, bits.data(), 800);
  TKLDLibraryCache probe(cache.Path() + "probe/");
  ASSERT_TRUE(probe.StoreThumbnail(keys[0], 200, 200, *noise));
  const int64_t each = probe.PictureBytes();
  ASSERT_GT(each, 1000);

  TKLDLibraryCache library(cache.Path() + "bounded/", each * 3 + each / 2);
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(library.StoreThumbnail(keys[i], 200, 200, *noise));
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  // The first is used again, so the second is now the least recently used.
  const std::string first = library.FindThumbnail(keys[0], 200, 200);
  ASSERT_NE(first, "");
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const std::string second = library.FindThumbnail(keys[1], 200, 200);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  library.FindThumbnail(keys[0], 200, 200);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  const std::string third = library.FindThumbnail(keys[2], 200, 200);
  for (int i = 3; i < 6; ++i) ASSERT_TRUE(library.StoreThumbnail(keys[i], 200, 200, *noise));
  library.Prune();
  EXPECT_LE(library.PictureBytes(), each * 3 + each / 2);
  EXPECT_EQ(library.FindThumbnail(keys[1], 200, 200), "") << "the least recently used went";
  EXPECT_FALSE(test::FileExists(second)) << "and its file with it";
  EXPECT_NE(library.FindThumbnail(keys[5], 200, 200), "") << "the newest stays";
}

TEST(LibraryCache, TwoUsersOfOneCacheAtATime) {
  TempDir media, cache;
  const int files = 60;
  std::vector<TKLDFileKey> keys(files);
  for (int i = 0; i < files; ++i) {
    media.Write(std::to_string(i) + ".mp3", std::string(i + 1, 'm'));
    ASSERT_TRUE(TKLDFileKey::Of(media.File(std::to_string(i) + ".mp3"), keys[i]));
  }
  // Two caches on one folder are two connections, as a host and a scripted run would have.
  TKLDLibraryCache one(cache.Path()), two(cache.Path());
  std::thread writer([&] {
    for (int i = 0; i < files; i += 2) one.StoreInfo(keys[i], Sample("one " + std::to_string(i)));
  });
  std::thread other([&] {
    for (int i = 1; i < files; i += 2) two.StoreInfo(keys[i], Sample("two " + std::to_string(i)));
  });
  writer.join();
  other.join();
  TKLDLibraryCache reader(cache.Path());
  for (int i = 0; i < files; ++i) {
    TKLDMediaInfo info;
    ASSERT_TRUE(reader.FindInfo(keys[i], info)) << i;
    EXPECT_EQ(info.title, (i % 2 ? "two " : "one ") + std::to_string(i));
  }
}

TEST(LibraryCache, ThumbnailsComeBackFromTheCacheAndAFilmsPictureIsMadeOnce) {
  LoadExtensionLists("\".MKV\"", "\".MP3\"", "");
  TempDir media, cache;
  auto photo = Picture(1200, 800, 200);
  std::string error;
  ASSERT_TRUE(photo->SaveJpeg(media.File("photo.jpg"), 90, error)) << error;
  ASSERT_EQ(test::MakeMediaWithFfmpeg("-f lavfi -i color=blue:s=320x180:d=2 -c:v mpeg4", media.File("film.mkv")), "");
  TKLDLibraryCache library(cache.Path());
  TKLDFileKey photoKey, filmKey;
  ASSERT_TRUE(TKLDFileKey::Of(media.File("photo.jpg"), photoKey));
  ASSERT_TRUE(TKLDFileKey::Of(media.File("film.mkv"), filmKey));
  std::string film;
  auto made = TKLDThumbnailCache::Make(media.File("photo.jpg"), 120, 120, &library, film, error);
  ASSERT_TRUE(made);
  const std::string kept = library.FindThumbnail(photoKey, 120, 120);
  ASSERT_NE(kept, "");
  EXPECT_EQ(film, "") << "a photograph is no film";
  // Changed after it was cached: made again from the new picture.
  auto other = Picture(600, 600, 30);
  ASSERT_TRUE(other->SaveJpeg(media.File("photo.jpg"), 90, error));
  TKLDFileKey changed;
  ASSERT_TRUE(TKLDFileKey::Of(media.File("photo.jpg"), changed));
  EXPECT_EQ(library.FindThumbnail(changed, 120, 120), "");
  auto again = TKLDThumbnailCache::Make(media.File("photo.jpg"), 120, 120, &library, film, error);
  ASSERT_TRUE(again);
  EXPECT_EQ(again->Width(), 120);
  EXPECT_EQ(again->Height(), 120) << "square now, not 120 × 80";

  auto picture = TKLDThumbnailCache::Make(media.File("film.mkv"), 64, 64, &library, film, error);
  ASSERT_TRUE(picture) << error;
  ASSERT_NE(film, "");
  EXPECT_EQ(library.FindFilmPicture(filmKey), film);
  std::string second;
  ASSERT_TRUE(TKLDThumbnailCache::Make(media.File("film.mkv"), 64, 64, &library, second, error));
  EXPECT_EQ(second, film) << "taken from the cache, not made again";
}

}  // namespace
}  // namespace lorvane
