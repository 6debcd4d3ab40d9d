// The thumbnail decoder: fitted, upright pictures decoded on worker threads, taken in by the
// main thread without waiting, and kept in a bounded cache.
#include "media/Thumbnails.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "base/Logging.h"
#include "platform/PixbufImage.h"
#include "render/DirectXHelper.h"
#include "render/Canvas.h"
#include "render/DisplayFixture.h"
#include "render/Graphic.h"
#include "media/LibraryCache.h"
#include "support/StuckFile.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

// A picture whose left half is red and right half blue.
void WritePicture(const std::string& path, int width, int height, bool jpeg = true) {
  std::vector<uint8_t> bits(size_t(width) * height * 4);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &bits[(size_t(y) * width + x) * 4];
      const bool left = x < width / 2;
      p[0] = left ? 0 : 255;  // B
      p[1] = 0;
      p[2] = left ? 255 : 0;  // R
      p[3] = 255;
    }
  auto image = TKLDPixbufImage::FromBGRA(width, height, bits.data(), width * 4);
  ASSERT_TRUE(image);
  std::string error;
  ASSERT_TRUE(jpeg ? image->SaveJpeg(path, 90, error) : image->SavePng(path, error)) << error;
}

// The B, G, R, A of one pixel of a graphic.
std::vector<int> Pixel(TKLDGraphic& graphic, int x, int y) {
  TKLDBitmapDescription bits;
  EXPECT_TRUE(graphic.LockBits(bits));
  const uint8_t* p = bits.Bits + size_t(y) * bits.Stride + size_t(x) * 4;
  std::vector<int> pixel{p[0], p[1], p[2], p[3]};
  graphic.UnlockBits();
  return pixel;
}

// Collects until the state leaves Pending; the test thread may wait, the frame loop never does.
std::shared_ptr<TKLDGraphic> GetReady(TKLDThumbnailCache& cache, const std::string& path, int w, int h,
                                      TKLDThumbnailCache::TState& state) {
  auto graphic = cache.Get(path, w, h, state);
  if (state != TKLDThumbnailCache::TState::Pending) return graphic;
  cache.WaitIdle();
  cache.Collect();
  return cache.Get(path, w, h, state);
}

TEST(Thumbnails, APictureIsFittedIntoItsCellAndCentred) {
  TempDir dir;
  WritePicture(dir.File("wide.jpg"), 600, 200);
  TKLDThumbnailCache cache(8, 1);
  TKLDThumbnailCache::TState state;
  EXPECT_EQ(cache.Get(dir.File("wide.jpg"), 90, 90, state), nullptr);
  EXPECT_EQ(state, TKLDThumbnailCache::TState::Pending);
  auto graphic = GetReady(cache, dir.File("wide.jpg"), 90, 90, state);
  ASSERT_EQ(state, TKLDThumbnailCache::TState::Ready);
  ASSERT_TRUE(graphic && graphic->Loaded());
  EXPECT_EQ(graphic->ActualWidth(), 90);
  EXPECT_EQ(graphic->ActualHeight(), 90);
  // 90 × 30 in the middle: transparent above and below, red left, blue right.
  EXPECT_EQ(Pixel(*graphic, 45, 5)[3], 0);
  EXPECT_EQ(Pixel(*graphic, 45, 85)[3], 0);
  std::vector<int> left = Pixel(*graphic, 10, 45), right = Pixel(*graphic, 80, 45);
  EXPECT_GT(left[2], 200);
  EXPECT_LT(left[0], 60);
  EXPECT_GT(right[0], 200);
  EXPECT_LT(right[2], 60);
  EXPECT_EQ(left[3], 255);
}

// The grid copies a picture of its own to the screen as a surface; the margins around a
// photograph of another shape than the cell must let what lies beneath show.
using ThumbnailDrawingTest = test::DisplayFixture;

TEST_F(ThumbnailDrawingTest, TheMarginsOfAThumbnailShowWhatLiesBeneath) {
  TempDir dir;
  WritePicture(dir.File("wide.jpg"), 600, 200);
  WritePicture(dir.File("square.png"), 60, 60, false);
  TKLDThumbnailCache cache(8, 1);
  TKLDThumbnailCache::TState state;
  auto wide = GetReady(cache, dir.File("wide.jpg"), 60, 60, state);
  ASSERT_TRUE(wide && wide->Loaded());
  auto square = GetReady(cache, dir.File("square.png"), 60, 60, state);
  ASSERT_TRUE(square && square->Loaded());
  TKLDCanvas canvas(nullptr);
  for (int frame = 0; frame < 2; ++frame) {
    ASSERT_TRUE(Dx().BeginFrame());
    Dx().FillRect({0, 0, 320, 240}, 0xFF00FF00u);
    canvas.DrawSurface({10, 10, 60, 60}, wide.get());
    canvas.DrawSurface({100, 10, 60, 60}, square.get());
    Read();
    // 60 × 20 across the middle of the cell, the green beneath above and below it.
    EXPECT_EQ(Pixel(40, 12), test::kGreen) << "frame " << frame;
    EXPECT_EQ(Pixel(40, 67), test::kGreen);
    EXPECT_GT(Pixel(15, 40) >> 16, 200u) << "red on the left";
    EXPECT_LT((Pixel(15, 40) >> 8) & 0xFF, 60u);
    EXPECT_GT(Pixel(65, 40) & 0xFF, 200u) << "blue on the right";
    // A picture of the cell's own shape covers all of it.
    EXPECT_GT(Pixel(101, 11) >> 16, 200u);
    EXPECT_GT(Pixel(158, 68) & 0xFF, 200u);
    Dx().EndFrame();
  }
}

