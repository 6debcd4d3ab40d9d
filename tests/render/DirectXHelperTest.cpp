#include "render/DirectXHelper.h"

#include <cairo.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "render/DisplayFixture.h"

namespace lorvane::test {
namespace {

using SpriteDrawingTest = DisplayFixture;

TEST_F(SpriteDrawingTest, ScaledSpriteFillsItsDestination) {
  auto sprite = QuadrantSprite(20);
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().RenderSprite(sprite.get(), TKLDDXRect{100, 100, 140, 140});
  Read();
  EXPECT_EQ(Pixel(102, 102), kRed);
  EXPECT_EQ(Pixel(137, 102), kGreen);
  EXPECT_EQ(Pixel(102, 137), kBlue);
  EXPECT_EQ(Pixel(137, 137), kWhite);
  EXPECT_EQ(Pixel(98, 98), kBlack);
  EXPECT_EQ(Pixel(141, 141), kBlack);
  Dx().EndFrame();
}

TEST_F(SpriteDrawingTest, MirroredSpritesStayInTheirRectangle) {
  auto sprite = QuadrantSprite(20);
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().RenderSprite(sprite.get(), sprite->GetBounds(), 0.0f, false, true, {}, TKLDDXRect{0, 0, 20, 20});
  Dx().RenderSprite(sprite.get(), sprite->GetBounds(), 0.0f, true, false, {}, TKLDDXRect{40, 0, 60, 20});
  Dx().RenderSprite(sprite.get(), sprite->GetBounds(), 0.0f, true, true, {}, TKLDDXRect{80, 0, 100, 20});
  Read();
  // Horizontal mirror: green top left, red top right.
  EXPECT_EQ(Pixel(2, 2), kGreen);
  EXPECT_EQ(Pixel(17, 2), kRed);
  EXPECT_EQ(Pixel(2, 17), kWhite);
  // Vertical mirror: blue on top.
  EXPECT_EQ(Pixel(42, 2), kBlue);
  EXPECT_EQ(Pixel(57, 17), kGreen);
  // Both: white top left.
  EXPECT_EQ(Pixel(82, 2), kWhite);
  EXPECT_EQ(Pixel(97, 17), kRed);
  EXPECT_EQ(Pixel(21, 2), kBlack);
  Dx().EndFrame();
}

TEST_F(SpriteDrawingTest, RotationTurnsClockwiseAboutTheCentre) {
  auto sprite = QuadrantSprite(40);
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().RenderSprite(sprite.get(), sprite->GetBounds(), static_cast<float>(M_PI / 2), false, false, {},
                    TKLDDXRect{100, 100, 140, 140});
  Read();
  EXPECT_EQ(Pixel(135, 105), kRed);    // top left went to top right
  EXPECT_EQ(Pixel(135, 135), kGreen);  // top right went to bottom right
  EXPECT_EQ(Pixel(105, 135), kWhite);
  EXPECT_EQ(Pixel(105, 105), kBlue);
  Dx().EndFrame();
}

TEST_F(SpriteDrawingTest, TintModulatesAndTransparentTintDrawsNothing) {
  auto sprite = SolidSprite(10, 10, 0xFFFFFFFF);
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().RenderSprite(sprite.get(), TKLDDXRect{0, 0, 10, 10}, 0xFF00FF00u);
  Dx().RenderSprite(sprite.get(), TKLDDXRect{20, 0, 30, 10}, 0x00FFFFFFu);
  Dx().RenderSprite(sprite.get(), TKLDDXRect{40, 0, 50, 10}, 0x80FFFFFFu);
  Dx().RenderSprite(sprite.get(), TKLDDXRect{60, 0, 60, 10});                 // empty destination
  Dx().RenderSprite(sprite.get(), TKLDDXRect{0, 0, 0, 10}, {}, TKLDDXRect{80, 0, 90, 10});  // empty source
  Read();
  EXPECT_EQ(Pixel(5, 5), kGreen);
  EXPECT_EQ(Pixel(25, 5), kBlack);
  uint32_t half = Pixel(45, 5);
  EXPECT_NEAR(static_cast<int>(half & 0xFF), 128, 2);
  EXPECT_EQ(Pixel(60, 5), kBlack);
  EXPECT_EQ(Pixel(85, 5), kBlack);
  Dx().EndFrame();
}

TEST_F(SpriteDrawingTest, PremultipliedUploadBlendsLikeStraightAlpha) {
  auto sprite = Dx().SpriteManager().CreateSprite(10, 10);
  std::vector<uint32_t> px(100, 0x80800000);  // half-transparent red as Cairo stores it
  TKLDBitmapDescription bits{10, 10, 40, 4, reinterpret_cast<uint8_t*>(px.data())};
  ASSERT_TRUE(Dx().SpriteManager().UploadBits(sprite.get(), bits));
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().FillRect({0, 0, 10, 10}, 0xFFFFFFFFu);
  Dx().RenderSprite(sprite.get(), TKLDDXRect{0, 0, 10, 10});
  Read();
  uint32_t p = Pixel(5, 5);
  EXPECT_GE(p >> 16, 250u);  // 191 if the premultiplied red were taken as straight
  EXPECT_NEAR(static_cast<int>((p >> 8) & 0xFF), 127, 2);
  Dx().EndFrame();
}

TEST_F(SpriteDrawingTest, UploadCopiesOnlyTheOverlap) {
  auto sprite = SolidSprite(10, 10, 0xFF00FF00);
  // A smaller source leaves the rest of the texture as it was.
  std::vector<uint32_t> red(25, 0xFFFF0000);
  TKLDBitmapDescription small{5, 5, 20, 4, reinterpret_cast<uint8_t*>(red.data()), false, false};
  ASSERT_TRUE(Dx().SpriteManager().UploadBits(sprite.get(), small));
  // A larger source is cut to the sprite.
  auto tiny = Dx().SpriteManager().CreateSprite(4, 4);
  std::vector<uint32_t> blue(64, 0xFF0000FF);
  TKLDBitmapDescription large{8, 8, 32, 4, reinterpret_cast<uint8_t*>(blue.data()), false, false};
  ASSERT_TRUE(Dx().SpriteManager().UploadBits(tiny.get(), large));
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().RenderSprite(sprite.get(), TKLDDXRect{0, 0, 10, 10});
  Dx().RenderSprite(tiny.get(), TKLDDXRect{20, 0, 24, 4});
  Read();
  EXPECT_EQ(Pixel(2, 2), kRed);
  EXPECT_EQ(Pixel(8, 8), kGreen);
  EXPECT_EQ(Pixel(7, 2), kGreen);
  EXPECT_EQ(Pixel(23, 3), kBlue);
  Dx().EndFrame();
}

TEST_F(SpriteDrawingTest, CairoDrawsStraightIntoTheSprite) {
  auto sprite = Dx().SpriteManager().CreateSprite(16, 16);
  EXPECT_FALSE(sprite->OpenDC());  // no texture yet, and OpenDC does not make one
  ASSERT_NE(Dx().SpriteManager().GetTexture(sprite.get()), nullptr);
  ASSERT_TRUE(sprite->OpenDC());
  cairo_t* cr = sprite->DC();
  ASSERT_NE(cr, nullptr);
  cairo_set_source_rgba(cr, 0, 0, 1, 1);
  cairo_paint(cr);
  cairo_set_source_rgba(cr, 1, 0, 0, 0.5);
  cairo_rectangle(cr, 8, 0, 8, 16);
  cairo_fill(cr);
  sprite->CloseDC();
  EXPECT_EQ(sprite->DC(), nullptr);
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().RenderSprite(sprite.get(), TKLDDXRect{0, 0, 16, 16});
  Read();
  EXPECT_EQ(Pixel(3, 3), kBlue);
  uint32_t mixed = Pixel(12, 3);
  EXPECT_NEAR(static_cast<int>(mixed >> 16), 128, 2);
  EXPECT_NEAR(static_cast<int>(mixed & 0xFF), 127, 2);
  Dx().EndFrame();
}

using DirectDrawingTest = DisplayFixture;

TEST_F(DirectDrawingTest, FrameStartsOpaqueBlackAndFillReplacesPixels) {
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().FillRect({0, 0, 320, 240}, 0xFFFFFFFFu);
  Dx().EndFrame();
  Dx().PresentFrame();
  ASSERT_TRUE(Dx().BeginFrame());
  Read();
  EXPECT_EQ(Pixel(100, 100), kBlack);
  Dx().FillRect({0, 0, 50, 50}, 0xFFFFFFFFu);
  Dx().FillRect({0, 0, 50, 50}, 0x80FF0000u);  // would be pink if it blended
  Dx().FillRect({60, 0, 70, 10}, std::nullopt);
  Read();
  EXPECT_EQ(Pixel(10, 10), kRed);
  EXPECT_EQ(Pixel(65, 5), kBlack);
  Dx().EndFrame();
}

TEST_F(DirectDrawingTest, ClipViewportCutsUntilReset) {
  auto sprite = SolidSprite(100, 100, 0xFF00FF00);
  ASSERT_TRUE(Dx().BeginFrame());
  EXPECT_FALSE(Dx().Clipped());
  Dx().ResetClipViewport();  // nothing to reset
  EXPECT_FALSE(Dx().Clipped());
  Dx().SetClipViewport({10, 10, 50, 50});
  EXPECT_TRUE(Dx().Clipped());
  Dx().FillRect({0, 0, 320, 240}, 0xFFFFFFFFu);
  Dx().RenderSprite(sprite.get(), TKLDDXRect{30, 30, 130, 130});
  Dx().ResetClipViewport();
  EXPECT_FALSE(Dx().Clipped());
  Dx().FillRect({200, 200, 210, 210}, 0xFF0000FFu);
  Read();
  EXPECT_EQ(Pixel(5, 5), kBlack);
  EXPECT_EQ(Pixel(15, 15), kWhite);
  EXPECT_EQ(Pixel(45, 45), kGreen);
  EXPECT_EQ(Pixel(55, 55), kBlack);  // the sprite was cut at the clip edge
  EXPECT_EQ(Pixel(205, 205), kBlue);
  Dx().EndFrame();
}

TEST_F(DirectDrawingTest, ClipOfNegativeSizeIsRefusedAndKeepsTheViewport) {
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().SetClipViewport({10, 10, 50, 50});
  Dx().SetClipViewport({100, 100, 90, 140});
  EXPECT_TRUE(Logged("WARN: Failed to set DirectX viewport: "));
  EXPECT_TRUE(Dx().Clipped());
  Dx().FillRect({0, 0, 320, 240}, 0xFFFFFFFFu);
  Read();
  EXPECT_EQ(Pixel(20, 20), kWhite);
  EXPECT_EQ(Pixel(120, 120), kBlack);  // still cut to the viewport in force, not unclipped
  Dx().ResetClipViewport();
  Dx().EndFrame();
}

TEST_F(DirectDrawingTest, SurfaceIsCopiedUnscaledAndShowsWhatLiesBeneathWhereItIsSeeThrough) {
  auto surface = Dx().SurfaceManager().CreateSurface(8, 8);
  // Opaque red above, half see-through red below the middle, and a clear last column.
  std::vector<uint32_t> px(64, 0xFFFF0000);
  for (int y = 4; y < 8; ++y)
    for (int x = 0; x < 8; ++x) px[y * 8 + x] = 0x80FF0000;
  for (int y = 0; y < 8; ++y) px[y * 8 + 7] = 0x00000000;
  TKLDBitmapDescription bits{8, 8, 32, 4, reinterpret_cast<uint8_t*>(px.data()), false, false};
  ASSERT_TRUE(Dx().SurfaceManager().UploadBits(surface.get(), bits));
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().FillRect({0, 0, 100, 100}, 0xFFFFFFFFu);
  Dx().RenderSurface(surface.get(), {20, 20, 90, 90});
  Read();
  EXPECT_EQ(Pixel(21, 21), kRed);
  EXPECT_EQ(Pixel(26, 23), kRed);
  EXPECT_EQ(Pixel(27, 21), kWhite) << "a clear pixel leaves the white beneath";
  const uint32_t half = Pixel(22, 26);
  EXPECT_GT(half >> 16, 0xF8u);
  EXPECT_NEAR(static_cast<int>((half >> 8) & 0xFF), 127, 3) << "half red over white";
  EXPECT_EQ(Pixel(29, 29), kWhite);
  Dx().EndFrame();
}

TEST_F(DirectDrawingTest, SurfaceMadeMidFrameFromPictureRows) {
  // 20 x 10 straight-alpha rows, as a picture's lock gives them: left half red, right half blue.
  std::vector<uint32_t> px(200);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 20; ++x) px[y * 20 + x] = x < 10 ? 0xFFFF0000 : 0xFF0000FF;
  ASSERT_TRUE(Dx().BeginFrame());
  auto surface = Dx().SurfaceManager().CreateSurface(20, 10);
  TKLDBitmapDescription bits{20, 10, 80, 4, reinterpret_cast<uint8_t*>(px.data()), false, false};
  ASSERT_TRUE(Dx().SurfaceManager().UploadBits(surface.get(), bits));
  Dx().RenderSurface(surface.get(), {50, 60, 70, 70});
  Read();
  EXPECT_EQ(Pixel(50, 60), kRed);
  EXPECT_EQ(Pixel(59, 69), kRed);
  EXPECT_EQ(Pixel(60, 60), kBlue);
  EXPECT_EQ(Pixel(69, 69), kBlue);
  EXPECT_EQ(Pixel(70, 65), kBlack);
  EXPECT_EQ(Pixel(55, 70), kBlack);
  Dx().EndFrame();
}

using TextDrawingTest = DisplayFixture;

bool IsRed(uint32_t p) { return (p >> 16) > 200 && ((p >> 8) & 0xFF) < 60; }
bool IsGreen(uint32_t p) { return ((p >> 8) & 0xFF) > 200 && (p >> 16) < 60; }

TEST_F(TextDrawingTest, ShadowIsDrawnFirst) {
  TKLDFontStyle font;
  font.Name = "Liberation Sans";
  font.Size = 24;
  font.Bold = true;
  font.Colour = 0xFF00FF00;
  font.Shadow = true;
  font.ShadowColour = 0xFFFF0000;
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().RenderText({0, 0, 300, 60}, &font, "HHHH");
  Read();
  // Shadow and text in the same place: only the text shows.
  EXPECT_GT(CountPixels(IsGreen), 100);
  EXPECT_EQ(CountPixels(IsRed), 0);
  Dx().EndFrame();

  TKLDFontStyle offset = font;
  offset.ShadowOffsetX = 4;
  offset.ShadowOffsetY = 4;
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().RenderText({0, 0, 300, 60}, &offset, "HHHH");
  Read();
  EXPECT_GT(CountPixels(IsGreen), 100);
  EXPECT_GT(CountPixels(IsRed), 20);
  Dx().EndFrame();
}

TEST_F(TextDrawingTest, ColourModifierAndAlignment) {
  TKLDFontStyle font;
  font.Name = "Liberation Sans";
  font.Size = 18;
  font.Colour = 0xFFFFFFFF;
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().RenderText({0, 0, 320, 40}, &font, "Right", TKLDTextAlign::Right, 0xFFFF0000u);
  Read();
  int first = 320, last = -1;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 320; ++x)
      if (Pixel(x, y) != kBlack) {
        first = std::min(first, x);
        last = std::max(last, x);
        ASSERT_EQ(Pixel(x, y) & 0xFFFF, 0u) << "the modifier keeps only red";
      }
  EXPECT_GT(first, 200);
  EXPECT_GT(last, 310);
  Dx().EndFrame();
}

