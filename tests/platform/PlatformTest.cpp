#include <SDL.h>
#include <SDL_keycode.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/HostLoop.h"
#include "platform/PangoText.h"
#include "platform/PixbufImage.h"
#include "platform/PngWriter.h"
#include "platform/SdlMemory.h"
#include "platform/SdlRenderer.h"
#include "platform/VirtualKeys.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

TEST(VirtualKeysTest, KeysKeepTheirWindowsNumbers) {
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_a), 65);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_z), 90);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_0), 48);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_9), 57);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_RETURN), 13);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_ENTER), 13);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_TAB), 9);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_ESCAPE), 27);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_BACKSPACE), 8);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_SPACE), 32);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_LEFT), 37);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_UP), 38);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_RIGHT), 39);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_DOWN), 40);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_PAGEUP), 33);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_PAGEDOWN), 34);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_F1), 112);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_F12), 123);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_F13), 124);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_0), 96);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_5), 101);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_KP_9), 105);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_VOLUMEUP), 175);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_AUDIOPLAY), 179);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_AC_BACK), 166);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_MINUS), 189);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_QUOTE), 222);
}

TEST(VirtualKeysTest, KeysWithoutANumberGiveZero) {
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_UNKNOWN), 0);
  EXPECT_EQ(VirtualKeyFromSdl(SDLK_AUDIOREWIND), 0);
}

TEST(PixelRowTest, UnpremultiplyRestoresStraightAlpha) {
  // Half-transparent pure red as Cairo stores it, opaque blue, and a fully transparent pixel.
  uint32_t premultiplied[3] = {0x80800000, 0xFF0000FF, 0x00000000};
  uint32_t straight[3];
  UnpremultiplyRow(straight, premultiplied, 3);
  EXPECT_EQ(straight[0], 0x80FF0000u);
  EXPECT_EQ(straight[1], 0xFF0000FFu);
  EXPECT_EQ(straight[2], 0x00000000u);
  PremultiplyRow(straight, 3);
  EXPECT_EQ(straight[0], 0x80800000u);
  EXPECT_EQ(straight[1], 0xFF0000FFu);
}

TEST(PixelRowTest, UnpremultiplyNeverOverflowsAChannel) {
  // Malformed input (a channel above its alpha) must not spill into the next channel.
  uint32_t bad = 0x10FF2040, out = 0;
  UnpremultiplyRow(&out, &bad, 1);
  EXPECT_EQ(out >> 24, 0x10u);
  EXPECT_EQ((out >> 16) & 0xFF, 0xFFu);
}

TEST(PngWriterTest, WrittenFrameReadsBackWithItsSizeAndPixels) {
  test::TempDir dir;
  std::vector<uint32_t> pixels(6 * 4, 0xFF102030);
  pixels[5] = 0xFFFF0000;
  std::string error;
  ASSERT_TRUE(WritePngFile(dir.File("f.png"), pixels, 6, 4, error)) << error;
  std::vector<uint32_t> back;
  int w = 0, h = 0;
  ASSERT_TRUE(ReadPngFile(dir.File("f.png"), back, w, h, error)) << error;
  EXPECT_EQ(w, 6);
  EXPECT_EQ(h, 4);
  EXPECT_EQ(back[0], 0xFF102030u);
  EXPECT_EQ(back[5], 0xFFFF0000u);
}

TEST(PngWriterTest, BadPathEmptyFrameOrFullDiskFailsWithAReason) {
  std::string error;
  EXPECT_FALSE(WritePngFile("/nonexistent-folder/x.png", std::vector<uint32_t>(4, 0), 2, 2, error));
  EXPECT_FALSE(error.empty());
  error.clear();
  EXPECT_FALSE(WritePngFile("/tmp/never.png", {}, 0, 0, error));
  EXPECT_FALSE(error.empty());
  // A disk that fills while a screenshot is written keeps the one taken before, whole.
  test::TempDir dir;
  ASSERT_TRUE(WritePngFile(dir.File("shot.png"), std::vector<uint32_t>(4, 0xFF00FF00), 2, 2, error)) << error;
  const std::string before = dir.Read("shot.png");
  std::vector<uint32_t> noise(64 * 64);  // kilobytes however well it compresses
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = 0xFF000000 | static_cast<uint32_t>(i * 2654435761u >> 8);
  bool written;
  {
    test::ScopedFileSizeLimit full(64);
    written = WritePngFile(dir.File("shot.png"), noise, 64, 64, error);
  }
  EXPECT_FALSE(written);
  EXPECT_NE(error.find("File too large"), std::string::npos) << error;
  EXPECT_EQ(dir.Read("shot.png"), before);
}

