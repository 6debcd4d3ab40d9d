#include "render/Graphic.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/PixbufImage.h"
#include "render/DisplayFixture.h"
#include "support/TestSupport.h"

namespace lorvane::test {
namespace {

// A picture whose left half is red and right half blue.
std::unique_ptr<TKLDPixbufImage> HalvesPicture(int width, int height) {
  std::vector<uint32_t> px(static_cast<size_t>(width) * height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) px[size_t(y) * width + x] = x < width / 2 ? 0xFFFF0000 : 0xFF0000FF;
  return TKLDPixbufImage::FromBGRA(width, height, reinterpret_cast<const uint8_t*>(px.data()),
                                   width * 4);
}

void SaveJpeg(const TKLDPixbufImage& image, const std::string& path) {
  std::string error;
  ASSERT_TRUE(image.SaveJpeg(path, 95, error)) << error;
}

// Puts an EXIF block with the given orientation right after the JPEG's start marker, as a
// camera writes it.
void AddExifOrientation(const std::string& path, int orientation) {
  std::string jpeg = ReadFile(path);
  ASSERT_GE(jpeg.size(), 2u);
  const unsigned char tiff[] = {'I', 'I', 42, 0, 8, 0, 0, 0,  // little-endian, IFD at 8
                                1, 0,                         // one entry
                                0x12, 0x01, 3, 0, 1, 0, 0, 0,  // orientation, SHORT, 1 value
                                static_cast<unsigned char>(orientation), 0, 0, 0,
                                0, 0, 0, 0};  // no next IFD
  std::string app1 = std::string("Exif\0\0", 6) + std::string(reinterpret_cast<const char*>(tiff), sizeof tiff);
  const size_t length = app1.size() + 2;
  std::string segment = "\xFF\xE1";
  segment += static_cast<char>(length >> 8);
  segment += static_cast<char>(length & 0xFF);
  segment += app1;
  jpeg.insert(2, segment);
  WriteFile(path, jpeg);
}

// Which of red or blue dominates a straight ARGB pixel of a locked picture.
char Dominant(const TKLDBitmapDescription& bits, int x, int y) {
  const uint8_t* p = bits.Bits + size_t(y) * bits.Stride + x * 4;
  if (p[2] > 150 && p[0] < 100) return 'R';
  if (p[0] > 150 && p[2] < 100) return 'B';
  return '?';
}

class GraphicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logger_.SetEchoList(&log_);
    SetGlobalLogger(&logger_);
  }
  void TearDown() override { SetGlobalLogger(nullptr); }
  int Count(const std::string& text) const {
    int n = 0;
    for (const auto& line : log_) n += line.find(text) != std::string::npos;
    return n;
  }
  // Lines that are exactly the level word and the message after the time stamp.
  int CountExact(const std::string& level, const std::string& message) const {
    const std::string tail = " " + level + ": " + message;
    int n = 0;
    for (const auto& line : log_)
      n += line.size() >= tail.size() && line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
    return n;
  }
  std::string Png(const std::string& name, int width, int height) {
    std::string error;
    EXPECT_TRUE(HalvesPicture(width, height)->SavePng(dir_.File(name), error)) << error;
    return dir_.File(name);
  }

  TempDir dir_;
  std::vector<std::string> log_;  // outlives the logger, which echoes into it as it closes
  TKLDLogger logger_;
};

TEST_F(GraphicTest, JpegWithExifOrientationSixLoadsUpright) {
  const std::string path = dir_.File("turned.jpg");
  SaveJpeg(*HalvesPicture(60, 40), path);  // stored on its side, as the camera saw it
  AddExifOrientation(path, 6);
  EXPECT_EQ(TKLDPixbufImage::ReadOrientation(path), 6);
  TKLDGraphic graphic;
  ASSERT_TRUE(graphic.LoadFromFile(path));
  EXPECT_EQ(graphic.ActualWidth(), 40);
  EXPECT_EQ(graphic.ActualHeight(), 60);
  // Turned a quarter clockwise: the stored left half is now the top.
  TKLDBitmapDescription bits;
  ASSERT_TRUE(graphic.LockBits(bits));
  EXPECT_EQ(Dominant(bits, 20, 5), 'R');
  EXPECT_EQ(Dominant(bits, 20, 54), 'B');
  graphic.UnlockBits();
}

TEST_F(GraphicTest, TurnedPhotoShrinksIntoItsUprightBox) {
  const std::string path = dir_.File("big.jpg");
  SaveJpeg(*HalvesPicture(600, 400), path);
  AddExifOrientation(path, 6);
  TKLDGraphic graphic;
  graphic.SetFitBox(300, 300);
  ASSERT_TRUE(graphic.LoadFromFile(path));
  EXPECT_EQ(graphic.ActualWidth(), 200);
  EXPECT_EQ(graphic.ActualHeight(), 300);
}