TEST_F(TextDrawingTest, UnchangedTextIsNotLaidOutAgain) {
  TKLDFontStyle font;
  font.Name = "DejaVu Sans";
  font.Size = 12;
  auto sprite = SolidSprite(10, 10, 0xFFFFFFFF);
  uint64_t texturesBefore = 0;
  for (int frame = 0; frame < 5; ++frame) {
    ASSERT_TRUE(Dx().BeginFrame());
    Dx().RenderText({0, 0, 200, 30}, &font, "Same text", TKLDTextAlign::Centre, {}, true);
    Dx().RenderSprite(sprite.get(), TKLDDXRect{0, 50, 10, 60});
    if (frame == 0) texturesBefore = Dx().Renderer().TexturesCreated();
    Dx().EndFrame();
    Dx().PresentFrame();
  }
  TKLDDXFont* dxFont = Dx().FontManager().GetFont(&font);
  ASSERT_NE(dxFont, nullptr);
  EXPECT_EQ(dxFont->TextsBuilt, 1);
  EXPECT_EQ(sprite->TexturesCreated(), 1);
  EXPECT_EQ(Dx().Renderer().TexturesCreated(), texturesBefore);
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().RenderText({0, 0, 200, 30}, &font, "Other text", TKLDTextAlign::Centre, {}, true);
  Dx().RenderText({0, 0, 201, 30}, &font, "Same text", TKLDTextAlign::Centre, {}, true);
  Dx().EndFrame();
  EXPECT_EQ(dxFont->TextsBuilt, 3);
}

