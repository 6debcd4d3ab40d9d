// Films played full screen through lorvane's player (the media manager, the video renderer, the
// libmpv allocator with its presenter thread, the frame clock's pacing and the software renderer
// at 1920 × 1080) against libmpv alone rendering the same file into a buffer. For 720p and
// 1080p, H.264 and VP9, made with ffmpeg. Prints dropped frames and processor time of each, and
// the interface's frame times after pause, resume, next and stop.
// Run it headless, on a quiet machine:
//   SDL_VIDEODRIVER=offscreen SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0
//   SDL_AUDIODRIVER=dummy player_bench [seconds, default 30]
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Reaper.h"
#include "base/Timing.h"
#include "media/DirectShowHelper.h"
#include "media/MediaManager.h"
#include "media/Video.h"
#include "platform/MpvPlayer.h"
#include "render/DirectXHelper.h"
#include "render/Screen.h"

using namespace lorvane;
using Clock = std::chrono::steady_clock;

namespace {

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The interface's frames for two seconds after a transport key (lorvane only).
struct Phase {
  const char* name;
  int frames;
  double worstMs;
  int slow;  // frames over 50 ms
};

struct Result {
  std::vector<Phase> phases;
  int64_t dropped = 0;
  double cpu = 0;     // processor seconds per second of film
  int frames = 0;     // video frames rendered into the buffer
  int uiFrames = 0;   // interface frames drawn (lorvane only)
  bool ok = false;
};

TKLDMpvOptions Options() {
  TKLDMpvOptions options;
  options.audioOutput = "null";
  options.hardwareDecoding = "no";
  return options;
}

// libmpv alone: its software renderer into a buffer of the film's size on each new frame.
Result MpvAlone(const std::string& file, int seconds) {
  Result result;
  TKLDMpvPlayer player;
  std::string error;
  std::mutex lock;
  std::condition_variable wake;
  bool pending = false, quit = false;
  if (!player.Create(Options(), true, error) ||
      !player.CreateRenderContext(
          [&] {
            std::lock_guard<std::mutex> guard(lock);
            pending = true;
            wake.notify_one();
          },
          error)) {
    std::printf("  mpv alone: %s\n", error.c_str());
    return result;
  }
  TKLDMpvFileInfo info;
  if (!player.Load(file, info, error)) {
    std::printf("  mpv alone: %s\n", error.c_str());
    return result;
  }
  std::vector<uint32_t> buffer(static_cast<size_t>(info.width) * info.height);
  std::atomic<int> frames{0};
  std::thread renderer([&] {
    while (true) {
      {
        std::unique_lock<std::mutex> guard(lock);
        wake.wait(guard, [&] { return pending || quit; });
        if (quit) return;
        pending = false;
      }
      if (player.RenderIfReady(buffer.data(), info.width, info.height, info.width * 4)) ++frames;
    }
  });
  player.SetPause(false, error);
  // The first second settles (mpv counts a frame dropped while it starts).
  std::this_thread::sleep_for(std::chrono::seconds(1));
  const int64_t droppedBefore = player.DroppedFrames();
  const int framesBefore = frames;
  const double cpuStart = CpuSeconds();
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  result.cpu = (CpuSeconds() - cpuStart) / seconds;
  result.dropped = player.DroppedFrames() - droppedBefore;
  {
    std::lock_guard<std::mutex> guard(lock);
    quit = true;
    wake.notify_one();
  }
  renderer.join();
  result.frames = frames - framesBefore;
  result.ok = true;
  return result;
}

// lorvane: the whole path a film takes in the interface, minus the theme.
Result ThroughLorvane(const std::string& file, int seconds) {
  Result result;
  TKLDTimer timer;
  SetGlobalTimer(&timer);
  TKLDDisplayModule module;
  TKLDScreen& screen = module.Screen();
  screen.SetVSync(true);  // paced at 60 Hz like a television
  screen.SetSize(1920, 1080);
  screen.Prepare();
  screen.Open();
  TKLDDirectXHelper* helper = DirectXHelper();
  TKLDPlayerSettings settings;
  settings.mpv = Options();
  settings.skipLimit = 1;
  SetPlayerSettings(settings);
  helper->SetPlayerFactory(&TKLDDXAllocator::Create);
  InstallHelperPlayers();
  {
    TKLDMediaManager manager;
    TKLDMediaManager::Context context;
    context.screenSize = [](int& w, int& h) { w = 1920, h = 1080; };
    manager.SetContext(context);
    manager.SelectionList().AddItem(file, MEDIA_VIDEO, "", file);
    manager.SelectionList().AddItem(file + "#2", MEDIA_VIDEO, "", file);  // for "next"
    manager.SetSelection(manager.SelectionList().Item(0));
    manager.ReplacePlaylist(0);
    if (!manager.Play("primary")) return result;
    auto frame = [&] {
      timer.FrameTick();
      manager.UpdateStreams();
      if (helper->BeginFrame()) {
        manager.Primary().Render({0, 0, 1920, 1080});
        helper->EndFrame();
        helper->PresentFrame();
      }
    };
    // Until the film has opened and shows its first frame.
    auto* player = dynamic_cast<TKLDDXAllocator*>(helper->VideoPlayer());
    const auto openBy = Clock::now() + std::chrono::seconds(10);
    while (player && !player->HasFrame() && Clock::now() < openBy) frame();
    if (!player || !player->HasFrame()) return result;
    for (const auto settle = Clock::now() + std::chrono::seconds(1); Clock::now() < settle;) frame();
    const int presentedBefore = player->FramesPresented();
    const int64_t droppedBefore = player->DroppedFrames();
    const double cpuStart = CpuSeconds();
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    int uiFrames = 0;
    while (Clock::now() < end && manager.Primary().State() == STREAM_PLAYING) {
      frame();
      ++uiFrames;
    }
    result.cpu = (CpuSeconds() - cpuStart) / seconds;
    result.dropped = player->DroppedFrames() - droppedBefore;
    result.frames = player->FramesPresented() - presentedBefore;
    result.uiFrames = uiFrames;
    result.ok = true;
    // Frame times after each transport key, the key's own work counted in the first frame.
    auto phase = [&](const char* name, auto action) {
      Phase measured{name, 0, 0, 0};
      auto start = Clock::now();
      action();
      for (const auto until = Clock::now() + std::chrono::seconds(2); Clock::now() < until;) {
        if (measured.frames > 0) start = Clock::now();
        frame();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        measured.worstMs = std::max(measured.worstMs, ms);
        measured.slow += ms > 50;
        ++measured.frames;
      }
      result.phases.push_back(measured);
    };
    phase("pause", [&] { manager.Pause("primary"); });
    phase("resume", [&] { manager.Play("primary"); });
    phase("next", [&] { manager.Next("primary"); });
    phase("stop", [&] { manager.Stop("primary"); });
  }
  SetVideoPlayerFactory(nullptr);
  SetVisualisationPlayerFactory(nullptr);
  DrainDisposals(5000);  // released players close before the clock they pace goes
  screen.Close();
  SetGlobalTimer(nullptr);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
  char folder[] = "/tmp/lorvane-films-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  struct Film {
    const char* name;
    const char* size;
    const char* codec;
  };
  const Film films[] = {{"720p H.264", "1280x720", "-c:v libx264 -preset veryfast -pix_fmt yuv420p"},
                        {"1080p H.264", "1920x1080", "-c:v libx264 -preset veryfast -pix_fmt yuv420p"},
                        {"720p VP9", "1280x720", "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 3M"},
                        {"1080p VP9", "1920x1080", "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 5M"}};
  std::printf("%d s of each film at 30 frames a second, software rendering at 1920 x 1080\n", seconds);
  std::printf("%-12s %-8s %8s %9s %9s %8s\n", "film", "player", "dropped", "frames", "ui frames", "cpu %");
  int index = 0;
  for (const Film& film : films) {
    const std::string file = std::string(folder) + "/film" + std::to_string(index++) +
                             (std::string(film.codec).find("vp9") != std::string::npos ? ".webm" : ".mkv");
    const std::string command = "ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=size=" +
                                std::string(film.size) + ":rate=30:duration=" + std::to_string(seconds + 4) +
                                " " + film.codec + " '" + file + "'";
    if (std::system(command.c_str()) != 0) {
      std::printf("%-12s could not be made (%s)\n", film.name, command.c_str());
      continue;
    }
    Result alone = MpvAlone(file, seconds);
    Result ours = ThroughLorvane(file, seconds);
    std::printf("%-12s %-8s %8lld %9d %9s %7.0f%%\n", film.name, "mpv", static_cast<long long>(alone.dropped),
                alone.frames, "-", alone.cpu * 100);
    std::printf("%-12s %-8s %8lld %9d %9d %7.0f%%   %.2f x mpv alone\n", "", "lorvane",
                static_cast<long long>(ours.dropped), ours.frames, ours.uiFrames, ours.cpu * 100,
                alone.cpu > 0 ? ours.cpu / alone.cpu : 0.0);
    for (const Phase& phase : ours.phases)
      std::printf("%-12s   after %-6s %4d ui frames in 2 s, worst %5.1f ms, %d over 50 ms\n", "", phase.name,
                  phase.frames, phase.worstMs, phase.slow);
    if (!alone.ok || !ours.ok) std::printf("  (a run did not complete)\n");
    std::remove(file.c_str());
  }
  rmdir(folder);
  return 0;
}
