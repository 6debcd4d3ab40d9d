// Resident memory while media comes and goes: in one run, 200 films opened, played a moment and
// stopped, 200 songs with the visualisation, and a slideshow of 100 pictures, all through the
// media manager, the device helper's players and the software renderer at 1920 × 1080. Prints
// the resident memory after the first 10 of each and after all of them; the second should stay
// within 10 % of the first. Media is made with ffmpeg. Run it headless:
//   SDL_VIDEODRIVER=offscreen SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0
//   SDL_AUDIODRIVER=dummy memory_bench [films, default 200] [songs, default 200] [pictures, default 100]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "base/Reaper.h"
#include "base/Timing.h"
#include "media/DirectShowHelper.h"
#include "media/MediaManager.h"
#include "media/Picture.h"
#include "media/Visualisation.h"
#include "platform/HeapMemory.h"
#include "render/DirectXHelper.h"
#include "render/Screen.h"

using namespace lorvane;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 1920, kHeight = 1080;

// Resident and anonymous resident memory in MiB.
void Resident(double& rss, double& anonymous) {
  rss = anonymous = 0;
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) rss = std::atof(line.c_str() + 6) / 1024;
    if (line.rfind("RssAnon:", 0) == 0) anonymous = std::atof(line.c_str() + 8) / 1024;
  }
}

bool Make(const std::string& args, const std::string& file) {
  const std::string command = "ffmpeg -nostdin -loglevel error -y " + args + " '" + file + "'";
  if (std::system(command.c_str()) == 0) return true;
  std::printf("could not make %s (%s)\n", file.c_str(), command.c_str());
  return false;
}

class Bench {
 public:
  Bench() {
    screen_.SetVSync(false);
    screen_.SetSize(kWidth, kHeight);
    screen_.Prepare();
    screen_.Open();
    helper_ = DirectXHelper();
    TKLDPlayerSettings settings;
    settings.mpv.audioOutput = "null";
    settings.mpv.hardwareDecoding = "no";
    SetPlayerSettings(settings);
    helper_->SetPlayerFactory(&TKLDDXAllocator::Create);
    InstallHelperPlayers();
    TKLDMediaManager::Context context;
    context.screenSize = [](int& w, int& h) { w = kWidth, h = kHeight; };
    // Slides move on after a second; each frame counts as a quarter of one, so a slide takes a
    // few frames beyond its decoding.
    context.slideshow = [] { return TKLDSlideshowSettings{1, true, true}; };
    context.frameElapsed = [] { return 250; };
    manager_.SetContext(context);
  }
  ~Bench() {
    manager_.Stop("primary");
    TKLDVisualisationRenderer::UpdateFading();
    VideoPlayerSlot().Release();
    VisualisationPlayerSlot().Release();
    SetVideoPlayerFactory(nullptr);
    SetVisualisationPlayerFactory(nullptr);
    // Released players close on the reaper thread; it ends before the display does.
    DrainDisposals(10000);
    screen_.Close();
  }

  TKLDMediaManager& Manager() { return manager_; }
  TKLDMediaStream& Stream() { return manager_.Primary(); }

  void Frame() {
    timer_.FrameTick();
    manager_.UpdateStreams();
    if (helper_->BeginFrame()) {
      Stream().Render({0, 0, kWidth, kHeight});
      helper_->EndFrame();
      helper_->PresentFrame();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  // Frames until the check holds or the time is up.
  bool FramesUntil(const std::function<bool()>& check, int ms) {
    const auto end = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < end) {
      Frame();
      if (check()) return true;
    }
    return check();
  }
  void FramesFor(int ms) {
    FramesUntil([] { return false; }, ms);
  }

  void Select(const std::string& file, uint8_t type) {
    TKLDPlaylist& list = manager_.SelectionList();
    list.Clear();
    list.AddItem(file, type, file, file);
    manager_.SetSelection(list.Item(0));
    manager_.ReplacePlaylist(0);
  }

 private:
  // The frame clock is in place before the display, and goes after it.
  struct GlobalTimer : TKLDTimer {
    GlobalTimer() { SetGlobalTimer(this); }
    ~GlobalTimer() { SetGlobalTimer(nullptr); }
  } timer_;
  TKLDDisplayModule module_;
  TKLDScreen& screen_ = module_.Screen();
  TKLDDirectXHelper* helper_ = nullptr;
  TKLDMediaManager manager_;
};

struct Row {
  const char* what;
  double at10 = 0, atEnd = 0, anon10 = 0, anonEnd = 0;
  int count = 0, failures = 0;
  double seconds = 0;
};

void Print(const Row& row) {
  const double growth = row.at10 > 0 ? (row.atEnd - row.at10) * 100 / row.at10 : 0;
  std::printf("%-9s %5d %9.1f %9.1f %8.1f %%   %9.1f %9.1f %7.0f s  %s%s\n", row.what, row.count, row.at10,
              row.atEnd, growth, row.anon10, row.anonEnd, row.seconds, growth < 10 ? "within 10 %" : "OVER 10 %",
              row.failures ? " (some did not play)" : "");
  std::fflush(stdout);
}

// Opens, plays and stops one item `count` times with `once`; resident memory after 10 and at the end.
Row Repeat(const char* what, int count, const std::function<bool()>& once) {
  Row row;
  row.what = what;
  row.count = count;
  const auto start = Clock::now();
  for (int i = 1; i <= count; ++i) {
    if (!once()) ++row.failures;
    if (i == std::min(10, count)) Resident(row.at10, row.anon10);
  }
  Resident(row.atEnd, row.anonEnd);
  row.seconds = std::chrono::duration<double>(Clock::now() - start).count();
  return row;
}

}  // namespace

