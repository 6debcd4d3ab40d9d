#include "render/ColourRenderer.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "render/Plasma.h"
#include "render/Random.h"

namespace lorvane {
namespace {

// ---- The generator ----

TEST(RandomTest, FirstSeedsFromZero) {
  TKLDRandom random;
  EXPECT_EQ(random.Step(), 1u);
  EXPECT_EQ(random.Step(), 134775814u);
  EXPECT_EQ(random.Step(), 3698175007u);
  EXPECT_EQ(random.Step(), 870078620u);
}

TEST(RandomTest, IntegerDrawsBelowN) {
  TKLDRandom random;
  const int expected[] = {0, 3, 86, 20, 27, 67, 31, 16};
  for (int value : expected) EXPECT_EQ(random.Int(100), value);
  // Every draw stays in range, whatever the range.
  for (int n : {1, 2, 7, 255, 1000, 0x7FFFFFFF}) {
    for (int i = 0; i < 500; ++i) {
      const int v = random.Int(n);
      ASSERT_GE(v, 0);
      ASSERT_LT(v, n);
    }
  }
}

TEST(RandomTest, EmptyRangeStillStepsAndGivesZero) {
  TKLDRandom a, b;
  EXPECT_EQ(a.Int(0), 0);
  EXPECT_EQ(a.Int(-5), 0);
  b.Step();
  b.Step();
  EXPECT_EQ(a.Seed(), b.Seed());
}

TEST(RandomTest, RealDrawsAreSeedOverTwoToThe32) {
  TKLDRandom random;
  EXPECT_DOUBLE_EQ(random.Real(), 1.0 / 4294967296.0);
  EXPECT_DOUBLE_EQ(random.Real(), 134775814.0 / 4294967296.0);
  for (int i = 0; i < 1000; ++i) {
    const double r = random.Real();
    ASSERT_GE(r, 0.0);
    ASSERT_LT(r, 1.0);
  }
}

TEST(RandomTest, ProcessWideGeneratorIsOneInstance) {
  TKLDRandom& g = KLDRandom();
  EXPECT_EQ(&g, &KLDRandom());
  const uint32_t seed = g.Seed();
  TKLDRandom copy(seed);
  EXPECT_EQ(RandomInt(1000), copy.Int(1000));
  EXPECT_DOUBLE_EQ(RandomReal(), copy.Real());
  EXPECT_EQ(g.Seed(), copy.Seed());
}

// ---- Graded fill ----

uint32_t Argb(int a, int r, int g, int b) {
  return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
}

TEST(GraduatedFillTest, CornersAndMidpoints) {
  // Red at the top left, green top right, blue bottom left, white bottom right, all opaque.
  TKLDDrawBuffer buffer(256, 256);
  const TKLDCanvasColour tl(255, 255, 0, 0), tr(255, 0, 255, 0), bl(255, 0, 0, 255),
      br(255, 255, 255, 255);
  ColourRenderer().GraduatedFill(tl, tr, bl, br, buffer);
  EXPECT_EQ(buffer.PixelAt(0, 0), tl.Value());
  // The top row runs towards the top-right colour: one step short of it at the last pixel
  // (255 × 256 − 255 × 255 = 255, whose high byte is 0).
  EXPECT_EQ(buffer.PixelAt(255, 0), Argb(255, 0, 254, 0));
  // Row k starts at top-left + k steps of the left edge.
  EXPECT_EQ(buffer.PixelAt(0, 255), Argb(255, 0, 0, 254));
  EXPECT_EQ(buffer.PixelAt(0, 128), Argb(255, 127, 0, 127));
  // Midpoint of the top edge, and the centre: half way in both directions.
  EXPECT_EQ(buffer.PixelAt(128, 0), Argb(255, 127, 127, 0));
  EXPECT_EQ(buffer.PixelAt(128, 128), Argb(255, 127, 127, 127));
}

TEST(GraduatedFillTest, AlphaIsGradedToo) {
  TKLDDrawBuffer buffer(100, 4);
  const TKLDCanvasColour left(0, 0, 0, 0), right(200, 0, 0, 0);
  ColourRenderer().GraduatedFill(left, right, left, right, buffer);
  EXPECT_EQ(buffer.PixelAt(0, 2) >> 24, 0u);
  EXPECT_EQ(buffer.PixelAt(50, 2) >> 24, 100u);
  EXPECT_EQ(buffer.PixelAt(99, 2) >> 24, 198u);
}

TEST(GraduatedFillTest, EqualCornersGiveOneColourEverywhere) {
  TKLDDrawBuffer buffer(37, 23);
  const TKLDCanvasColour c(255, 10, 100, 250);
  ColourRenderer().GraduatedFill(c, c, c, c, buffer);
  for (int y = 0; y < 23; ++y) {
    for (int x = 0; x < 37; ++x) ASSERT_EQ(buffer.PixelAt(x, y), c.Value()) << x << "," << y;
  }
}

TEST(GraduatedFillTest, OnePixelIsTheTopLeftColour) {
  TKLDDrawBuffer buffer(1, 1);
  const TKLDCanvasColour tl(255, 12, 34, 56), other(255, 200, 200, 200);
  ColourRenderer().GraduatedFill(tl, other, other, other, buffer);
  EXPECT_EQ(buffer.PixelAt(0, 0), tl.Value());
}

TEST(GraduatedFillTest, ZeroSizeDoesNothing) {
  TKLDDrawBuffer buffer(0, 10);
  const TKLDCanvasColour c;
  ColourRenderer().GraduatedFill(c, c, c, c, buffer);
  EXPECT_FALSE(buffer.Allocated());
}

// ---- Plasma ----

TEST(PlasmaTest, SameDrawsGiveTheSameCloud) {
  const TKLDCanvasColour colour(255, 10, 20, 30);
  TKLDDrawBuffer first(64, 48), second(64, 48);
  TKLDRandom a(12345), b(12345);
  ColourRenderer().GeneratePlasma(colour, first, a);
  ColourRenderer().GeneratePlasma(colour, second, b);
  EXPECT_EQ(a.Seed(), b.Seed());
  int differing = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) {
      ASSERT_EQ(first.PixelAt(x, y), second.PixelAt(x, y));
      if (first.PixelAt(x, y) != first.PixelAt(0, 0)) ++differing;
    }
  }
  EXPECT_GT(differing, 0);  // a cloud, not a flat fill
  // Continuing the same generator gives another cloud.
  TKLDDrawBuffer third(64, 48);
  ColourRenderer().GeneratePlasma(colour, third, a);
  int changed = 0;
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) changed += third.PixelAt(x, y) != first.PixelAt(x, y);
  }
  EXPECT_GT(changed, 0);
}

