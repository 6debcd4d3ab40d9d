#include "render/RenderCache.h"

#include "render/DisplayFixture.h"
#include "render/Viewport.h"

namespace lorvane::test {
namespace {

class RenderCacheTest : public DisplayFixture {
 protected:
  // Paints a red square with a green right half into the buffer, counting the paints.
  void Paint(const TKLDRect& rect) {
    ++paints_;
    TKLDCanvas& canvas = buffer_.Canvas();
    canvas.Clear();
    TKLDCanvasColour red = TKLDCanvasColour::FromARGB(0xFFFF0000);
    TKLDCanvasColour green = TKLDCanvasColour::FromARGB(0xFF00FF00);
    canvas.SetPenColour(nullptr);
    canvas.SetBrushColour(&red);
    canvas.FillRect(rect);
    canvas.SetBrushColour(&green);
    canvas.FillRect({rect.X + rect.Width / 2, rect.Y, rect.Width / 2, rect.Height});
  }
  // The owner's frame: paint and build only when the cache is not valid, then draw the sprite.
  void Frame(TKLDRenderCache& cache, const TKLDRect& rect) {
    if (!cache.IsValid()) {
      Paint(rect);
      ASSERT_TRUE(cache.Build(rect));
    }
    ASSERT_TRUE(Dx().BeginFrame());
    cache.Render(rect, nullptr);
    Read();
    Dx().EndFrame();
  }

  TKLDDrawBuffer buffer_{320, 240};
  int paints_ = 0;
};

TEST_F(RenderCacheTest, PaintsAndUploadsOnceThenDrawsTheSprite) {
  TKLDRenderCache cache(&buffer_);
  EXPECT_FALSE(cache.IsValid());
  const TKLDRect rect{40, 30, 60, 20};
  for (int i = 0; i < 3; ++i) {
    Frame(cache, rect);
    EXPECT_EQ(Pixel(45, 35), kRed);
    EXPECT_EQ(Pixel(95, 45), kGreen);
    EXPECT_EQ(Pixel(39, 35), kBlack);
    EXPECT_EQ(Pixel(100, 35), kBlack);
  }
  EXPECT_EQ(paints_, 1);
  EXPECT_EQ(cache.Uploads(), 1);
  EXPECT_EQ(cache.Sprite()->TexturesCreated(), 1);
  // Changing the buffer afterwards does not reach the screen: only the sprite is drawn.
  buffer_.Canvas().Clear();
  Frame(cache, rect);
  EXPECT_EQ(Pixel(45, 35), kRed);
}

TEST_F(RenderCacheTest, PaintsAgainAfterTheDeviceReleasedTheTexture) {
  TKLDRenderCache cache(&buffer_);
  const TKLDRect rect{10, 10, 30, 30};
  Frame(cache, rect);
  Dx().SpriteManager().ReleaseTextures();
  EXPECT_FALSE(cache.IsValid());
  Frame(cache, rect);
  EXPECT_EQ(Pixel(12, 12), kRed);
  Frame(cache, rect);
  EXPECT_EQ(paints_, 2);
  EXPECT_EQ(cache.Uploads(), 2);
  EXPECT_EQ(cache.Sprite()->TexturesCreated(), 2);
}

TEST_F(RenderCacheTest, SameSizeReusesTheTextureAndANewSizeRecreatesIt) {
  TKLDRenderCache cache(&buffer_);
  Paint({0, 0, 50, 50});
  ASSERT_TRUE(cache.Build({0, 0, 50, 50}));
  ASSERT_TRUE(cache.Build({0, 0, 50, 50}));
  EXPECT_EQ(cache.Sprite()->TexturesCreated(), 1);
  ASSERT_TRUE(cache.Build({0, 0, 40, 50}));
  EXPECT_EQ(cache.Sprite()->TexturesCreated(), 2);
  EXPECT_EQ(cache.Uploads(), 3);
}

TEST_F(RenderCacheTest, EmptyRectangleFailsWithoutASprite) {
  TKLDRenderCache cache(&buffer_);
  EXPECT_FALSE(cache.Build({0, 0, 0, 10}));
  EXPECT_FALSE(cache.Build({0, 0, 10, -1}));
  EXPECT_EQ(cache.Sprite(), nullptr);
  TKLDRenderCache noBuffer(nullptr);
  EXPECT_FALSE(noBuffer.Build({0, 0, 10, 10}));
  // Drawing without a sprite does nothing.
  ASSERT_TRUE(Dx().BeginFrame());
  cache.Render({0, 0, 10, 10}, nullptr);
  Read();
  EXPECT_EQ(Pixel(5, 5), kBlack);
  Dx().EndFrame();
}

TEST_F(RenderCacheTest, RectanglePartlyOffScreenDrawsFromItsClampedCorner) {
  TKLDRenderCache cache(&buffer_);
  Paint({0, 0, 20, 20});
  ASSERT_TRUE(cache.Build({0, 0, 20, 20}));
  ASSERT_TRUE(Dx().BeginFrame());
  cache.Render({-10, -5, 20, 20}, nullptr);
  Read();
  EXPECT_EQ(Pixel(1, 1), kRed);  // the whole sprite, full size, from (0, 0)
  EXPECT_EQ(Pixel(18, 18), kGreen);
  EXPECT_EQ(Pixel(21, 5), kBlack);
  Dx().EndFrame();
}

TEST_F(RenderCacheTest, ClippedControlOutsideTheClipCannotBuild) {
  TKLDViewport viewport(&buffer_.Canvas());
  viewport.SetOriginX(100);
  viewport.SetOriginY(100);
  viewport.SetWidth(50);
  viewport.SetHeight(50);
  ASSERT_TRUE(Dx().BeginFrame());
  viewport.SetClipping(true);
  EXPECT_TRUE(Dx().Clipped());
  const TKLDRect visible = viewport.VisibleRect(60, 0, 20, 20);
  EXPECT_LE(visible.Width, 0);
  TKLDRenderCache cache(&buffer_);
  EXPECT_FALSE(cache.Build(visible));
  viewport.SetClipping(false);
  EXPECT_FALSE(Dx().Clipped());
  Dx().EndFrame();
}

}  // namespace
}  // namespace lorvane::test
