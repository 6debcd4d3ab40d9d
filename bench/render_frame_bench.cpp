// Frames per second of a typical busy frame on the software renderer, without vertical sync:
// 150 alpha-blended 200 × 100 sprites and 40 lines of text, at 1280 × 720 and 1920 × 1080.
// Run it headless:
//   SDL_VIDEODRIVER=offscreen SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 render_frame_bench
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "render/DirectXHelper.h"
#include "render/Screen.h"

using namespace lorvane;

namespace {

struct Figures {
  double all;
  double spritesOnly;
  double textOnly;
  int textsBuilt;
};

double Measure(TKLDScreen& screen, int frames, bool sprites, bool text, std::vector<std::unique_ptr<TKLDDXSprite>>& pool,
               const TKLDFontStyle& font) {
  TKLDDirectXHelper& dx = *screen.Helper();
  int w = screen.ScreenWidth(), h = screen.ScreenHeight();
  auto frame = [&](int n) {
    if (!screen.BeginFrame()) return;
    if (sprites)
      for (int i = 0; i < 150; ++i) {
        int x = (i * 97 + n) % (w - 200), y = (i * 53) % (h - 100);
        dx.RenderSprite(pool[i % pool.size()].get(), TKLDDXRect{x, y, x + 200, y + 100});
      }
    if (text)
      for (int line = 0; line < 40; ++line) {
        int y = line * (h / 40);
        dx.RenderText({20, y, w - 20, y + h / 40}, &font,
                      "Line " + std::to_string(line) + ": The quick brown fox jumps over the lazy dog",
                      line % 3 == 0 ? TKLDTextAlign::Left : line % 3 == 1 ? TKLDTextAlign::Centre : TKLDTextAlign::Right);
      }
    screen.EndFrame();
    screen.PresentFrame();
  };
  for (int i = 0; i < 10; ++i) frame(i);  // textures made and texts laid out
  auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < frames; ++i) frame(i);
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return frames / seconds;
}

Figures Run(int width, int height, int frames) {
  TKLDDisplayModule module;
  TKLDScreen& screen = module.Screen();
  screen.SetVSync(false);
  screen.SetSize(width, height);
  screen.Prepare();
  screen.Open();
  TKLDDirectXHelper& dx = module.Helper();

  // Eight different translucent sprites, as Cairo would hand them over (premultiplied).
  std::vector<std::unique_ptr<TKLDDXSprite>> pool;
  std::vector<uint32_t> px(200 * 100);
  for (int s = 0; s < 8; ++s) {
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 200; ++x) {
        uint32_t a = 96 + ((x + y + s * 20) % 160);
        uint32_t r = (a * (s * 30 % 256)) / 255, g = (a * ((x + s * 40) % 256)) / 255, b = (a * (y * 2 % 256)) / 255;
        px[y * 200 + x] = (a << 24) | (r << 16) | (g << 8) | b;
      }
    auto sprite = dx.SpriteManager().CreateSprite(200, 100);
    TKLDBitmapDescription bits{200, 100, 800, 4, reinterpret_cast<uint8_t*>(px.data())};
    dx.SpriteManager().UploadBits(sprite.get(), bits);
    pool.push_back(std::move(sprite));
  }
  TKLDFontStyle font;
  font.Name = "Arial";
  font.Size = 11;
  font.Shadow = true;
  font.ShadowOffsetX = font.ShadowOffsetY = 1;

  Figures f{};
  f.all = Measure(screen, frames, true, true, pool, font);
  f.spritesOnly = Measure(screen, frames, true, false, pool, font);
  f.textOnly = Measure(screen, frames, false, true, pool, font);
  f.textsBuilt = dx.FontManager().GetFont(&font)->TextsBuilt;
  std::printf("%s renderer\n", dx.Renderer().DriverName().c_str());
  pool.clear();
  screen.Close();
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  int frames = argc > 1 ? std::atoi(argv[1]) : 200;
  if (frames <= 0) frames = 200;
  const int sizes[2][2] = {{1280, 720}, {1920, 1080}};
  for (const auto& size : sizes) {
    Figures f = Run(size[0], size[1], frames);
    std::printf("%d x %d: %.1f fps with 150 sprites and 40 text lines (shadowed); %.1f fps sprites only; "
                "%.1f fps text only; text laid out %d times in %d frames\n",
                size[0], size[1], f.all, f.spritesOnly, f.textOnly, f.textsBuilt, 3 * (frames + 10));
  }
  return 0;
}