TEST(Thumbnails, AHugePhotographShrinksWhileDecoding) {
  TempDir dir;
  WritePicture(dir.File("big.jpg"), 3000, 2000);
  std::string error;
  auto image = TKLDThumbnailCache::Decode(dir.File("big.jpg"), 150, 150, error);
  ASSERT_TRUE(image) << error;
  EXPECT_EQ(image->Width(), 150);
  EXPECT_EQ(image->Height(), 150);
  // Never enlarged: a small picture keeps its size inside the cell.
  WritePicture(dir.File("small.png"), 20, 10, false);
  auto small = TKLDThumbnailCache::Decode(dir.File("small.png"), 100, 100, error);
  ASSERT_TRUE(small);
  std::vector<uint8_t> bits(100 * 100 * 4);
  small->ToBGRA(bits.data(), 400);
  int opaque = 0;
  for (size_t i = 3; i < bits.size(); i += 4) opaque += bits[i] == 255;
  EXPECT_EQ(opaque, 20 * 10);
}

TEST(Thumbnails, BrokenFilesFailOnceAndAreLoggedOnTheMainThread) {
  TempDir dir;
  dir.Write("broken.jpg", "not a picture at all");
  std::vector<std::string> logged;
  TKLDLogger logger;
  logger.SetEchoList(&logged);
  SetGlobalLogger(&logger);
  TKLDThumbnailCache cache(8, 2);
  TKLDThumbnailCache::TState state;
  EXPECT_EQ(GetReady(cache, dir.File("broken.jpg"), 50, 50, state), nullptr);
  EXPECT_EQ(state, TKLDThumbnailCache::TState::Failed);
  EXPECT_EQ(GetReady(cache, dir.File("missing.jpg"), 50, 50, state), nullptr);
  EXPECT_EQ(state, TKLDThumbnailCache::TState::Failed);
  cache.Get(dir.File("broken.jpg"), 50, 50, state);
  EXPECT_EQ(state, TKLDThumbnailCache::TState::Failed);
  EXPECT_EQ(cache.Outstanding(), 0u) << "a failure is remembered, not tried again";
  SetGlobalLogger(nullptr);
  int failures = 0;
  for (const std::string& line : logged) failures += line.find("Failed to load image: ") != std::string::npos;
  EXPECT_EQ(failures, 2);
}

TEST(Thumbnails, TheCacheKeepsTheMostRecentlyUsedWithinItsBound) {
  TempDir dir;
  const int count = 6;
  for (int i = 0; i < count; ++i) WritePicture(dir.File(std::to_string(i) + ".png"), 40, 40, false);
  TKLDThumbnailCache cache(4, 2);
  TKLDThumbnailCache::TState state;
  std::vector<std::shared_ptr<TKLDGraphic>> held;
  for (int i = 0; i < 4; ++i) held.push_back(GetReady(cache, dir.File(std::to_string(i) + ".png"), 30, 30, state));
  EXPECT_EQ(cache.Cached(), 4u);
  cache.Get(dir.File("0.png"), 30, 30, state);  // used again: the newest
  for (int i = 4; i < count; ++i) GetReady(cache, dir.File(std::to_string(i) + ".png"), 30, 30, state);
  EXPECT_EQ(cache.Cached(), 4u);
  EXPECT_NE(cache.Get(dir.File("0.png"), 30, 30, state), nullptr);
  EXPECT_EQ(cache.Get(dir.File("1.png"), 30, 30, state), nullptr);  // the oldest went
  EXPECT_EQ(state, TKLDThumbnailCache::TState::Pending);
  // What a grid still shows outlives its place in the cache.
  ASSERT_TRUE(held[1]);
  EXPECT_TRUE(held[1]->Loaded());
  // Another size is another thumbnail.
  cache.Get(dir.File("0.png"), 20, 20, state);
  EXPECT_EQ(state, TKLDThumbnailCache::TState::Pending);
}