TEST_F(GraphicTest, DamagedExifReadsAsUpright) {
  const std::string path = dir_.File("odd.jpg");
  SaveJpeg(*HalvesPicture(30, 20), path);
  AddExifOrientation(path, 77);  // not an orientation
  EXPECT_EQ(TKLDPixbufImage::ReadOrientation(path), 1);
  WriteFile(dir_.File("short.jpg"), std::string("\xFF\xD8\xFF\xE1\x40\x00Exif", 10));
  EXPECT_EQ(TKLDPixbufImage::ReadOrientation(dir_.File("short.jpg")), 1);
}

TEST_F(GraphicTest, PicturesWiderAndNarrowerThanTheBoxKeepTheirAspect) {
  struct Case {
    int w, h, expectW, expectH;
  } cases[] = {{400, 100, 200, 50}, {100, 400, 50, 200}, {1200, 800, 300, 200}, {90, 60, 90, 60}};
  for (const Case& c : cases) {
    const std::string path = dir_.File("p" + std::to_string(c.w) + "x" + std::to_string(c.h) + ".jpg");
    SaveJpeg(*HalvesPicture(c.w, c.h), path);
    TKLDGraphic graphic;
    graphic.SetFitBox(c.w >= c.h ? 200 : 200, c.w == 1200 ? 300 : 200);
    if (c.w == 1200) graphic.SetFitBox(300, 300);
    ASSERT_TRUE(graphic.LoadFromFile(path));
    EXPECT_EQ(graphic.ActualWidth(), c.expectW) << c.w << "x" << c.h;
    EXPECT_EQ(graphic.ActualHeight(), c.expectH) << c.w << "x" << c.h;
    TKLDBitmapDescription bits;
    ASSERT_TRUE(graphic.LockBits(bits));
    EXPECT_EQ(Dominant(bits, 2, c.expectH / 2), 'R');
    EXPECT_EQ(Dominant(bits, c.expectW - 3, c.expectH / 2), 'B');
    graphic.UnlockBits();
  }
}

TEST_F(GraphicTest, StretchResamplesToExactlyTheRequestedSize) {
  const std::string path = Png("s.png", 120, 80);
  TKLDGraphic graphic;
  graphic.SetRequestedWidth(50);
  graphic.SetRequestedHeight(50);
  graphic.SetStretch(true);
  ASSERT_TRUE(graphic.LoadFromFile(path));
  EXPECT_EQ(graphic.ActualWidth(), 50);
  EXPECT_EQ(graphic.ActualHeight(), 50);
  EXPECT_EQ(graphic.Width(), 50);
}

TEST_F(GraphicTest, WithoutStretchTheRequestedSizeIsLimitedToThePicture) {
  const std::string small = Png("small.png", 40, 30);
  TKLDGraphic graphic;
  graphic.SetRequestedWidth(100);
  graphic.SetRequestedHeight(100);
  ASSERT_TRUE(graphic.LoadFromFile(small));
  EXPECT_EQ(graphic.Width(), 40);
  EXPECT_EQ(graphic.Height(), 30);
  // A large picture shown small is decoded no larger than what covers the requested size.
  const std::string large = Png("large.png", 200, 100);
  TKLDGraphic shown;
  shown.SetRequestedWidth(20);
  shown.SetRequestedHeight(20);
  ASSERT_TRUE(shown.LoadFromFile(large));
  EXPECT_EQ(shown.ActualWidth(), 40);
  EXPECT_EQ(shown.ActualHeight(), 20);
  EXPECT_EQ(shown.Width(), 20);
  EXPECT_EQ(shown.Height(), 20);
}

TEST_F(GraphicTest, ThemePicturesFollowTheScreenScaling) {
  TKLDDirectXHelper helper;
  TKLDScreen screen(&helper);
  screen.SetSize(1600, 900);
  screen.SetDesignSize(800, 600);
  SetGlobalScreen(&screen);
  TKLDGraphic graphic;
  ASSERT_TRUE(graphic.LoadFromFile(Png("icon.png", 30, 20)));
  EXPECT_EQ(graphic.ActualWidth(), 60);
  EXPECT_EQ(graphic.ActualHeight(), 30);
  SetGlobalScreen(nullptr);
}

