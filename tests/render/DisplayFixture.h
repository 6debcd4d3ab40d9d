#pragma once
// A headless screen with an open device, and pixel helpers, shared by the render tests.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/Logging.h"
#include "render/DirectXHelper.h"
#include "render/Screen.h"

namespace lorvane::test {

class DisplayFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    logger_.SetEchoList(&log_);
    SetGlobalLogger(&logger_);
    module_ = std::make_unique<TKLDDisplayModule>();
    Screen().SetSize(320, 240);
    Screen().SetVSync(false);
    Screen().Prepare();
    Screen().Open();
  }
  void TearDown() override {
    module_.reset();
    SetGlobalLogger(nullptr);
  }

  TKLDScreen& Screen() { return module_->Screen(); }
  TKLDDirectXHelper& Dx() { return module_->Helper(); }

  int Count(const std::string& text) const {
    return static_cast<int>(std::count_if(log_.begin(), log_.end(),
                                          [&](const std::string& l) { return l.find(text) != std::string::npos; }));
  }
  bool Logged(const std::string& text) const { return Count(text) > 0; }

  // Reads the frame being drawn; Pixel then answers from that read.
  void Read() {
    ASSERT_TRUE(Dx().ReadFrame(frame_, width_, height_));
  }
  uint32_t Pixel(int x, int y) const { return frame_[static_cast<size_t>(y) * width_ + x] & 0x00FFFFFF; }
  int CountPixels(bool (*match)(uint32_t)) const {
    return static_cast<int>(std::count_if(frame_.begin(), frame_.end(), [&](uint32_t p) { return match(p & 0xFFFFFF); }));
  }

  // A sprite filled from straight-alpha pixels, given row after row.
  std::unique_ptr<TKLDDXSprite> MakeSprite(int w, int h, const std::vector<uint32_t>& pixels) {
    auto sprite = Dx().SpriteManager().CreateSprite(w, h);
    TKLDBitmapDescription bits;
    bits.Width = w;
    bits.Height = h;
    bits.Stride = w * 4;
    bits.Bits = reinterpret_cast<uint8_t*>(const_cast<uint32_t*>(pixels.data()));
    bits.Premultiplied = false;
    EXPECT_TRUE(Dx().SpriteManager().UploadBits(sprite.get(), bits));
    return sprite;
  }
  std::unique_ptr<TKLDDXSprite> SolidSprite(int w, int h, uint32_t argb) {
    return MakeSprite(w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h, argb));
  }
  // Red, green / blue, white quadrants.
  std::unique_ptr<TKLDDXSprite> QuadrantSprite(int size) {
    std::vector<uint32_t> px(static_cast<size_t>(size) * size);
    for (int y = 0; y < size; ++y)
      for (int x = 0; x < size; ++x)
        px[y * size + x] = y < size / 2 ? (x < size / 2 ? 0xFFFF0000 : 0xFF00FF00) : (x < size / 2 ? 0xFF0000FF : 0xFFFFFFFF);
    return MakeSprite(size, size, px);
  }

  std::vector<std::string> log_;  // before the logger, which writes its stop banner into it
  TKLDLogger logger_;
  std::unique_ptr<TKLDDisplayModule> module_;
  std::vector<uint32_t> frame_;
  int width_ = 0;
  int height_ = 0;
};

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kWhite = 0xFFFFFF, kBlack = 0;

}  // namespace lorvane::test
