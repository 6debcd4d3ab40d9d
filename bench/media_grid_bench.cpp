// Opening a picture folder of 1 000 photographs of 6000 × 4000 in the default theme and paging
// through it to the end, headless at 1280 × 720 on the software renderer: the longest frame, and
// how long after each page change the last visible thumbnail showed.
// Run it headless:
//   SDL_VIDEODRIVER=offscreen SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 media_grid_bench [pages]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/ApplicationManager.h"
#include "app/CommandLine.h"
#include "base/Timing.h"
#include "platform/HostLoop.h"
#include "platform/PixbufImage.h"
#include "render/Screen.h"
#include "ui/UIControls.h"
#include "ui/UIManager.h"

using namespace lorvane;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPhotos = 1000, kWidth = 6000, kHeight = 4000;
constexpr int kDown = 0x28, kEnter = 0x0D, kPageDown = 0x22;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Processor time of the calling thread: what a frame costs whatever else the machine runs.
double CpuMillis() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

// A photograph-like picture: smooth colour with fine detail, so the decoder has real work.
bool WritePhoto(const std::string& path) {
  std::vector<uint8_t> bits(size_t(kWidth) * kHeight * 4);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* p = &bits[(size_t(y) * kWidth + x) * 4];
      p[0] = uint8_t(x * 255 / kWidth);
      p[1] = uint8_t((x ^ y) & 0x3F) + uint8_t(y * 190 / kHeight);
      p[2] = uint8_t(255 - y * 255 / kHeight);
      p[3] = 255;
    }
  auto image = TKLDPixbufImage::FromBGRA(kWidth, kHeight, bits.data(), kWidth * 4);
  std::string error;
  return image && image->SaveJpeg(path, 85, error);
}

void Replace(const std::string& file, const std::string& from, const std::string& to) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  std::string s = text.str();
  size_t at = s.find(from);
  if (at != std::string::npos) s.replace(at, from.size(), to);
  std::ofstream(file) << s;
}

}  // namespace