using DeviceLossTest = DisplayFixture;

TEST_F(DeviceLossTest, ForcedLossIsLoggedRecoveredAndDrawingResumes) {
  auto sprite = SolidSprite(10, 10, 0xFF0000FF);
  TKLDFontStyle font;
  font.Size = 14;
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().RenderText({0, 100, 200, 130}, &font, "before");
  Dx().EndFrame();
  Dx().PresentFrame();

  Dx().ForceDeviceLoss();
  EXPECT_FALSE(Dx().BeginFrame());
  EXPECT_TRUE(Dx().DeviceLost());
  EXPECT_EQ(Count("INFO: Lost display device, will attempt to reset next frame"), 1);
  Dx().EndFrame();
  Dx().PresentFrame();

  ASSERT_TRUE(Dx().BeginFrame());
  EXPECT_FALSE(Dx().DeviceLost());
  EXPECT_TRUE(Logged("INFO: Attempting recovery from lost DirectX display device"));
  EXPECT_TRUE(Logged("INFO: Successfully recovered from lost DirectX display device"));
  // The texture went with the device; its owner sees that and uploads again.
  EXPECT_FALSE(sprite->HasTexture());
  EXPECT_FALSE(sprite->CreationAttempted());
  std::vector<uint32_t> px(100, 0xFF0000FF);
  TKLDBitmapDescription bits{10, 10, 40, 4, reinterpret_cast<uint8_t*>(px.data()), false, false};
  ASSERT_TRUE(Dx().SpriteManager().UploadBits(sprite.get(), bits));
  Dx().RenderSprite(sprite.get(), TKLDDXRect{0, 0, 10, 10});
  Dx().RenderText({0, 100, 200, 130}, &font, "before");
  Read();
  EXPECT_EQ(Pixel(5, 5), kBlue);
  bool textShown = false;
  for (int y = 100; y < 130 && !textShown; ++y)
    for (int x = 0; x < 200; ++x) textShown |= Pixel(x, y) != kBlack;
  EXPECT_TRUE(textShown);
  Dx().EndFrame();
}

