#include "render/Canvas.h"

#include <gtest/gtest.h>

namespace lorvane {
namespace {

uint32_t Alpha(uint32_t argb) { return argb >> 24; }

// ---- Canvas colours ----

TEST(CanvasColourTest, DefaultIsOpaqueWhiteAndNotModulating) {
  TKLDCanvasColour c;
  EXPECT_EQ(c.Value(), 0xFFFFFFFFu);
  EXPECT_FALSE(c.Modulating());
  c.SetAlpha(254);
  EXPECT_TRUE(c.Modulating());
  c.Assign(nullptr);
  EXPECT_EQ(c.Value(), 0xFFFFFFFFu);
  EXPECT_FALSE(c.Modulating());
  const TKLDCanvasColour red(255, 255, 0, 0);
  c.Assign(&red);
  EXPECT_EQ(c.Value(), 0xFFFF0000u);
  EXPECT_TRUE(c.Modulating());
  EXPECT_EQ(TKLDCanvasColour::FromARGB(0x80102030).Value(), 0x80102030u);
}

TEST(CanvasColourTest, CombineScalesEachChannelRounded) {
  const TKLDCanvasColour text = TKLDCanvasColour::FromARGB(0xFF8040C8);
  const TKLDCanvasColour half = TKLDCanvasColour::FromARGB(0x80FFFFFF);
  // 255×128/255 = 128; 128, 64 and 200 times 255/255 unchanged.
  EXPECT_EQ(TKLDCanvasColour::Combine(text, &half), 0x808040C8u);
  const TKLDCanvasColour tint = TKLDCanvasColour::FromARGB(0xFF7F0001);
  // 128×127/255 = 63.75 → 64; 64×0 = 0; 200×1/255 = 0.78 → 1.
  EXPECT_EQ(TKLDCanvasColour::Combine(text, &tint), 0xFF400001u);
  const TKLDCanvasColour white;
  EXPECT_EQ(TKLDCanvasColour::Combine(text, &white), text.Value());
  EXPECT_EQ(TKLDCanvasColour::Combine(text, nullptr), text.Value());
}

TEST(CanvasFontTest, AssignCopiesEveryFieldAndStyleFollows) {
  TKLDCanvasFont a;
  a.Name = "Liberation Sans";
  a.Size = 18;
  a.Colour = TKLDCanvasColour::FromARGB(0xFF112233);
  a.Bold = a.Shadow = true;
  a.ShadowColour = TKLDCanvasColour::FromARGB(0x80000000);
  a.ShadowOffsetX = 2;
  a.ShadowOffsetY = 3;
  TKLDCanvasFont b;
  b.Assign(a);
  EXPECT_EQ(b.Name, "Liberation Sans");
  EXPECT_EQ(b.Size, 18);
  EXPECT_TRUE(b.Bold && b.Shadow && !b.Italic);
  const TKLDFontStyle* style = b.Style();
  EXPECT_EQ(style, b.Style());  // one identity for the font cache
  EXPECT_NE(style, a.Style());
  EXPECT_EQ(style->Colour, 0xFF112233u);
  EXPECT_EQ(style->ShadowColour, 0x80000000u);
  EXPECT_EQ(style->ShadowOffsetY, 3);
}

// ---- Draw buffer ----

TEST(DrawBufferTest, AllocatesOnDemandAndSizeChangeFreesPixels) {
  TKLDDrawBuffer buffer;
  EXPECT_FALSE(buffer.Allocate());  // no size yet
  buffer.SetWidth(40);
  buffer.SetHeight(30);
  EXPECT_TRUE(buffer.Allocate());
  EXPECT_EQ(buffer.GetBounds(), (TKLDRect{0, 0, 40, 30}));
  buffer.SetHeight(30);
  EXPECT_TRUE(buffer.Allocated());
  buffer.SetHeight(31);
  EXPECT_FALSE(buffer.Allocated());
}

TEST(DrawBufferTest, LockGivesStraightAlphaAndWritesBack) {
  TKLDDrawBuffer buffer(8, 8);
  TKLDCanvasColour half = TKLDCanvasColour::FromARGB(0x80FF8000);
  buffer.Canvas().SetBrushColour(&half);
  buffer.Canvas().FillRect({0, 0, 8, 8});
  TKLDBitmapDescription bits;
  ASSERT_TRUE(buffer.LockBits({2, 3, 100, 100}, bits));  // cut to the buffer
  EXPECT_EQ(bits.Width, 6);
  EXPECT_EQ(bits.Height, 5);
  EXPECT_EQ(bits.BytesPerPixel, 4);
  EXPECT_FALSE(bits.Premultiplied);
  // B, G, R, A in memory, colour not premultiplied.
  EXPECT_EQ(bits.Bits[0], 0x00);
  EXPECT_EQ(bits.Bits[1], 0x80);
  EXPECT_EQ(bits.Bits[2], 0xFF);
  EXPECT_EQ(bits.Bits[3], 0x80);
  // A second lock is refused until unlocked.
  TKLDBitmapDescription again;
  EXPECT_FALSE(buffer.LockBits({0, 0, 8, 8}, again));
  buffer.UnlockBits();

  TKLDBitmapDescription write;
  write.WriteAccess = true;
  ASSERT_TRUE(buffer.LockBits({1, 1, 2, 2}, write));
  EXPECT_TRUE(write.WriteAccess);
  uint8_t* p = write.Bits + write.Stride;  // pixel (1, 2) of the buffer
  p[0] = 0x40, p[1] = 0x30, p[2] = 0x20, p[3] = 0xFF;
  buffer.UnlockBits();
  EXPECT_EQ(buffer.PixelAt(1, 2), 0xFF203040u);
  EXPECT_EQ(buffer.PixelAt(2, 2), 0x80FF8000u);  // untouched pixel keeps its colour
  EXPECT_EQ(buffer.PixelAt(0, 0), 0x80FF8000u);

  TKLDBitmapDescription read;
  ASSERT_TRUE(buffer.LockBits({0, 0, 2, 2}, read));
  read.Bits[3] = 0;  // a read lock does not keep changes
  buffer.UnlockBits();
  EXPECT_EQ(buffer.PixelAt(0, 0), 0x80FF8000u);
}

TEST(DrawBufferTest, LockOutsideTheBufferFails) {
  TKLDDrawBuffer buffer(8, 8);
  TKLDBitmapDescription bits;
  EXPECT_FALSE(buffer.LockBits({10, 10, 5, 5}, bits));
  EXPECT_FALSE(buffer.Locked());
}

TEST(DrawBufferTest, WithoutAlphaChannelEveryPixelIsOpaque) {
  TKLDDrawBuffer buffer(4, 4, false);
  TKLDCanvasColour see = TKLDCanvasColour::FromARGB(0x20FF0000);
  buffer.Canvas().Clear();
  buffer.Canvas().SetBrushColour(&see);
  buffer.Canvas().FillRect({0, 0, 4, 4});
  EXPECT_EQ(Alpha(buffer.PixelAt(1, 1)), 255u);
}

// ---- Shapes ----

class ShapeTest : public ::testing::Test {
 protected:
  TKLDDrawBuffer buffer{64, 64};
  TKLDCanvas& canvas = buffer.Canvas();
  TKLDCanvasColour red = TKLDCanvasColour::FromARGB(0xFFFF0000);
  TKLDCanvasColour blue = TKLDCanvasColour::FromARGB(0xFF0000FF);
  void SetUp() override { canvas.Clear(); }
};

TEST_F(ShapeTest, ClearLeavesEveryPixelTransparent) {
  canvas.SetBrushColour(&red);
  canvas.FillRect({0, 0, 64, 64});
  canvas.Clear();
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(Alpha(buffer.PixelAt(x, y)), 0u);
}

TEST_F(ShapeTest, FillRectCoversExactlyTheRectangle) {
  canvas.SetBrushColour(&red);
  canvas.SetPenColour(&blue);  // FillRect never outlines
  canvas.FillRect({10, 10, 5, 4});
  EXPECT_EQ(buffer.PixelAt(10, 10), red.Value());
  EXPECT_EQ(buffer.PixelAt(14, 13), red.Value());
  EXPECT_EQ(Alpha(buffer.PixelAt(15, 10)), 0u);
  EXPECT_EQ(Alpha(buffer.PixelAt(10, 14)), 0u);
  EXPECT_EQ(Alpha(buffer.PixelAt(9, 10)), 0u);
}

TEST_F(ShapeTest, OnePixelPenOutlinesOnTheEdge) {
  canvas.SetBrushColour(&red);
  canvas.SetPenColour(&blue);
  canvas.SetLineWidth(1);
  canvas.Rectangle({10, 10, 20, 20});
  EXPECT_EQ(buffer.PixelAt(10, 15), blue.Value());
  EXPECT_EQ(buffer.PixelAt(29, 15), blue.Value());
  EXPECT_EQ(buffer.PixelAt(15, 10), blue.Value());
  EXPECT_EQ(buffer.PixelAt(15, 29), blue.Value());
  EXPECT_EQ(buffer.PixelAt(11, 15), red.Value());
  EXPECT_EQ(Alpha(buffer.PixelAt(9, 15)), 0u);
  EXPECT_EQ(Alpha(buffer.PixelAt(30, 15)), 0u);
}

TEST_F(ShapeTest, WidePenStaysInsideTheRectangle) {
  canvas.SetBrushColour(nullptr);
  canvas.SetPenColour(&blue);
  canvas.SetLineWidth(5);
  canvas.Rectangle({10, 10, 30, 30});
  // Inset by 3: the five-pixel stroke covers columns 11 … 15 on the left, 34 … 38 on the right.
  EXPECT_EQ(Alpha(buffer.PixelAt(10, 20)), 0u);
  EXPECT_EQ(buffer.PixelAt(11, 20), blue.Value());
  EXPECT_EQ(buffer.PixelAt(15, 20), blue.Value());
  EXPECT_EQ(Alpha(buffer.PixelAt(16, 20)), 0u);
  EXPECT_EQ(buffer.PixelAt(38, 20), blue.Value());
  EXPECT_EQ(Alpha(buffer.PixelAt(39, 20)), 0u);
}

TEST_F(ShapeTest, RoundRectWithZeroDiameterIsARectangle) {
  TKLDDrawBuffer other(64, 64);
  other.Canvas().Clear();
  for (TKLDCanvas* c : {&canvas, &other.Canvas()}) {
    c->SetBrushColour(&red);
    c->SetPenColour(&blue);
    c->SetLineWidth(2);
  }
  canvas.RoundRect({5, 5, 40, 30}, 0);
  other.Canvas().Rectangle({5, 5, 40, 30});
  for (int y = 0; y < 64; ++y)
    for (int x = 0; x < 64; ++x) ASSERT_EQ(buffer.PixelAt(x, y), other.PixelAt(x, y));
}

TEST_F(ShapeTest, RoundRectCutsItsCorners) {
  canvas.SetBrushColour(&red);
  canvas.SetPenColour(nullptr);
  canvas.RoundRect({0, 0, 40, 40}, 20);
  EXPECT_EQ(Alpha(buffer.PixelAt(0, 0)), 0u);
  EXPECT_EQ(Alpha(buffer.PixelAt(39, 39)), 0u);
  EXPECT_EQ(buffer.PixelAt(20, 0), red.Value());
  EXPECT_EQ(buffer.PixelAt(0, 20), red.Value());
  EXPECT_EQ(buffer.PixelAt(20, 20), red.Value());
}

TEST_F(ShapeTest, EllipseFillsInsideOnly) {
  canvas.SetBrushColour(&red);
  canvas.Ellipse({0, 0, 40, 20});
  EXPECT_EQ(buffer.PixelAt(20, 10), red.Value());
  EXPECT_EQ(buffer.PixelAt(1, 10), red.Value());
  EXPECT_EQ(Alpha(buffer.PixelAt(1, 1)), 0u);
  EXPECT_EQ(Alpha(buffer.PixelAt(38, 18)), 0u);
}

TEST_F(ShapeTest, LineWithNegativeWidthDrawsTheOtherDiagonal) {
  canvas.SetPenColour(&blue);
  canvas.SetLineWidth(3);
  canvas.Line({40, 10, -30, 30});  // from (40, 10) to (10, 40)
  EXPECT_GT(Alpha(buffer.PixelAt(25, 25)), 200u);
  EXPECT_GT(Alpha(buffer.PixelAt(38, 12)), 200u);
  EXPECT_EQ(Alpha(buffer.PixelAt(12, 12)), 0u);
  EXPECT_EQ(Alpha(buffer.PixelAt(38, 38)), 0u);
}

TEST_F(ShapeTest, PieFillsItsSectorClockwise) {
  canvas.SetBrushColour(&red);
  // From 0° (pointing right) clockwise through 90° (pointing down on screen).
  canvas.Pie({0, 0, 60, 60}, 0, 90);
  EXPECT_EQ(buffer.PixelAt(40, 40), red.Value());  // lower right quarter
  EXPECT_EQ(Alpha(buffer.PixelAt(40, 20)), 0u);  // upper right
  EXPECT_EQ(Alpha(buffer.PixelAt(20, 40)), 0u);  // lower left
}

TEST_F(ShapeTest, ArcOutlinesWithoutFilling) {
  canvas.SetBrushColour(&red);
  canvas.SetPenColour(&blue);
  canvas.SetLineWidth(1);
  canvas.Arc({0, 0, 61, 61}, 180, 180);  // the upper half
  EXPECT_GT(Alpha(buffer.PixelAt(30, 0)), 100u);
  EXPECT_GT(Alpha(buffer.PixelAt(0, 30)), 0u);
  EXPECT_EQ(Alpha(buffer.PixelAt(30, 30)), 0u);  // no fill
  EXPECT_EQ(Alpha(buffer.PixelAt(30, 60)), 0u);  // not the lower half
}

TEST_F(ShapeTest, NoPenNoBrushPaintsNothing) {
  canvas.SetBrushColour(nullptr);
  canvas.SetPenColour(nullptr);
  canvas.Rectangle({0, 0, 64, 64});
  canvas.Ellipse({0, 0, 64, 64});
  canvas.Line({0, 0, 64, 64});
  for (int y = 0; y < 64; y += 7)
    for (int x = 0; x < 64; x += 7) ASSERT_EQ(Alpha(buffer.PixelAt(x, y)), 0u);
}

TEST(RectTest, Intersection) {
  EXPECT_EQ(IntersectRect({0, 0, 10, 10}, {5, 5, 10, 10}), (TKLDRect{5, 5, 5, 5}));
  const TKLDRect apart = IntersectRect({0, 0, 10, 10}, {20, 0, 5, 5});
  EXPECT_LE(apart.Width, 0);
}

}  // namespace
}  // namespace lorvane