int main(int argc, char** argv) {
  int pages = argc > 1 ? std::atoi(argv[1]) : 0;  // 0: to the end
  char pattern[] = "/tmp/lorvane-gridbench-XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  const fs::path base = pattern;
  fs::copy(fs::path(LORVANE_SOURCE_DIR) / "conf", base / "conf", fs::copy_options::recursive);
  fs::copy(fs::path(LORVANE_SOURCE_DIR) / "themes", base / "themes", fs::copy_options::recursive);
  Replace((base / "conf/Preferences.xml").string(), "<ScreenWidth>800</ScreenWidth>", "<ScreenWidth>1280</ScreenWidth>");
  Replace((base / "conf/Preferences.xml").string(), "<ScreenHeight>600</ScreenHeight>", "<ScreenHeight>720</ScreenHeight>");
  fs::create_directories(base / "photos");
  std::ofstream(base / "conf/Media.xml") << "<MediaManager><MediaLocations><Pictures><Directory>"
                                         << (base / "photos").string()
                                         << "</Directory></Pictures></MediaLocations></MediaManager>";
  // One photograph encoded, the rest links to it: the decoder reads each name as a file of its own.
  std::printf("Writing %d photographs of %d x %d...\n", kPhotos, kWidth, kHeight);
  const std::string first = (base / "photos/IMG_0000.jpg").string();
  if (!WritePhoto(first)) return 1;
  for (int i = 1; i < kPhotos; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "photos/IMG_%04d.jpg", i);
    if (link(first.c_str(), (base / name).c_str()) != 0) fs::copy_file(first, base / name);
  }
  std::printf("photograph file: %.1f MB\n", fs::file_size(first) / 1048576.0);

  THostLoop::ConfigureHeadless();
  auto timer = std::make_unique<TKLDTimer>();
  SetGlobalTimer(timer.get());
  if (!THostLoop::Initialise()) return 1;
  int status = 0;
  {
    TKLDDisplayModule display;
    display.Screen().SetVSync(false);
    TKLDApplicationManager manager({}, base.string() + "/");
    THostConnection connection(display.Screen(), manager);

    enum { Starting, Opening, Paging, Done } phase = Starting;
    int step = 0, pageChanges = 0;
    Clock::time_point last{}, changed{}, opened{};
    bool waiting = false;
    double lastCpu = 0, longestCpu = 0, openShown = 0, longest = 0, longestOpen = 0, longestPaging = 0, worstShow = 0, totalShow = 0, listed = 0;
    int frames = 0, shownPages = 0, slowFrames = 0;
    manager.SetFrameHook([&] {
      const Clock::time_point now = Clock::now();
      const double cpuNow = CpuMillis();
      if (phase != Starting && last != Clock::time_point{}) longestCpu = std::max(longestCpu, cpuNow - lastCpu);
      lastCpu = cpuNow;
      if (phase != Starting && last != Clock::time_point{}) {
        const double frame = Ms(now - last);
        longest = std::max(longest, frame);
        ++frames;
        if (phase == Opening) longestOpen = std::max(longestOpen, frame);
        else longestPaging = std::max(longestPaging, frame);
        if (frame > 50) ++slowFrames;
      }
      last = now;
      if (manager.RenderedFrames() == 0) return;
      TKLDUIManager* ui = manager.UIManager();
      if (phase == Starting) {
        // Home's menu: down twice to Pictures, then open it.
        const int keys[] = {kDown, kDown, kEnter};
        manager.ProcessKey(keys[step++]);
        if (step == 3) {
          phase = Opening;
          opened = changed = Clock::now();
          waiting = true;
        }
        return;
      }
      auto* grid = ui ? dynamic_cast<TKLDMediaGridControl*>(ui->FindControl("picturesgrid", true)) : nullptr;
      if (!grid || !grid->Initialised || grid->Loading()) return;
      if (phase == Opening && listed == 0) listed = Ms(now - opened);
      if (waiting) {
        bool ready = true;
        for (int r = grid->TopRow; r < grid->TopRow + grid->VisibleRows(); ++r)
          for (int c = grid->LeftColumn; c < grid->LeftColumn + grid->VisibleColumns(); ++c)
            if (TKLDGridObject* item = grid->ItemAt(r, c); item && !item->PendingImage.empty()) ready = false;
        if (!ready && Ms(now - changed) < 20000) return;
        const double shown = Ms(now - changed);
        if (phase == Opening) {
          openShown = shown;
        } else {
          worstShow = std::max(worstShow, shown);
          totalShow += shown;
          ++shownPages;
        }
        waiting = false;
      }
      phase = Paging;
      const bool atEnd = grid->TopRow >= grid->Rows - grid->VisibleRows();
      if (atEnd || (pages > 0 && pageChanges >= pages)) {
        phase = Done;
        manager.CloseInterface();
        return;
      }
      manager.ProcessKey(kPageDown);
      ++pageChanges;
      changed = Clock::now();
      waiting = true;
    });
    TCommandLine options;
    std::string problem;
    options.Parse({"--headless"}, problem);
    status = RunHost(manager, options, connection.Services());
    std::printf("%s: %d page changes over %d frames at 1280 x 720\n", phase == Done ? "finished" : "stopped early",
                pageChanges, frames);
    std::printf("longest frame: %.1f ms (goal: 50 ms); while opening the folder: %.1f ms; while paging: %.1f ms\n",
                longest, longestOpen, longestPaging);
    std::printf("frames over 50 ms: %d of %d; longest frame in the main thread's processor time: %.1f ms\n",
                slowFrames, frames, longestCpu);
    std::printf("folder listed and shown %.0f ms after Enter; its thumbnails shown after %.0f ms\n", listed,
                openShown);
    std::printf("visible thumbnails all shown after a page change: worst %.0f ms, mean %.0f ms (goal: 2000 ms)\n",
                worstShow, shownPages ? totalShow / shownPages : 0.0);
  }
  THostLoop::Finalise();
  SetGlobalTimer(nullptr);
  fs::remove_all(base);
  return status;
}
