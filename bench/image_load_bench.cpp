// Time to load a 6000 × 4000 JPEG for a 1920 × 1080 screen: the picture path (decoding at the
// shown size) against a full decode followed by a resample.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/PixbufImage.h"
#include "render/Graphic.h"

using namespace lorvane;

namespace {

double Millis(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

template <class F>
double Best(int runs, F&& f) {
  double best = 1e18;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    f();
    best = std::min(best, Millis(std::chrono::steady_clock::now() - start));
  }
  return best;
}

}  // namespace

int main() {
  const int width = 6000, height = 4000;
  const std::string dir = std::filesystem::temp_directory_path() / "lorvane_image_bench";
  std::filesystem::create_directories(dir);
  const std::string path = dir + "/photo.jpg";
  {
    // A photo-like picture: smooth gradients with some detail, so the JPEG has realistic size.
    std::vector<uint32_t> px(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x)
        px[size_t(y) * width + x] = 0xFF000000u | (uint32_t((x * 255) / width) << 16) |
                                    (uint32_t((y * 255) / height) << 8) | uint32_t((x ^ y) & 0xFF);
    auto image = TKLDPixbufImage::FromBGRA(width, height, reinterpret_cast<const uint8_t*>(px.data()),
                                           width * 4);
    std::string error;
    if (!image || !image->SaveJpeg(path, 90, error)) {
      std::fprintf(stderr, "could not make the test picture: %s\n", error.c_str());
      return 1;
    }
  }
  std::printf("picture: %d x %d JPEG, %.1f MB\n", width, height,
              std::filesystem::file_size(path) / 1e6);

  const int runs = 5;
  int shownW = 0, shownH = 0;
  const double shrink = Best(runs, [&] {
    TKLDGraphic graphic;
    graphic.SetFitBox(1920, 1080);
    graphic.LoadFromFile(path);
    shownW = graphic.ActualWidth();
    shownH = graphic.ActualHeight();
  });
  const double full = Best(runs, [&] {
    std::string error;
    auto image = TKLDPixbufImage::Load(path, nullptr, error);
    auto scaled = image ? image->Scaled(shownW, shownH) : nullptr;
  });
  std::printf("graphic load with shrink-on-load (%d x %d): %.1f ms (best of %d)\n", shownW, shownH,
              shrink, runs);
  std::printf("full decode then resample:                  %.1f ms (best of %d)\n", full, runs);
  std::filesystem::remove_all(dir);
  return 0;
}