TEST(PlasmaTest, ColourComesFromTheColourAndAlphaFromTheField) {
  const TKLDCanvasColour colour(17, 200, 100, 50);  // its own alpha is not used
  TKLDDrawBuffer buffer(33, 33);
  TKLDRandom random;
  ColourRenderer().GeneratePlasma(colour, buffer, random);
  TKLDRandom replay;
  TKLDPlasmaField field(replay);
  field.Generate(33, 33);
  for (int y = 0; y < 33; ++y) {
    for (int x = 0; x < 33; ++x) {
      const uint32_t p = buffer.PixelAt(x, y);
      const uint32_t alpha = field.At(x, y);
      ASSERT_EQ(p >> 24, alpha);
      if (alpha >= 128) {
        // The buffer keeps premultiplied pixels, so a translucent colour reads back within one.
        ASSERT_NEAR(int((p >> 16) & 0xFF), 200, 1) << x << "," << y;
        ASSERT_NEAR(int((p >> 8) & 0xFF), 100, 1) << x << "," << y;
        ASSERT_NEAR(int(p & 0xFF), 50, 1) << x << "," << y;
      }
    }
  }
}

TEST(PlasmaTest, CornersAreTheFirstDrawsAndInnerCellsAreComputed) {
  TKLDRandom random;
  TKLDPlasmaField field(random);
  field.Generate(17, 9);
  // Seeded in the order bottom-left, bottom-right, top-right, top-left from seed 0.
  TKLDRandom replay;
  EXPECT_EQ(field.At(0, 8), replay.Int(255));
  EXPECT_EQ(field.At(16, 8), replay.Int(255));
  EXPECT_EQ(field.At(16, 0), replay.Int(255));
  EXPECT_EQ(field.At(0, 0), replay.Int(255));
  // The first displacement: the top edge's midpoint from its two corners.
  const double r = replay.Real();
  const int expected = std::clamp(
      static_cast<int>((r - 0.5) * 16 * 0.5 + (field.At(0, 0) + field.At(16, 0)) / 2.0), 1, 255);
  EXPECT_EQ(field.At(8, 0), expected);
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 17; ++x) {
      const bool corner = (x == 0 || x == 16) && (y == 0 || y == 8);
      if (!corner) {
        ASSERT_GE(field.At(x, y), 1) << x << "," << y;
      }
    }
  }
}

TEST(PlasmaTest, TwoByTwoHoldsOnlyTheSeededCorners) {
  TKLDRandom random(99);
  TKLDDrawBuffer buffer(2, 2);
  ColourRenderer().GeneratePlasma(TKLDCanvasColour(), buffer, random);
  TKLDRandom replay(99);
  const int bl = replay.Int(255), br = replay.Int(255), tr = replay.Int(255), tl = replay.Int(255);
  EXPECT_EQ(random.Seed(), replay.Seed());  // nothing else was drawn
  EXPECT_EQ(buffer.PixelAt(0, 1) >> 24, uint32_t(bl));
  EXPECT_EQ(buffer.PixelAt(1, 1) >> 24, uint32_t(br));
  EXPECT_EQ(buffer.PixelAt(1, 0) >> 24, uint32_t(tr));
  EXPECT_EQ(buffer.PixelAt(0, 0) >> 24, uint32_t(tl));
}