struct FakePlayer : TKLDDXPlayer {
  static inline int shutdowns = 0;
  void Shutdown() override { ++shutdowns; }
  void Render(const TKLDDXRect&) override {}
};

std::unique_ptr<TKLDDXPlayer> MakeFakePlayer(const std::string& fileName, bool) {
  if (fileName == "broken") return nullptr;
  return std::make_unique<FakePlayer>();
}

TEST_F(DeviceLossTest, LossEndsTheVideoForGoodButKeepsTheVisualisation) {
  FakePlayer::shutdowns = 0;
  Dx().SetPlayerFactory(&MakeFakePlayer);
  EXPECT_FALSE(Dx().CreateVideoPlayer("broken"));
  EXPECT_EQ(Dx().VideoPlayer(), nullptr);
  ASSERT_TRUE(Dx().CreateVideoPlayer("film"));
  EXPECT_FALSE(Dx().CreateVideoPlayer("film"));  // one at a time
  ASSERT_TRUE(Dx().CreateVisualisationPlayer("song"));
  Dx().ForceDeviceLoss();
  EXPECT_FALSE(Dx().BeginFrame());
  ASSERT_TRUE(Dx().BeginFrame());
  EXPECT_EQ(Dx().VideoPlayer(), nullptr);
  EXPECT_NE(Dx().VisualisationPlayer(), nullptr);
  EXPECT_EQ(FakePlayer::shutdowns, 1);
  Dx().EndFrame();
  Dx().Finalise();
  EXPECT_EQ(Dx().VisualisationPlayer(), nullptr);
  EXPECT_EQ(FakePlayer::shutdowns, 2);
}