// Columns of the image that hold ink.
std::pair<int, int> InkColumns(const TKLDTextImage& image) {
  int first = image.Width, last = -1;
  for (int y = 0; y < image.Height; ++y)
    for (int x = 0; x < image.Width; ++x)
      if ((image.Pixels[y * image.Width + x] >> 24) > 64) {
        first = std::min(first, x);
        last = std::max(last, x);
      }
  return {first + image.X, last + image.X};
}

TEST(PangoTextTest, AlignmentPlacesTheTextInItsBox) {
  TKLDPangoFont font("Liberation Sans", 16, false, false);
  TKLDTextImage left, right, centre;
  ASSERT_TRUE(LayoutText(font, "Hello", 300, 40, TKLDTextLayoutAlign::Left, false, left));
  ASSERT_TRUE(LayoutText(font, "Hello", 300, 40, TKLDTextLayoutAlign::Right, false, right));
  ASSERT_TRUE(LayoutText(font, "Hello", 300, 40, TKLDTextLayoutAlign::Centre, false, centre));
  auto [l0, l1] = InkColumns(left);
  auto [r0, r1] = InkColumns(right);
  auto [c0, c1] = InkColumns(centre);
  EXPECT_LT(l0, 5);
  EXPECT_GT(r1, 290);
  EXPECT_NEAR((c0 + c1) / 2.0, 150.0, 6.0);
  // Glyphs are white; only the alpha carries the shape.
  for (uint32_t p : left.Pixels) ASSERT_EQ(p & 0x00FFFFFF, 0x00FFFFFFu);
}

TEST(PangoTextTest, WordWrapBreaksLinesAndTheBoxClips) {
  TKLDPangoFont font("Liberation Sans", 16, false, false);
  const std::string text = "one two three four five six seven eight";
  TKLDTextImage wrapped, single;
  ASSERT_TRUE(LayoutText(font, text, 80, 400, TKLDTextLayoutAlign::Left, true, wrapped));
  ASSERT_TRUE(LayoutText(font, text, 80, 400, TKLDTextLayoutAlign::Left, false, single));
  EXPECT_GT(wrapped.Height, 3 * single.Height);
  EXPECT_LE(single.X + single.Width, 80);  // cut at the box, not wrapped
  TKLDTextImage clipped;
  ASSERT_TRUE(LayoutText(font, text, 80, 30, TKLDTextLayoutAlign::Left, true, clipped));
  EXPECT_LE(clipped.Y + clipped.Height, 30);
}

TEST(PangoTextTest, ConsoleFacesFallBackToAFixedPitchFace) {
  // Right-aligned, the left edge of the ink tells the text's width: narrow and wide letters
  // take the same width in a fixed-pitch face.
  for (const char* face : {"Lucida Console", "lucida console"}) {
    TKLDPangoFont font(face, 20, false, false);
    TKLDTextImage narrow, wide;
    ASSERT_TRUE(LayoutText(font, "iiiiiiiiii", 600, 40, TKLDTextLayoutAlign::Right, false, narrow));
    ASSERT_TRUE(LayoutText(font, "MMMMMMMMMM", 600, 40, TKLDTextLayoutAlign::Right, false, wide));
    EXPECT_NEAR(InkColumns(narrow).first, InkColumns(wide).first, 12) << face;
  }
}

TEST(PangoTextTest, NothingToShowGivesFalse) {
  TKLDPangoFont font("Liberation Sans", 16, true, true);
  TKLDTextImage image;
  EXPECT_FALSE(LayoutText(font, "", 100, 20, TKLDTextLayoutAlign::Left, false, image));
  EXPECT_FALSE(LayoutText(font, "x", 0, 20, TKLDTextLayoutAlign::Left, false, image));
}