TEST_F(GraphicTest, FailedNameIsNotRetriedEvenAfterAnotherLoad) {
  const std::string bad = dir_.File("bad.jpg");
  WriteFile(bad, "not a picture at all");
  TKLDGraphic graphic;
  EXPECT_FALSE(graphic.LoadFromFile(bad));
  EXPECT_EQ(CountExact("WARN", "Failed to load image: " + bad), 1);
  EXPECT_EQ(graphic.FailedFileName(), bad);
  EXPECT_FALSE(graphic.Loaded());
  ASSERT_TRUE(graphic.LoadFromFile(Png("good.png", 10, 10)));
  EXPECT_FALSE(graphic.LoadFromFile(bad));
  EXPECT_EQ(Count("Failed to load image: "), 1);  // refused without a second attempt
  EXPECT_FALSE(graphic.LoadFromFile(dir_.File("missing.png")));
  EXPECT_EQ(Count("Failed to load image: "), 2);
  EXPECT_EQ(CountExact("WARN", "Failed to load image: " + dir_.File("missing.png")), 1);
}

TEST_F(GraphicTest, SameNameLoadsOnceUntilInvalidated) {
  const std::string path = Png("once.png", 32, 16);
  TKLDGraphic graphic;
  ASSERT_TRUE(graphic.LoadFromFile(path));
  graphic.Resize(8, 4);
  EXPECT_TRUE(graphic.LoadFromFile(path));
  EXPECT_TRUE(graphic.LoadFromFile());
  EXPECT_EQ(graphic.ActualWidth(), 8);  // not decoded again
  graphic.Invalidate();
  EXPECT_FALSE(graphic.Loaded());
  ASSERT_TRUE(graphic.LoadFromFile());
  EXPECT_EQ(graphic.ActualWidth(), 32);
  // A new requested size invalidates too.
  graphic.SetRequestedWidth(5);
  EXPECT_FALSE(graphic.Loaded());
}

TEST_F(GraphicTest, AssignLoadsTheOtherFile) {
  TKLDGraphic source;
  source.SetRequestedWidth(30);
  source.SetRequestedHeight(10);
  source.SetStretch(true);
  ASSERT_TRUE(source.LoadFromFile(Png("a.png", 60, 60)));
  TKLDGraphic copy;
  copy.Assign(&source);
  EXPECT_TRUE(copy.Loaded());
  EXPECT_EQ(copy.FileName(), source.FileName());
  EXPECT_EQ(copy.ActualWidth(), 30);
  EXPECT_EQ(copy.ActualHeight(), 10);
  copy.Assign(nullptr);
  EXPECT_TRUE(copy.Loaded());
}

TEST_F(GraphicTest, LockIsRefusedTwice) {
  TKLDGraphic graphic;
  TKLDBitmapDescription bits;
  EXPECT_FALSE(graphic.LockBits(bits));  // nothing loaded
  ASSERT_TRUE(graphic.LoadFromFile(Png("l.png", 4, 4)));
  ASSERT_TRUE(graphic.LockBits(bits));
  TKLDBitmapDescription again;
  EXPECT_FALSE(graphic.LockBits(again));
  EXPECT_EQ(Count("Attempted to relock previously locked GDI graphic for direct access"), 1);
  graphic.UnlockBits();
  EXPECT_TRUE(graphic.LockBits(again));
  graphic.UnlockBits();
}

// ---- Drawing through the device ----

using GraphicDrawingTest = DisplayFixture;

TEST_F(GraphicDrawingTest, DrawnAsSpriteUploadsOnceAndKeepsEveryColumn) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(HalvesPicture(20, 10)->SavePng(dir.File("h.png"), error));
  TKLDGraphic graphic;
  ASSERT_TRUE(graphic.LoadFromFile(dir.File("h.png")));
  TKLDCanvas canvas(nullptr);
  for (int frame = 0; frame < 2; ++frame) {
    ASSERT_TRUE(Dx().BeginFrame());
    canvas.DrawGraphic({100, 100, 40, 20}, &graphic);
    Read();
    EXPECT_EQ(Pixel(101, 110), kRed);
    EXPECT_EQ(Pixel(138, 110), kBlue);
    EXPECT_EQ(Pixel(139, 110), kBlue);  // the last column of the picture shows
    EXPECT_EQ(Pixel(140, 110), kBlack);
    Dx().EndFrame();
  }
  ASSERT_NE(graphic.Sprite(), nullptr);
  EXPECT_EQ(graphic.Sprite()->TexturesCreated(), 1);
  // A device release makes the next draw upload again.
  Dx().SpriteManager().ReleaseTextures();
  ASSERT_TRUE(Dx().BeginFrame());
  canvas.DrawGraphic({0, 0, 20, 10}, &graphic);
  Read();
  EXPECT_EQ(Pixel(2, 5), kRed);
  Dx().EndFrame();
  EXPECT_EQ(graphic.Sprite()->TexturesCreated(), 2);
}