using SpriteManagerTest = DisplayFixture;

TEST_F(SpriteManagerTest, InvalidSizesAndCounts) {
  EXPECT_EQ(Dx().SpriteManager().CreateSprite(0, 50), nullptr);
  EXPECT_TRUE(Logged("WARN: Create sprite method was passed invalid dimensions"));
  EXPECT_EQ(Dx().SpriteManager().Count(), 0);
  auto later = Dx().SpriteManager().CreateSprite();
  ASSERT_NE(later, nullptr);
  EXPECT_EQ(later->Width(), -1);
  {
    auto other = Dx().SpriteManager().CreateSprite(4, 4);
    EXPECT_EQ(Dx().SpriteManager().Count(), 2);
  }
  EXPECT_EQ(Dx().SpriteManager().Count(), 1);
}

TEST_F(SpriteManagerTest, FailedCreationIsNotRetriedUntilResized) {
  auto sprite = Dx().SpriteManager().CreateSprite();
  EXPECT_EQ(Dx().SpriteManager().GetTexture(sprite.get()), nullptr);
  EXPECT_EQ(Dx().SpriteManager().GetTexture(sprite.get()), nullptr);
  EXPECT_EQ(Count("WARN: Failed to create DirectX texture for rendering: "), 1);
  EXPECT_TRUE(sprite->CreationAttempted());
  Dx().SpriteManager().ReleaseTextures();  // a sprite without a size stays attempted
  EXPECT_TRUE(sprite->CreationAttempted());
  sprite->SetSize(8, 8);
  EXPECT_FALSE(sprite->CreationAttempted());
  EXPECT_NE(Dx().SpriteManager().GetTexture(sprite.get()), nullptr);
}

