#include "platform/VisualisationEffect.h"

#include <cairo.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace lorvane;

namespace {

// Paints a frame into a fresh image and returns its pixels.
std::vector<uint32_t> Frame(TKLDVisualisationEffect& effect, const TKLDLevelRecord& record, int size = 128) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, size, size);
  cairo_t* cr = cairo_create(surface);
  effect.Render(cr, size, size, record);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  std::vector<uint32_t> pixels(static_cast<size_t>(size) * size);
  const int stride = cairo_image_surface_get_stride(surface);
  for (int y = 0; y < size; ++y)
    std::memcpy(&pixels[static_cast<size_t>(y) * size], cairo_image_surface_get_data(surface) + y * stride,
                static_cast<size_t>(size) * 4);
  cairo_surface_destroy(surface);
  return pixels;
}

long Brightness(const std::vector<uint32_t>& pixels) {
  long sum = 0;
  for (uint32_t p : pixels) sum += ((p >> 16) & 255) + ((p >> 8) & 255) + (p & 255);
  return sum;
}

TKLDLevelRecord Playing(float level) {
  TKLDLevelRecord record;
  record.state = 2;
  record.measured = true;
  record.left = record.right = level;
  for (int c = 0; c < 2; ++c)
    for (int i = 0; i < TKLDLevelRecord::kSamples; ++i) record.frequency[c][i] = static_cast<uint8_t>((i * 37 + c) % 255);
  return record;
}

}  // namespace

TEST(VisualisationEffect, LoudMusicFillsMoreOfThePictureThanQuietMusic) {
  TKLDVisualisationEffect loud, quiet;
  std::vector<uint32_t> loudFrame, quietFrame;
  for (int i = 0; i < 20; ++i) {
    loudFrame = Frame(loud, Playing(0.9f));
    quietFrame = Frame(quiet, Playing(0.1f));
  }
  EXPECT_GT(loud.Energy(), 0.8f);
  EXPECT_LT(quiet.Energy(), 0.2f);
  EXPECT_GT(Brightness(loudFrame), Brightness(quietFrame) * 3 / 2);
}

TEST(VisualisationEffect, ThePictureMovesWithTheMusicAndSettlesWhenPaused) {
  TKLDVisualisationEffect effect;
  std::vector<uint32_t> previous = Frame(effect, Playing(0.2f));
  int changed = 0;
  for (int i = 0; i < 10; ++i) {
    std::vector<uint32_t> next = Frame(effect, Playing(i % 2 ? 0.9f : 0.3f));
    changed += next != previous;
    previous = next;
  }
  EXPECT_EQ(changed, 10) << "every frame differs while the music plays";
  const float playing = effect.Energy();
  TKLDLevelRecord paused = Playing(0.9f);
  paused.state = 1;
  for (int i = 0; i < 60; ++i) Frame(effect, paused);
  EXPECT_LT(effect.Energy(), playing / 4) << "a paused stream's levels sink";
  // Without measured levels the picture still draws (quietly) rather than failing.
  TKLDLevelRecord unmeasured;
  unmeasured.state = 2;
  EXPECT_TRUE(effect.Valid());
  Frame(effect, unmeasured);
  EXPECT_LT(effect.Energy(), playing / 4);
}
