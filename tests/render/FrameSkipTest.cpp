// Frames are recorded and drawn when they end: a frame that names exactly what the last drawn one
// named is skipped while paced to the display, and anything that changes what shows is drawn.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

#include "render/DirectXHelper.h"
#include "render/DisplayFixture.h"
#include "render/Plasma.h"

namespace lorvane::test {
namespace {

class FrameSkipTest : public DisplayFixture {
 protected:
  void SetUp() override {
    DisplayFixture::SetUp();
    Screen().SetVSync(true);
    // Skipped frames would rest until the next display tick; here they only count.
    Dx().SetIdleWait([this](uint32_t ms) {
      ++rests_;
      lastRest_ = ms;
    });
  }
  // One frame of the given drawing; true when it was drawn, false when skipped.
  template <class Draw>
  bool Frame(Draw draw) {
    EXPECT_TRUE(Screen().BeginFrame());
    draw();
    Screen().EndFrame();
    bool drawn = Dx().FrameDrawn();
    Screen().PresentFrame();
    return drawn;
  }
  int rests_ = 0;
  uint32_t lastRest_ = 0;
};

TEST_F(FrameSkipTest, UnchangedFramesRestAndEveryChangeIsDrawn) {
  auto sprite = SolidSprite(20, 20, 0xFFFF0000);
  TKLDFontStyle font;
  font.Name = "DejaVu Sans";
  font.Size = 14;
  std::string text = "12:00";
  uint32_t tint = 0xFFFFFFFF;
  TKLDDXRect where{10, 10, 30, 30};
  auto draw = [&] {
    Dx().FillRect({100, 100, 120, 120}, 0xFF00FF00u);
    Dx().RenderSprite(sprite.get(), where, tint);
    Dx().RenderText({0, 200, 200, 230}, &font, text);
  };
  EXPECT_TRUE(Frame(draw));
  EXPECT_FALSE(Frame(draw));
  EXPECT_FALSE(Frame(draw));
  EXPECT_EQ(rests_, 2);
  EXPECT_GT(lastRest_, 0u);
  EXPECT_LE(lastRest_, 17u);
  EXPECT_EQ(Dx().FramesSkipped(), 2u);

  // New pixels in the same sprite, of the same size: the texture's version changed.
  std::vector<uint32_t> blue(20 * 20, 0xFF0000FF);
  TKLDBitmapDescription bits;
  bits.Width = bits.Height = 20;
  bits.Stride = 80;
  bits.Bits = reinterpret_cast<uint8_t*>(blue.data());
  bits.Premultiplied = false;
  ASSERT_TRUE(Dx().SpriteManager().UploadBits(sprite.get(), bits));
  EXPECT_TRUE(Frame(draw));
  Read();
  EXPECT_EQ(Pixel(15, 15), kBlue);
  EXPECT_FALSE(Frame(draw));

  where = {40, 10, 60, 30};  // moved
  EXPECT_TRUE(Frame(draw));
  Read();
  EXPECT_EQ(Pixel(15, 15), kBlack);
  EXPECT_EQ(Pixel(45, 15), kBlue);

  tint = 0xFF00FF00;  // tinted: blue times green is black, so the sprite vanishes
  EXPECT_TRUE(Frame(draw));
  Read();
  EXPECT_EQ(Pixel(45, 15), kBlack);

  text = "12:01";  // the clock moved on
  EXPECT_TRUE(Frame(draw));
  EXPECT_FALSE(Frame(draw));

  // One call fewer is a change too.
  EXPECT_TRUE(Frame([&] { Dx().RenderSprite(sprite.get(), where, tint); }));
}

TEST_F(FrameSkipTest, ExposedWindowsScreenshotsAndBenchmarksAreAlwaysDrawn) {
  auto sprite = SolidSprite(20, 20, 0xFFFF0000);
  auto draw = [&] { Dx().RenderSprite(sprite.get(), TKLDDXRect{0, 0, 20, 20}); };
  EXPECT_TRUE(Frame(draw));
  EXPECT_FALSE(Frame(draw));
  Dx().ForgetLastFrame();  // the window was uncovered
  EXPECT_TRUE(Frame(draw));
  std::string shot = ::testing::TempDir() + "/lorvane-skip-shot.png";
  Dx().RequestScreenshot(shot);
  EXPECT_TRUE(Frame(draw));
  EXPECT_FALSE(Frame(draw));
  Dx().SetSkipUnchangedFrames(false);
  EXPECT_TRUE(Frame(draw));
  Dx().SetSkipUnchangedFrames(true);
  EXPECT_FALSE(Frame(draw));
  Screen().SetVSync(false);  // no pacing: every frame is drawn
  EXPECT_TRUE(Frame(draw));
  EXPECT_TRUE(Frame(draw));
  std::remove(shot.c_str());
}

TEST_F(FrameSkipTest, ATextureChangedOrFreedAfterItWasDrawnShowsAsItWasDrawn) {
  auto sprite = SolidSprite(20, 20, 0xFFFF0000);
  auto other = SolidSprite(20, 20, 0xFFFFFFFF);
  ASSERT_TRUE(Screen().BeginFrame());
  Dx().RenderSprite(sprite.get(), TKLDDXRect{0, 0, 20, 20});
  std::vector<uint32_t> green(20 * 20, 0xFF00FF00);
  TKLDBitmapDescription bits;
  bits.Width = bits.Height = 20;
  bits.Stride = 80;
  bits.Bits = reinterpret_cast<uint8_t*>(green.data());
  bits.Premultiplied = false;
  ASSERT_TRUE(Dx().SpriteManager().UploadBits(sprite.get(), bits));
  Dx().RenderSprite(sprite.get(), TKLDDXRect{40, 0, 60, 20});
  Dx().RenderSprite(other.get(), TKLDDXRect{80, 0, 100, 20});
  other.reset();  // freed before the frame ends
  Screen().EndFrame();
  EXPECT_TRUE(Dx().FrameDrawn());
  Read();
  EXPECT_EQ(Pixel(10, 10), kRed);
  EXPECT_EQ(Pixel(50, 10), kGreen);
  EXPECT_EQ(Pixel(90, 10), kWhite);
  Screen().PresentFrame();
}

TEST_F(FrameSkipTest, OpaqueSpritesAreCopiedAndTranslucentOnesStillBlend) {
  auto opaque = SolidSprite(20, 20, 0xFF0000FF);
  auto half = SolidSprite(20, 20, 0x80FFFFFF);
  // One translucent pixel makes the whole sprite blend.
  std::vector<uint32_t> mixed(20 * 20, 0xFF00FF00);
  mixed[0] = 0x00000000;
  auto holed = MakeSprite(20, 20, mixed);
  Dx().SetSkipUnchangedFrames(false);
  for (int pass = 0; pass < 2; ++pass) {  // the second pass draws with the blend modes as left
    ASSERT_TRUE(Screen().BeginFrame());
    Dx().FillRect({0, 0, 320, 240}, 0xFFFF0000u);
    Dx().RenderSprite(opaque.get(), TKLDDXRect{0, 0, 20, 20});
    Dx().RenderSprite(opaque.get(), TKLDDXRect{30, 0, 50, 20}, 0x80FFFFFFu);  // translucent tint blends
    Dx().RenderSprite(half.get(), TKLDDXRect{60, 0, 80, 20});
    Dx().RenderSprite(holed.get(), TKLDDXRect{90, 0, 110, 20});
    Read();
    EXPECT_EQ(Pixel(10, 10), kBlue);
    uint32_t tinted = Pixel(40, 10);
    EXPECT_NEAR(static_cast<int>((tinted >> 16) & 0xFF), 127, 2);
    EXPECT_NEAR(static_cast<int>(tinted & 0xFF), 128, 2);
    uint32_t blended = Pixel(70, 10);
    EXPECT_NEAR(static_cast<int>((blended >> 16) & 0xFF), 255, 3);
    EXPECT_NEAR(static_cast<int>((blended >> 8) & 0xFF), 128, 2);
    EXPECT_EQ(Pixel(90, 0), kRed);  // the transparent pixel let the red through
    EXPECT_EQ(Pixel(100, 10), kGreen);
    Screen().EndFrame();
    Screen().PresentFrame();
  }
}

// A large plasma is put together at the cloud's own 512 pixels and stretched once: it must look
// like the strips drawn at full size, and every frame of it must show the cloud moving on.
TEST_F(FrameSkipTest, AComposedPlasmaLooksLikeTheFullSizeOneAndKeepsMoving) {
  Screen().Close();
  Screen().SetSize(1024, 576);
  Screen().Prepare();
  Screen().Open();
  TKLDPlasmaLayers layers;
  layers.SetCount(2);
  layers.Item(0)->SetSpeed(0.5f);
  layers.Item(1)->SetSpeed(1.0f);
  PreparePlasma(layers, TKLDCanvasColour(255, 60, 140, 220));
  const TKLDCanvasColour back(255, 5, 10, 24);
  const TKLDRect control{0, 0, 1024, 576};
  for (int i = 0; i < 2; ++i) layers.Item(i)->SetOffset(700.0f);

  // The strips of every layer drawn straight at full size, as a reference.
  Dx().SetSkipUnchangedFrames(false);
  ASSERT_TRUE(Screen().BeginFrame());
  Dx().FillRect({0, 0, 1024, 576}, back.Value());
  for (int i = 0; i < 2; ++i) {
    const TKLDPlasmaStrips strips = PlasmaStrips(layers.Item(i)->Offset(), 1024, 576);
    for (const TKLDPlasmaStrip* strip : {&strips.First, &strips.Second})
      if (strip->Source.Width > 0 && strip->Dest.Width > 0)
        layers.Item(i)->Cache().RenderPart(strip->Source, strip->Dest, 0.0f, false, strip->FlipHorizontal, nullptr);
  }
  Read();
  std::vector<uint32_t> reference = frame_;
  Screen().EndFrame();
  Screen().PresentFrame();

  Dx().SetSkipUnchangedFrames(true);
  std::vector<uint32_t> previous;
  for (int pass = 0; pass < 3; ++pass) {
    ASSERT_TRUE(Screen().BeginFrame());
    RenderPlasma(layers, Screen().Canvas(), control, &back);
    Screen().EndFrame();
    EXPECT_TRUE(Dx().FrameDrawn()) << "a drifting cloud is never an unchanged frame";
    Read();
    Screen().PresentFrame();
    if (pass == 0) {
      // Nearest-neighbour stretching may pick a neighbouring source column near the seams.
      int far = 0;
      for (size_t i = 0; i < frame_.size(); ++i)
        for (int shift = 0; shift < 24; shift += 8) {
          int a = static_cast<int>((frame_[i] >> shift) & 0xFF), b = static_cast<int>((reference[i] >> shift) & 0xFF);
          if (std::abs(a - b) > 24) ++far;
        }
      EXPECT_LT(far, static_cast<int>(frame_.size() / 50)) << "more than 2 % of the channels differ";
      EXPECT_FLOAT_EQ(layers.Item(0)->Offset(), 700.5f);
      EXPECT_FLOAT_EQ(layers.Item(1)->Offset(), 701.0f);
    } else {
      EXPECT_NE(frame_, previous) << "pass " << pass;
    }
    previous = frame_;
  }
  EXPECT_FALSE(Logged("WARN"));
}

}  // namespace
}  // namespace lorvane::test