TEST_F(SpriteManagerTest, SizeChangeReplacesTheTextureAndSameSizeKeepsIt) {
  auto sprite = Dx().SpriteManager().CreateSprite(8, 8);
  TKLDSdlTexture* first = Dx().SpriteManager().GetTexture(sprite.get());
  ASSERT_NE(first, nullptr);
  sprite->SetSize(8, 8);
  EXPECT_TRUE(sprite->HasTexture());
  EXPECT_EQ(sprite->TexturesCreated(), 1);
  sprite->SetSize(16, 8);
  EXPECT_FALSE(sprite->HasTexture());
  TKLDSdlTexture* second = Dx().SpriteManager().GetTexture(sprite.get());
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->Width(), 16);
  EXPECT_EQ(sprite->TexturesCreated(), 2);
  Dx().SpriteManager().ReleaseTextures();
  EXPECT_FALSE(sprite->HasTexture());
  EXPECT_FALSE(sprite->CreationAttempted());
}

// A texture let go of is handed to the next sprite of its size, looking as a new one would: no
// tint left over, and clear where a partial upload does not reach.
TEST_F(SpriteManagerTest, ReleasedTextureIsReusedAsGoodAsNew) {
  TKLDSdlRenderer& renderer = Dx().Renderer();
  ASSERT_EQ(renderer.DriverName(), "software");
  {
    auto old = SolidSprite(10, 10, 0xFFFF0000);
    ASSERT_TRUE(Dx().BeginFrame());
    Dx().RenderSprite(old.get(), old->GetBounds(), 0.0f, false, false, 0x800000FFu, TKLDDXRect{0, 0, 10, 10});
    Dx().EndFrame();
  }
  EXPECT_EQ(renderer.SpareBytes(), 10u * 10 * 4);
  const uint64_t created = renderer.TexturesCreated(), reused = renderer.TexturesReused();
  auto sprite = Dx().SpriteManager().CreateSprite(10, 10);
  std::vector<uint32_t> green(25, 0xFF00FF00);
  TKLDBitmapDescription corner{5, 5, 20, 4, reinterpret_cast<uint8_t*>(green.data()), false, false};
  ASSERT_TRUE(Dx().SpriteManager().UploadBits(sprite.get(), corner));
  EXPECT_EQ(renderer.TexturesReused(), reused + 1);
  EXPECT_EQ(renderer.TexturesCreated(), created + 1);
  EXPECT_EQ(renderer.SpareBytes(), 0u);
  ASSERT_TRUE(Dx().BeginFrame());
  Dx().RenderSprite(sprite.get(), TKLDDXRect{20, 20, 30, 30});
  Read();
  EXPECT_EQ(Pixel(22, 22), kGreen);  // untinted
  EXPECT_EQ(Pixel(28, 28), kBlack);  // never uploaded: transparent, not the old red
  Dx().EndFrame();
  // Another size makes a texture of its own.
  auto other = SolidSprite(12, 10, 0xFF0000FF);
  EXPECT_EQ(renderer.TexturesReused(), reused + 1);
}

