// Time to browse one large folder: list it, type every entry, ask size and date of the listed
// files and sort by name. Goals: 10 000 files within 100 ms, 100 000 within 1 s.
#include <fcntl.h>
#include <unistd.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "media/MediaLocations.h"
#include "media/UPnP.h"
#include "platform/TextCollation.h"

using namespace lorvane;

namespace {

double Millis(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Processor time of this thread (user and system), in ms: on a busy machine the wall time also
// counts the waits for a core, this is what the work itself costs.
double CpuMillis() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1e6;
}

// A mixed folder: music, films, pictures, playlists, sub-folders and files nobody lists.
void MakeFolder(const std::string& dir, int count) {
  static const char* const kinds[] = {".mp3", ".flac", ".mkv", ".mp4", ".jpg", ".png",
                                      ".m3u", ".txt", ".nfo", "",     ".srt"};
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  for (int i = 0; i < count; ++i) {
    char name[96];
    const int kind = i % 12;
    if (kind == 11) {
      std::snprintf(name, sizeof name, "%s/Folder %06d", dir.c_str(), (i * 7919) % count);
      std::filesystem::create_directory(name);
      continue;
    }
    std::snprintf(name, sizeof name, "%s/%s Track %06d%s", dir.c_str(), i % 2 ? "alpha" : "Beta",
                  (i * 7919) % count, kinds[kind]);
    int fd = open(name, O_CREAT | O_WRONLY, 0644);
    if (fd >= 0) close(fd);
  }
}

}  // namespace

int main() {
  UseUserCollation();
  LoadExtensionLists("\".MP4\",\".MKV\",\".AVI\"", "\".MP3\",\".FLAC\"", "\".M3U\",\".PLS\"");
  const std::string base = std::filesystem::temp_directory_path() / "lorvane_listing_bench";
  for (int count : {10000, 100000}) {
    const std::string dir = base + "/" + std::to_string(count);
    MakeFolder(dir, count);
    TKLDMediaLocationParser locations;
    locations.SetNormalisePaths(true);
    locations.LoadFromText("<MediaManager><MediaLocations><Music><Directory>" + dir +
                           "</Directory></Music></MediaLocations></MediaManager>");
    TKLDUPnPManager browser(&locations);
    TKLDPlaylist list;
    std::vector<double> runs, listing, sorting, cpu;
    for (int run = 0; run < 5; ++run) {
      const double cpuStart = CpuMillis();
      const auto start = std::chrono::steady_clock::now();
      browser.Collect(TKLDMediaCategory::All, "", &list);
      const auto listed = std::chrono::steady_clock::now();
      TKLDUPnPManager::Finish("", &list);
      const auto end = std::chrono::steady_clock::now();
      cpu.push_back(CpuMillis() - cpuStart);
      runs.push_back(Millis(end - start));
      listing.push_back(Millis(listed - start));
      sorting.push_back(Millis(end - listed));
    }
    std::sort(runs.begin(), runs.end());
    std::sort(listing.begin(), listing.end());
    std::sort(sorting.begin(), sorting.end());
    std::sort(cpu.begin(), cpu.end());
    std::printf("browse %6d entries (%d listed): wall best %.1f ms, median %.1f ms; processor "
                "time best %.1f ms (goal %d ms); listing and typing %.1f ms, sorting %.1f ms "
                "(wall medians)\n",
                count, list.Count(), runs.front(), runs[runs.size() / 2], cpu.front(),
                count <= 10000 ? 100 : 1000, listing[listing.size() / 2],
                sorting[sorting.size() / 2]);
  }
  std::filesystem::remove_all(base);
  return 0;
}