// SDL's large blocks are ours, every other pointer stays the C library's: each is freed and
// grown by the allocator that made it, whenever the switch happened.
TEST(SdlMemoryTest, LargeAndSmallBlocksKeepTheirContentsAcrossGrowingAndShrinking) {
  void* older = SDL_malloc(100);  // perhaps from before the switch
  UseLargeBlocksForSdl();
  UseLargeBlocksForSdl();
  const size_t large = size_t(8) << 20;
  auto* block = static_cast<uint8_t*>(SDL_malloc(large));
  ASSERT_NE(block, nullptr);
  for (size_t i = 0; i < large; i += 4096) block[i] = static_cast<uint8_t>(i >> 12);
  block = static_cast<uint8_t*>(SDL_realloc(block, large + (large >> 1)));
  ASSERT_NE(block, nullptr);
  size_t wrong = 0;
  for (size_t i = 0; i < large; i += 4096) wrong += block[i] != static_cast<uint8_t>(i >> 12);
  EXPECT_EQ(wrong, 0u);
  block = static_cast<uint8_t*>(SDL_realloc(block, 64));  // back to the C library
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block[0], 0);
  block = static_cast<uint8_t*>(SDL_realloc(block, large));  // and out again
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(block[0], 0);
  SDL_free(block);

  auto* zeroed = static_cast<uint8_t*>(SDL_calloc(3, size_t(1) << 20));
  ASSERT_NE(zeroed, nullptr);
  size_t nonZero = 0;
  for (size_t i = 0; i < (size_t(3) << 20); ++i) nonZero += zeroed[i] != 0;
  EXPECT_EQ(nonZero, 0u);
  SDL_free(zeroed);
  EXPECT_EQ(SDL_calloc(SIZE_MAX / 2, 4), nullptr);
  SDL_free(older);
  SDL_free(nullptr);
}


// Threads that wake the loop many times before it runs leave one wake in SDL's queue, so a
// flood of control messages cannot fill it and push out the keys that follow.
TEST(HostLoopTest, AFloodOfWakesKeepsOneInTheQueueAndLosesNoKey) {
  THostLoop::ConfigureHeadless();
  ASSERT_TRUE(THostLoop::Initialise());
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  for (int i = 0; i < 70000; ++i) THostLoop::PostWake();
  SDL_Event key {};
  key.type = SDL_KEYDOWN;
  key.key.keysym.sym = SDLK_UP;
  ASSERT_EQ(SDL_PushEvent(&key), 1) << SDL_GetError();
  SDL_PumpEvents();
  EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_USEREVENT, SDL_LASTEVENT), 1);
  std::vector<SDL_Keycode> keys;
  auto handle = [&](const SDL_Event& event) {
    if (event.type == SDL_KEYDOWN) keys.push_back(event.key.keysym.sym);
  };
  EXPECT_TRUE(THostLoop::PumpEvents(handle));
  EXPECT_EQ(keys, std::vector<SDL_Keycode>{SDLK_UP});
  // Once taken, the next wake is queued again: the loop must not sleep through new messages.
  THostLoop::PostWake();
  SDL_PumpEvents();
  EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_USEREVENT, SDL_LASTEVENT), 1);
  EXPECT_TRUE(THostLoop::WaitEvent(handle, 1000));
  THostLoop::PostWake();
  SDL_PumpEvents();
  EXPECT_EQ(SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_USEREVENT, SDL_LASTEVENT), 1);
  THostLoop::Finalise();
}