TEST(Thumbnails, ManyRequestsAtOnceFromTheMainThreadAllArrive) {
  TempDir dir;
  const int count = 24;
  for (int i = 0; i < count; ++i) WritePicture(dir.File(std::to_string(i) + ".jpg"), 64, 48);
  TKLDThumbnailCache cache(100, 3, 100);
  TKLDThumbnailCache::TState state;
  int arrived = 0;
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(cache.Get(dir.File(std::to_string(i) + ".jpg"), 32, 32, state), nullptr);
    arrived += cache.Collect();  // interleaved with the workers, as frames are
  }
  cache.WaitIdle();
  arrived += cache.Collect();
  EXPECT_EQ(arrived, count);
  for (int i = 0; i < count; ++i) {
    EXPECT_NE(cache.Get(dir.File(std::to_string(i) + ".jpg"), 32, 32, state), nullptr) << i;
  }
}

TEST(Thumbnails, TheOldestWaitingRequestsGiveWayAndCanBeAskedAgain) {
  TempDir dir;
  for (int i = 0; i < 6; ++i) WritePicture(dir.File(std::to_string(i) + ".jpg"), 64, 48);
  TKLDThumbnailCache cache(100, 1, 2);
  TKLDThumbnailCache::TState state;
  for (int i = 0; i < 6; ++i) cache.Get(dir.File(std::to_string(i) + ".jpg"), 32, 32, state);
  EXPECT_LE(cache.Outstanding(), 3u);  // two waiting, one perhaps being decoded
  cache.WaitIdle();
  cache.Collect();
  // A dropped request is asked for again the next time the cell shows.
  auto first = GetReady(cache, dir.File("0.jpg"), 32, 32, state);
  EXPECT_EQ(state, TKLDThumbnailCache::TState::Ready);
  EXPECT_NE(first, nullptr);
}

// A picture on a mount that stops answering: the cache's end does not wait for its decode. The
// worker left with it keeps the library it writes thumbnails to, finishes once the read returns,
// and only then lets the library go; nothing it made reaches the cache that is gone.
TEST(Thumbnails, ADecodeThatNeverReturnsHoldsNotTheEnd) {
  TempDir dir, keep;
  WritePicture(dir.File("real.jpg"), 64, 48);
  test::StuckFile stuck(dir.File("mount.jpg"), test::ReadFile(dir.File("real.jpg")));
  ASSERT_TRUE(stuck.Made());
  TKLDLogger logger;
  std::vector<std::string> logged;
  logger.SetEchoList(&logged);
  SetGlobalLogger(&logger);
  auto library = std::make_shared<TKLDLibraryCache>(keep.Path());
  std::weak_ptr<TKLDLibraryCache> left = library;
  auto cache = std::make_unique<TKLDThumbnailCache>(8, 1, 16, std::move(library));
  TKLDThumbnailCache::TState state;
  EXPECT_EQ(cache->Get(stuck.Path(), 32, 32, state), nullptr);
  ASSERT_TRUE(stuck.WaitReader());

  EXPECT_TRUE(stuck.EndsWhileStuck([&] { cache.reset(); })) << "the end waited for the stuck decode";
  logger.DeliverEcho();
  int warnings = 0;
  for (const std::string& line : logged)
    if (line.find("thumbnail workers") != std::string::npos) {
      ++warnings;
      EXPECT_NE(line.find(stuck.Path()), std::string::npos) << line;
    }
  EXPECT_EQ(warnings, 1);
  EXPECT_TRUE(test::StuckFile::Eventually([&] { return left.expired(); }))
      << "the worker never finished, or kept the library after it";
  // It did finish its work: the thumbnail was kept, into the library nobody else held.
  int kept = 0;
  for (const auto& entry : fs::directory_iterator(keep.File("thumbs"))) kept += entry.is_regular_file();
  EXPECT_EQ(kept, 1);
  SetGlobalLogger(nullptr);
  logger.SetEchoList(nullptr);
}

// Decodes stuck on a mount hold neither workers nor the pictures asked for after them for long:
// past the stuck time the next picture gets a thread of its own.
TEST(Thumbnails, PicturesAfterADecodeStuckOnAMountStillCome) {
  TempDir dir;
  WritePicture(dir.File("local.jpg"), 64, 48);
  test::StuckFile stuck(dir.File("mount.jpg"), test::ReadFile(dir.File("local.jpg")));
  ASSERT_TRUE(stuck.Made());
  TKLDThumbnailCache cache(8, 1);
  TKLDThumbnailCache::TState state;
  cache.Get(stuck.Path(), 32, 32, state);
  ASSERT_TRUE(stuck.WaitReader());
  std::shared_ptr<TKLDGraphic> local;
  // Asked for each frame, as a grid does.
  EXPECT_TRUE(test::StuckFile::Eventually(
      [&] {
        cache.Collect();
        return (local = cache.Get(dir.File("local.jpg"), 32, 32, state)) != nullptr;
      },
      std::chrono::milliseconds(TKLDThumbnailCache::kStuckMs) + std::chrono::seconds(15)))
      << "the picture waited behind the stuck one";
  EXPECT_EQ(state, TKLDThumbnailCache::TState::Ready);
  cache.Get(stuck.Path(), 32, 32, state);
  EXPECT_EQ(state, TKLDThumbnailCache::TState::Pending);
  stuck.Release();
  cache.WaitIdle();
}

}  // namespace
}  // namespace lorvane
