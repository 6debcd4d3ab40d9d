// Picture types no installed loader decodes: told once at start, naming the package, and then
// never again file by file.
#include "media/PictureFormats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/Logging.h"
#include "media/Thumbnails.h"
#include "platform/PixbufImage.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

using test::TempDir;

class PictureFormatsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logger_.SetEchoList(&log_);
    SetGlobalLogger(&logger_);
  }
  void TearDown() override {
    SetGlobalLogger(nullptr);
    TKLDPixbufImage::SetUndecodableExtensions({});
  }
  std::vector<std::string> Lines(const std::string& level) const {
    std::vector<std::string> lines;
    for (const std::string& line : log_)
      if (line.find(level + ":") != std::string::npos) lines.push_back(line);
    return lines;
  }
  // Asks the cache for a thumbnail until it has an answer.
  static TKLDThumbnailCache::TState Thumbnail(TKLDThumbnailCache& cache, const std::string& path) {
    TKLDThumbnailCache::TState state;
    cache.Get(path, 64, 64, state);
    cache.WaitIdle();
    cache.Collect();
    cache.Get(path, 64, 64, state);
    return state;
  }

  std::vector<std::string> log_;
  TKLDLogger logger_;
};

TEST_F(PictureFormatsTest, AMissingLoaderIsToldOnceByItsPackageAndItsFilesFailQuietly) {
  // The loaders of a fresh system: no WebP, and TIFF switched off.
  ReportPictureFormats({{"jpeg", {"jpeg", "jpe", "jpg"}}, {"png", {"png"}}, {"gif", {"gif"}}, {"bmp", {"bmp"}}});
  const std::vector<std::string> info = Lines("INFO");
  ASSERT_EQ(info.size(), 1u);
  EXPECT_NE(info[0].find("jpeg (jpeg jpe jpg), png (png), gif (gif), bmp (bmp)"), std::string::npos) << info[0];
  const std::vector<std::string> warnings = Lines("WARN");
  ASSERT_EQ(warnings.size(), 3u);
  EXPECT_NE(warnings[0].find(".TIF cannot be shown"), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[1].find(".TIFF"), std::string::npos);
  EXPECT_NE(warnings[2].find(".WEBP cannot be shown"), std::string::npos) << warnings[2];
  EXPECT_NE(warnings[2].find("install the package webp-pixbuf-loader"), std::string::npos) << warnings[2];
  EXPECT_TRUE(TKLDPixbufImage::HasUndecodableExtension("/photos/Beach.WebP"));
  EXPECT_FALSE(TKLDPixbufImage::HasUndecodableExtension("/photos.webp/beach.jpg"));

  TempDir dir;
  dir.Write("wallpaper.webp", "RIFF....WEBPVP8 not really");
  dir.Write("broken.jpg", "not a picture");
  TKLDThumbnailCache cache(8, 1);
  for (int attempt = 0; attempt < 2; ++attempt)
    EXPECT_EQ(Thumbnail(cache, dir.File("wallpaper.webp")), TKLDThumbnailCache::TState::Failed);
  EXPECT_EQ(Thumbnail(cache, dir.File("broken.jpg")), TKLDThumbnailCache::TState::Failed);
  const std::vector<std::string> after = Lines("WARN");
  ASSERT_EQ(after.size(), 4u) << "only the broken JPEG is news";
  EXPECT_NE(after[3].find("Failed to load image: " + dir.File("broken.jpg")), std::string::npos) << after[3];
}

TEST_F(PictureFormatsTest, AnUnknownTypeGetsAGeneralHintAndKnownOnesTheirPackage) {
  EXPECT_EQ(LoaderPackageFor(".webp"), "webp-pixbuf-loader");
  EXPECT_EQ(LoaderPackageFor(".GIF"), "libgdk-pixbuf-2.0-0");
  EXPECT_EQ(LoaderPackageFor(".XYZ"), "");
  ReportPictureFormats({});
  const std::vector<std::string> warnings = Lines("WARN");
  ASSERT_FALSE(warnings.empty());
  EXPECT_NE(warnings[0].find(".JPG cannot be shown"), std::string::npos);
  EXPECT_NE(Lines("INFO")[0].find("shown: none"), std::string::npos);
}

// What the machine's own loaders read, as lorvane starts with them.
TEST_F(PictureFormatsTest, TheInstalledLoadersReadEveryListedTypeAndAWebPWallpaperShows) {
  ReportPictureFormats(TKLDPixbufImage::DecodableFormats());
  EXPECT_EQ(Lines("WARN"), std::vector<std::string>{}) << "scripts/install-deps.sh installs every loader needed";
  TempDir dir;
  const std::string failed = test::MakeMediaWithFfmpeg("-f lavfi -i color=c=red:s=160x90 -frames:v 1", dir.File("wall.webp"));
  if (!failed.empty()) GTEST_SKIP() << "ffmpeg could not write WebP: " << failed;
  TKLDThumbnailCache cache(8, 1);
  EXPECT_EQ(Thumbnail(cache, dir.File("wall.webp")), TKLDThumbnailCache::TState::Ready);
}

}  // namespace
}  // namespace lorvane