TEST_F(SpriteManagerTest, SpareTexturesAreBoundedAndGoWithTheirRenderer) {
  TKLDSdlRenderer& renderer = Dx().Renderer();
  // 1 MiB each: the oldest go to stay within the bound.
  const size_t each = 512 * 512 * 4, fit = TKLDSdlRenderer::kMaxSpareBytes / each;
  {
    std::vector<std::unique_ptr<TKLDDXSprite>> sprites;
    for (size_t i = 0; i < fit + 3; ++i) sprites.push_back(SolidSprite(512, 512, 0xFFFFFFFF));
  }
  EXPECT_EQ(renderer.SpareBytes(), fit * each);
  // Spares not asked for again go after a while, oldest first; a fresh one stays.
  const uint64_t now = TKLDSdlRenderer::SpareClock();
  renderer.ExpireSpares(now);
  EXPECT_EQ(renderer.SpareBytes(), fit * each);
  std::this_thread::sleep_for(std::chrono::milliseconds(3));  // kept a moment later
  { auto fresh = SolidSprite(256, 256, 0xFFFFFFFF); }
  renderer.ExpireSpares(now + TKLDSdlRenderer::kSpareLifetimeMs + 1);
  EXPECT_EQ(renderer.SpareBytes(), size_t(256) * 256 * 4) << "only the texture kept last is left";
  renderer.ExpireSpares(TKLDSdlRenderer::SpareClock() + TKLDSdlRenderer::kSpareLifetimeMs + 1);
  EXPECT_EQ(renderer.SpareBytes(), 0u);
  {
    std::vector<std::unique_ptr<TKLDDXSprite>> sprites;
    for (size_t i = 0; i < 3; ++i) sprites.push_back(SolidSprite(512, 512, 0xFFFFFFFF));
  }
  EXPECT_EQ(renderer.SpareBytes(), 3 * each);
  // A device reset lets them go, with the textures of live sprites.
  auto survivor = SolidSprite(512, 512, 0xFFFFFFFF);
  Dx().ForceDeviceLoss();
  EXPECT_FALSE(Dx().BeginFrame());
  Dx().EndFrame();
  Dx().PresentFrame();
  ASSERT_TRUE(Dx().BeginFrame());
  EXPECT_EQ(renderer.SpareBytes(), 0u);
  survivor.reset();  // its texture went with the reset
  EXPECT_EQ(renderer.SpareBytes(), 0u);
  Dx().EndFrame();
}