// A PNG that says how big it is and holds no picture: the size can be read, nothing more.
std::string PngThatSays(uint32_t width, uint32_t height) {
  auto crc32 = [](const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
      crc ^= byte;
      for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
  };
  auto big = [](uint32_t value) {
    return std::string{char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
  };
  auto chunk = [&](const std::string& kind, const std::string& data) {
    return big(static_cast<uint32_t>(data.size())) + kind + data + big(crc32(kind + data));
  };
  // The size is known once the first (here empty) picture data chunk is reached.
  return std::string("\x89PNG\r\n\x1a\n", 8) +
         chunk("IHDR", big(width) + big(height) + std::string("\x08\x06\x00\x00\x00", 5)) + chunk("IDAT", "") +
         chunk("IEND", "");
}

TEST(PixbufImageTest, PicturesThatCannotShrinkWhileDecodingAreRefusedOverTheBudget) {
  test::TempDir dir;
  dir.Write("huge.png", PngThatSays(16000, 16000));
  auto fit = [](int box) {
    return [box](int w, int h, int& rw, int& rh) {
      const double f = std::min(1.0, double(box) / std::max(w, h));
      rw = std::max(1, int(w * f)), rh = std::max(1, int(h * f));
    };
  };
  std::string error;
  EXPECT_EQ(TKLDPixbufImage::Load(dir.File("huge.png"), fit(200), error), nullptr);
  EXPECT_NE(error.find("too large to decode (16000 x 16000 pixels"), std::string::npos) << error;

  // With a budget of a million pixels: a 1200 x 1200 PNG would be held whole and is refused; a
  // JPEG of that size shrinks by 8 while it decodes and is read, unless it is wanted whole.
  TKLDPixbufImage::SetDecodeBudget(1'000'000);
  std::vector<uint8_t> bits(1200 * 1200 * 4, 128);
  auto picture = TKLDPixbufImage::FromBGRA(1200, 1200, bits.data(), 1200 * 4);
  ASSERT_TRUE(picture);
  ASSERT_TRUE(picture->SavePng(dir.File("big.png"), error)) << error;
  ASSERT_TRUE(picture->SaveJpeg(dir.File("big.jpg"), 80, error)) << error;
  error.clear();
  EXPECT_EQ(TKLDPixbufImage::Load(dir.File("big.png"), fit(150), error), nullptr);
  EXPECT_NE(error.find("too large to decode"), std::string::npos) << error;
  error.clear();
  auto small = TKLDPixbufImage::Load(dir.File("big.jpg"), fit(150), error);
  ASSERT_NE(small, nullptr) << error;
  EXPECT_EQ(small->Width(), 150);
  EXPECT_EQ(TKLDPixbufImage::Load(dir.File("big.jpg"), nullptr, error), nullptr);
  TKLDPixbufImage::SetDecodeBudget(TKLDPixbufImage::kDefaultDecodeBudget);
  error.clear();
  EXPECT_NE(TKLDPixbufImage::Load(dir.File("big.png"), fit(150), error), nullptr) << error;
}

// Where OpenGL is Mesa's processor rasteriser (every machine without a graphics driver, this one
// included), the renderer lorvane picks by itself is SDL's software one; a renderer the user
// names is kept as named.
TEST(SdlRendererTest, OpenGlDrawnByTheProcessorGivesWayToTheSoftwareRenderer) {
  EXPECT_TRUE(TKLDSdlRenderer::DrawsInSoftware("llvmpipe (LLVM 15.0.6, 256 bits)"));
  EXPECT_TRUE(TKLDSdlRenderer::DrawsInSoftware("Mesa DRI Software Rasterizer"));
  EXPECT_FALSE(TKLDSdlRenderer::DrawsInSoftware("AMD Radeon RX 6600 (navi23, LLVM 15.0.6, DRM 3.49)"));
  EXPECT_FALSE(TKLDSdlRenderer::DrawsInSoftware(""));

  const char* named = SDL_getenv("SDL_RENDER_DRIVER");
  const std::string saved = named ? named : "";
  unsetenv("SDL_RENDER_DRIVER");
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
  SDL_Window* window = SDL_CreateWindow("renderer", 0, 0, 320, 200, SDL_WINDOW_HIDDEN);
  ASSERT_NE(window, nullptr) << SDL_GetError();
  {
    TKLDSdlRenderer renderer;
    std::string error;
    ASSERT_TRUE(renderer.Create(window, 0, false, error)) << error;
    if (!renderer.SoftwareInsteadOf().empty()) {
      EXPECT_TRUE(TKLDSdlRenderer::DrawsInSoftware(renderer.SoftwareInsteadOf()));
      EXPECT_EQ(renderer.DriverName(), "software");
    } else if (renderer.DriverName().rfind("opengl", 0) == 0) {
      // Kept only on a real graphics driver.
      using GetString = const unsigned char* (*)(unsigned int);
      auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
      ASSERT_NE(getString, nullptr);
      const unsigned char* name = getString(0x1F01);
      EXPECT_FALSE(TKLDSdlRenderer::DrawsInSoftware(name ? reinterpret_cast<const char*>(name) : ""));
    }
  }
  if (!saved.empty()) {
    setenv("SDL_RENDER_DRIVER", saved.c_str(), 1);
    TKLDSdlRenderer renderer;
    std::string error;
    ASSERT_TRUE(renderer.Create(window, 0, false, error)) << error;
    EXPECT_EQ(renderer.DriverName(), saved);
    EXPECT_EQ(renderer.SoftwareInsteadOf(), "");
  }
  SDL_DestroyWindow(window);
  SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

}  // namespace
}  // namespace lorvane