int main(int argc, char** argv) {
  LimitHeapRetention();  // as lorvane does
  const int films = argc > 1 ? std::max(10, std::atoi(argv[1])) : 200;
  const int songs = argc > 2 ? std::max(10, std::atoi(argv[2])) : 200;
  const int pictures = argc > 3 ? std::max(10, std::atoi(argv[3])) : 100;
  char folder[] = "/tmp/lorvane-memory-XXXXXX";
  if (!mkdtemp(folder)) return 1;
  const std::string dir = folder;
  const std::string film = dir + "/film.mpg", song = dir + "/song.mp3";
  std::printf("Making a 7-second MPEG-2 film, a song and %d pictures...\n", pictures);
  if (!Make("-f lavfi -i testsrc2=size=720x576:rate=25:duration=7 -f lavfi -i sine=frequency=440:duration=7 "
            "-c:v mpeg2video -b:v 4M -c:a mp2 -f mpeg",
            film) ||
      !Make("-f lavfi -i sine=frequency=330:duration=30 -ac 2 -c:a libmp3lame -b:a 192k", song) ||
      !Make("-f lavfi -i testsrc2=size=2400x1600:rate=1 -frames:v " + std::to_string(pictures) + " -q:v 3",
            dir + "/picture%03d.jpg"))
    return 1;

  double rss = 0, anon = 0;
  Bench bench;
  bench.FramesFor(200);
  Resident(rss, anon);
  std::printf("resident after start: %.1f MiB (%.1f anonymous)\n", rss, anon);
  std::printf("%-9s %5s %9s %9s %10s   %9s %9s %9s\n", "media", "count", "MiB @10", "MiB @end", "growth", "anon @10",
              "anon @end", "time");

  // A film: opened, shown for a moment after its first frame, stopped.
  Print(Repeat("films", films, [&] {
    bench.Select(film, MEDIA_VIDEO);
    if (!bench.Manager().Play("primary")) return false;
    const bool shown = bench.FramesUntil(
        [] {
          auto* player = dynamic_cast<TKLDDXAllocator*>(DirectXHelper()->VideoPlayer());
          return player && player->HasFrame();
        },
        10000);
    if (shown) bench.FramesFor(300);
    bench.Manager().Stop("primary");
    bench.Frame();
    return shown;
  }));

  // A song with the visualisation drawn: played until its levels are measured, then stopped and
  // faded out.
  Print(Repeat("songs", songs, [&] {
    bench.Select(song, MEDIA_AUDIO);
    if (!bench.Manager().Play("primary")) return false;
    const bool heard = bench.FramesUntil(
        [&] {
          float left = 0, right = 0;
          TKLDMediaPlayer* player = bench.Stream().VisualisationRenderer().Player();
          return player && player->AudioLevels(left, right);
        },
        10000);
    bench.Manager().Stop("primary");
    bench.FramesUntil([] { return TKLDVisualisationRenderer::FadingPlayer() == nullptr; }, 5000);
    return heard;
  }));

  // One slideshow through every picture.
  {
    TKLDPlaylist& list = bench.Manager().SelectionList();
    list.Clear();
    for (int i = 1; i <= pictures; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "/picture%03d.jpg", i);
      list.AddItem(dir + name, MEDIA_PICTURE, dir + name, dir + name);
    }
    bench.Manager().SetSelection(list.Item(0));
    bench.Manager().ReplacePlaylist(0);
    bench.Manager().Play("primary");
    Row row;
    row.what = "pictures";
    row.count = pictures;
    const auto start = Clock::now();
    bool tenth = false;
    bench.FramesUntil(
        [&] {
          const int index = bench.Stream().Playlist().CurrentIndex();
          if (!tenth && index >= std::min(10, pictures - 1)) {
            Resident(row.at10, row.anon10);
            tenth = true;
          }
          return bench.Stream().State() != STREAM_PLAYING;
        },
        pictures * 3000);
    Resident(row.atEnd, row.anonEnd);
    row.failures = bench.Stream().State() == STREAM_PLAYING ? 1 : 0;
    row.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    bench.Manager().Stop("primary");
    bench.Frame();
    Print(row);
  }
  Resident(rss, anon);
  std::printf("resident at the end: %.1f MiB (%.1f anonymous)\n", rss, anon);

  std::system(("rm -rf '" + dir + "'").c_str());
  return 0;
}
