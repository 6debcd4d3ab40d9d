// A full-screen slideshow of 6000 × 4000 JPEGs at 1920 × 1080 with a 2-second delay, pan, zoom
// and fading, drawn frame by frame on the software renderer. Prints the longest frame and, for
// every slide, how many frames it started after it was due (0 means on time).
// Run it headless:
//   SDL_VIDEODRIVER=offscreen SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 slideshow_bench
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "media/MediaManager.h"
#include "media/Picture.h"
#include "platform/PixbufImage.h"
#include "render/DirectXHelper.h"
#include "render/Screen.h"

using namespace lorvane;
using Clock = std::chrono::steady_clock;

namespace {

bool WritePhoto(const std::string& path, int index) {
  const int width = 6000, height = 4000;
  std::vector<uint8_t> bits(static_cast<size_t>(width) * height * 4);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      uint8_t* p = &bits[(static_cast<size_t>(y) * width + x) * 4];
      p[0] = static_cast<uint8_t>(x / 24 + index * 40);
      p[1] = static_cast<uint8_t>(y / 16);
      p[2] = static_cast<uint8_t>((x ^ y) & 0xff);
      p[3] = 255;
    }
  auto image = TKLDPixbufImage::FromBGRA(width, height, bits.data(), width * 4);
  std::string error;
  return image && image->SaveJpeg(path, 90, error);
}

}  // namespace

int main() {
  const int slides = 6;
  char folder[] = "/tmp/lorvane-slides-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  std::printf("Writing %d photos of 6000 x 4000...\n", slides);
  std::vector<std::string> files;
  for (int i = 0; i < slides; ++i) {
    files.push_back(std::string(folder) + "/photo" + std::to_string(i) + ".jpg");
    if (!WritePhoto(files.back(), i)) return 1;
  }

  TKLDDisplayModule module;
  TKLDScreen& screen = module.Screen();
  screen.SetVSync(false);
  screen.SetSize(1920, 1080);
  screen.Prepare();
  screen.Open();

  int frameMs = 0;
  TKLDMediaManager manager;
  TKLDMediaManager::Context context;
  context.slideshow = [] { return TKLDSlideshowSettings{2, true, true}; };
  context.frameElapsed = [&frameMs] { return frameMs; };
  manager.SetContext(context);
  for (const std::string& file : files) manager.SelectionList().AddItem(file, MEDIA_PICTURE, file, file);
  manager.SetSelection(manager.SelectionList().Item(0));
  manager.ReplacePlaylist(0);
  TKLDMediaStream& stream = manager.Primary();
  TKLDPictureRenderer& pictures = stream.PictureRenderer();
  if (!manager.Play("primary")) return 1;

  // Frames run at about 60 a second, as with vertical sync.
  const auto frameBudget = std::chrono::microseconds(16667);
  double longest = 0, total = 0, longestCpu = 0;
  // Processor time of this thread: what a frame costs whatever else the shared machine runs.
  auto cpuMillis = [] {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
  };
  int frames = 0;
  std::vector<int> late;             // per slide: frames between due and started
  int dueFrame = -1, lastIndex = -1;
  auto last = Clock::now();
  while (stream.State() == STREAM_PLAYING && frames < 60 * 60) {
    const auto start = Clock::now();
    const double startCpu = cpuMillis();
    frameMs = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(start - last).count());
    last = start;
    const int index = stream.Playlist().CurrentIndex();
    if (index != lastIndex) {
      dueFrame = frames;  // the stream moved on: this slide is due now
      lastIndex = index;
    }
    if (screen.BeginFrame()) {
      stream.SetWindowRect({0, 0, screen.ScreenWidth(), screen.ScreenHeight()});
      screen.EndFrame();
      screen.PresentFrame();
    }
    if (dueFrame >= 0 && pictures.Phase() == PHASE_FADING_IN && !pictures.Loading()) {
      late.push_back(frames - dueFrame);
      dueFrame = -1;
    }
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    longest = std::max(longest, ms);
    longestCpu = std::max(longestCpu, cpuMillis() - startCpu);
    total += ms;
    ++frames;
    const auto spent = Clock::now() - start;
    if (spent < frameBudget) usleep(static_cast<useconds_t>(std::chrono::duration_cast<std::chrono::microseconds>(frameBudget - spent).count()));
  }
  std::printf("frames: %d, mean frame work %.1f ms, longest frame %.1f ms (main thread's processor time %.1f ms)\n",
              frames, total / std::max(1, frames), longest, longestCpu);
  for (size_t i = 0; i < late.size(); ++i)
    std::printf("slide %zu started %d frame(s) after it was due%s\n", i + 1, late[i], i == 0 ? " (cold start)" : "");
  for (const std::string& file : files) unlink(file.c_str());
  rmdir(folder);
  return 0;
}