TEST_F(SpriteManagerTest, CloseReleasesTexturesButKeepsSpritesRegistered) {
  auto sprite = SolidSprite(4, 4, 0xFFFFFFFF);
  auto surface = Dx().SurfaceManager().CreateSurface(4, 4);
  ASSERT_NE(Dx().SurfaceManager().GetSurface(surface.get()), nullptr);
  Screen().Close();
  EXPECT_FALSE(sprite->HasTexture());
  EXPECT_FALSE(surface->HasSurface());
  EXPECT_EQ(Dx().SpriteManager().Count(), 1);
  EXPECT_EQ(Dx().SurfaceManager().Count(), 1);
}

using FontManagerTest = DisplayFixture;

TEST_F(FontManagerTest, OneFontPerCanvasFontObject) {
  TKLDFontStyle a, b;
  a.Size = b.Size = 12;
  TKLDDXFont* fa = Dx().FontManager().GetFont(&a);
  TKLDDXFont* fb = Dx().FontManager().GetFont(&b);
  ASSERT_NE(fa, nullptr);
  ASSERT_NE(fb, nullptr);
  EXPECT_NE(fa, fb);
  EXPECT_EQ(Dx().FontManager().GetFont(&a), fa);
  EXPECT_EQ(Dx().FontManager().Count(), 2);
  EXPECT_EQ(Dx().FontManager().GetFont(nullptr), nullptr);
  EXPECT_EQ(Dx().FontManager().Item(2), nullptr);
}

TEST_F(FontManagerTest, PointsBecomePixelsAtNinetySixPerInch) {
  TKLDFontStyle twelve, ten, zero;
  twelve.Size = 12;
  ten.Size = 10;
  zero.Size = 0;
  EXPECT_EQ(Dx().FontManager().GetFont(&twelve)->Font->PixelSize(), 16);
  EXPECT_EQ(Dx().FontManager().GetFont(&ten)->Font->PixelSize(), 13);  // 13.33 truncated
  EXPECT_EQ(Dx().FontManager().GetFont(&zero), nullptr);
  EXPECT_TRUE(Logged("WARN: Failed to create DirectX font: "));
}

TEST(CombineColourTest, ModifierScalesEachChannel) {
  EXPECT_EQ(CombineColour(0xFF804020, std::nullopt), 0xFF804020u);
  EXPECT_EQ(CombineColour(0xFF804020, 0xFFFFFFFFu), 0xFF804020u);
  EXPECT_EQ(CombineColour(0xFFFFFFFF, 0x80FF0000u), 0x80FF0000u);
  EXPECT_EQ(CombineColour(0xFF808080, 0x80808080u), 0x80404040u);
}

TEST(NameTableTest, PoolsAndFormatsGoByTheirLogNames) {
  EXPECT_EQ(TKLDDirectXHelper::PoolName(0), "D3DPOOL_DEFAULT");
  EXPECT_EQ(TKLDDirectXHelper::PoolName(1), "D3DPOOL_MANAGED");
  EXPECT_EQ(TKLDDirectXHelper::PoolName(2), "D3DPOOL_SYSTEMMEM");
  EXPECT_EQ(TKLDDirectXHelper::PoolName(3), "D3DPOOL_SCRATCH");
  EXPECT_EQ(TKLDDirectXHelper::PoolName(9), "D3DPOOL_DEFAULT");
  // The textures asked for are the alpha format the texture-format warning names.
  EXPECT_EQ(TKLDDirectXHelper::FormatName(TextureFormat()), "D3DFMT_A8R8G8B8");
  EXPECT_EQ(TKLDDirectXHelper::FormatName(0), "D3DFMT_UNKNOWN");
  // Four-character codes read as themselves, lowest byte first.
  EXPECT_EQ(TKLDDirectXHelper::FormatName(0x32595559u), "D3DFMT_YUY2");
}

}  // namespace
}  // namespace lorvane::test