TEST(PlasmaTest, SizeLimits) {
  TKLDRandom random;
  TKLDDrawBuffer tooWide(1025, 10);
  ColourRenderer().GeneratePlasma(TKLDCanvasColour(), tooWide, random);
  EXPECT_FALSE(tooWide.Allocated());
  EXPECT_EQ(random.Seed(), 0u);  // refused before drawing anything
  TKLDDrawBuffer largest(1024, 1024);
  ColourRenderer().GeneratePlasma(TKLDCanvasColour(), largest, random);
  EXPECT_TRUE(largest.Allocated());
  EXPECT_GE(largest.PixelAt(1023, 512) >> 24, 1u);
  EXPECT_GE(largest.PixelAt(512, 1023) >> 24, 1u);
}

// ---- Plasma layers ----

TEST(PlasmaLayerTest, AdvanceWrapsAtTheLimit) {
  TKLDPlasmaLayer layer;
  layer.SetSpeed(1.0f);
  layer.SetOffset(1023.0f);
  layer.Advance();
  EXPECT_FLOAT_EQ(layer.Offset(), 1024.0f);  // the limit itself is still in range
  layer.Advance();
  EXPECT_FLOAT_EQ(layer.Offset(), 0.0f);
  layer.SetSpeed(-0.5f);
  layer.Advance();
  EXPECT_FLOAT_EQ(layer.Offset(), 1024.0f);
}

TEST(PlasmaLayerTest, ListCountAndItems) {
  TKLDPlasmaLayers layers;
  layers.SetCount(2);
  ASSERT_EQ(layers.Count(), 2);
  EXPECT_NE(layers.Item(0), layers.Item(1));
  EXPECT_EQ(layers.Item(2), nullptr);
  EXPECT_EQ(layers.Item(-1), nullptr);
  layers.Item(0)->SetOffset(5);
  layers.SetCount(2);  // fresh layers
  EXPECT_FLOAT_EQ(layers.Item(0)->Offset(), 0.0f);
}

TEST(PlasmaLayerTest, StripsAtOffsetZeroShowTheWholeSourceUnmirrored) {
  const TKLDPlasmaStrips s = PlasmaStrips(0.0f, 800, 600);
  EXPECT_EQ(s.First.Source, (TKLDRect{0, 0, 512, 512}));
  EXPECT_EQ(s.First.Dest, (TKLDRect{0, 0, 800, 600}));
  EXPECT_FALSE(s.First.FlipHorizontal);
  EXPECT_EQ(s.Second.Dest.Width, 0);
}

TEST(PlasmaLayerTest, StripsAtOffset512AreFullyMirrored) {
  const TKLDPlasmaStrips s = PlasmaStrips(512.0f, 800, 600);
  EXPECT_EQ(s.First.Source, (TKLDRect{0, 0, 512, 512}));
  EXPECT_EQ(s.First.Dest, (TKLDRect{0, 0, 800, 600}));
  EXPECT_TRUE(s.First.FlipHorizontal);
  EXPECT_EQ(s.Second.Source.Width, 0);
}

TEST(PlasmaLayerTest, StripsMeetWithoutGapOrOverlap) {
  for (float offset : {100.4f, 100.5f, 300.0f, 700.0f, 1023.0f}) {
    const TKLDPlasmaStrips s = PlasmaStrips(offset, 1000, 300);
    EXPECT_EQ(s.Second.Dest.X, 0);
    EXPECT_EQ(s.Second.Dest.Width, s.First.Dest.X) << offset;
    EXPECT_NEAR(s.First.Dest.X + s.First.Dest.Width, 1000, 1) << offset;
    EXPECT_EQ(s.First.Source.Width + s.Second.Source.Width, 512);
    EXPECT_NE(s.First.FlipHorizontal, s.Second.FlipHorizontal);
  }
  // Halves round to even: 100.5 behaves as 100.
  EXPECT_EQ(PlasmaStrips(100.5f, 512, 10).First.Dest.X, 100);
  // Mirrored: the first strip starts at column b of the source.
  const TKLDPlasmaStrips m = PlasmaStrips(612.0f, 512, 10);
  EXPECT_EQ(m.First.Source, (TKLDRect{100, 0, 412, 512}));
  EXPECT_EQ(m.Second.Source, (TKLDRect{412, 0, 100, 512}));
}

}  // namespace
}  // namespace lorvane