TEST_F(GraphicDrawingTest, DrawnAsSurfaceLiesUnscaledAtTheTopLeftCorner) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(HalvesPicture(50, 25)->SavePng(dir.File("h.png"), error));
  TKLDGraphic graphic;
  ASSERT_TRUE(graphic.LoadFromFile(dir.File("h.png")));
  // Resampled once to the screen: 320 x 240 shows an 800 x 600 design at 0.4.
  ASSERT_EQ(graphic.ActualWidth(), 20);
  ASSERT_EQ(graphic.ActualHeight(), 10);
  TKLDCanvas canvas(nullptr);
  for (int frame = 0; frame < 2; ++frame) {
    ASSERT_TRUE(Dx().BeginFrame());
    Dx().FillRect({0, 0, 320, 240}, 0xFFFFFFFFu);
    // The rectangle's size plays no part: a surface is copied pixel for pixel.
    canvas.DrawSurface({100, 50, 60, 40}, &graphic);
    Read();
    EXPECT_EQ(Pixel(100, 50), kRed);
    EXPECT_EQ(Pixel(107, 59), kRed);
    EXPECT_EQ(Pixel(112, 50), kBlue);
    EXPECT_EQ(Pixel(119, 59), kBlue);   // the last column and row of the picture
    EXPECT_EQ(Pixel(120, 55), kWhite);  // and nothing beyond them
    EXPECT_EQ(Pixel(110, 60), kWhite);
    EXPECT_EQ(Pixel(99, 55), kWhite);
    EXPECT_EQ(Pixel(110, 49), kWhite);
    Dx().EndFrame();
  }
  ASSERT_NE(graphic.Surface(), nullptr);
  EXPECT_EQ(graphic.Surface()->Width(), 20);
  EXPECT_EQ(graphic.Surface()->Height(), 10);
  // A device release makes the next draw upload again.
  Dx().SurfaceManager().ReleaseSurfaces();
  ASSERT_TRUE(Dx().BeginFrame());
  canvas.DrawSurface({0, 0, 20, 10}, &graphic);
  Read();
  EXPECT_EQ(Pixel(0, 0), kRed);
  EXPECT_EQ(Pixel(19, 9), kBlue);
  Dx().EndFrame();
}

// A draw while the picture is locked elsewhere cannot read its pixels; it must not leave an
// empty device copy behind that every later frame draws.
TEST_F(GraphicDrawingTest, DrawWhileLockedIsMadeGoodOnceUnlocked) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(HalvesPicture(50, 25)->SavePng(dir.File("h.png"), error));
  TKLDGraphic graphic;
  ASSERT_TRUE(graphic.LoadFromFile(dir.File("h.png")));
  TKLDCanvas canvas(nullptr);
  TKLDBitmapDescription held;
  ASSERT_TRUE(graphic.LockBits(held));
  ASSERT_TRUE(Dx().BeginFrame());
  canvas.DrawSurface({0, 0, 20, 10}, &graphic);
  canvas.DrawGraphic({40, 0, 20, 10}, &graphic);
  Dx().EndFrame();
  EXPECT_EQ(Count("Attempted to relock previously locked GDI graphic for direct access"), 2);
  graphic.UnlockBits();

  ASSERT_TRUE(Dx().BeginFrame());
  canvas.DrawSurface({0, 0, 20, 10}, &graphic);
  canvas.DrawGraphic({40, 0, 20, 10}, &graphic);
  Read();
  EXPECT_EQ(Pixel(2, 5), kRed);
  EXPECT_EQ(Pixel(17, 5), kBlue);
  EXPECT_EQ(Pixel(42, 5), kRed);
  EXPECT_EQ(Pixel(57, 5), kBlue);
  Dx().EndFrame();
}


TEST_F(GraphicTest, InvalidatedPictureReloadsByItsOwnNameAfterAnotherFileFailed) {
  const std::string bad = dir_.File("broken.png");
  WriteFile(bad, "garbage");
  const std::string good = Png("fine.png", 40, 20);
  TKLDGraphic graphic;
  EXPECT_FALSE(graphic.LoadFromFile(bad));
  ASSERT_TRUE(graphic.LoadFromFile(good));
  graphic.SetRequestedWidth(20);
  graphic.SetRequestedHeight(10);
  EXPECT_FALSE(graphic.Loaded());
  // The current file is not the one that failed, so a reload without a name decodes it again.
  EXPECT_TRUE(graphic.LoadFromFile());
  EXPECT_TRUE(graphic.Loaded());
  EXPECT_EQ(graphic.FileName(), good);
  EXPECT_EQ(Count("Failed to load image: "), 1);
}

}  // namespace
}  // namespace lorvane::test
