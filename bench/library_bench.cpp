// What the library costs the frame loop and how soon it shows. Three figures:
//  1. A folder of 5 000 tagged tracks: listed as before (the tags are not read while listing),
//     then a page of 15 visible cells asks the tag reader each frame: the frame loop's own
//     share per frame (goal: no frame over 50 ms) and the time until every visible title is in
//     (goal: 1 s), first from the files, then from the library cache.
//  2. A folder of 1 000 photographs of 6000 × 4000: the visible thumbnails of a second visit
//     (a new run: nothing in memory, the library cache on disk) must all be in within 150 ms.
//  3. A 1080p film's picture, from its cell asking to the picture arriving (goal: 1 s).
// usage: library_bench [work folder]   (default /tmp/lorvane-library-bench)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "media/LibraryCache.h"
#include "media/MediaLocations.h"
#include "media/MediaInfo.h"
#include "media/Thumbnails.h"
#include "media/UPnP.h"
#include "platform/PixbufImage.h"

using namespace lorvane;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Millis(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

bool Run(const std::string& command) {
  if (std::system(command.c_str()) == 0) return true;
  std::fprintf(stderr, "failed: %s\n", command.c_str());
  return false;
}

constexpr int kVisible = 15;
constexpr auto kFrame = std::chrono::microseconds(16667);

// One page of cells asking the tag reader each frame, as a media grid does; returns the time
// until every cell has its title and the longest frame the asking cost.
void VisibleTitles(TKLDMediaInfoReader& reader, const std::vector<std::string>& page, double& allIn,
                   double& worstFrame) {
  const auto start = Clock::now();
  worstFrame = 0;
  allIn = -1;
  while (Millis(Clock::now() - start) < 10000) {
    const auto frame = Clock::now();
    reader.Collect();
    int known = 0;
    for (const std::string& path : page)
      if (auto info = reader.Get(path, MEDIA_AUDIO); info && !info->title.empty()) ++known;
    worstFrame = std::max(worstFrame, Millis(Clock::now() - frame));
    if (known == int(page.size())) {
      allIn = Millis(Clock::now() - start);
      return;
    }
    std::this_thread::sleep_until(frame + kFrame);
  }
}

void Tracks(const std::string& work) {
  const std::string folder = work + "/tracks/";
  if (!fs::exists(folder + "track 4999.mp3")) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    for (int i = 0; i < 5; ++i)
      if (!Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=" + std::to_string(300 + 50 * i) +
               ":duration=20 -metadata title='Song " + std::to_string(i) + "' -metadata artist=Band -metadata "
               "album=Album -c:a libmp3lame '" + work + "/seed" + std::to_string(i) + ".mp3'"))
        return;
    for (int i = 0; i < 5000; ++i)
      fs::copy_file(work + "/seed" + std::to_string(i % 5) + ".mp3", folder + "track " + std::to_string(i) + ".mp3",
                    fs::copy_options::overwrite_existing);
  }
  TKLDMediaLocationParser locations;
  locations.SetNormalisePaths(true);
  locations.LoadFromText("<MediaManager><MediaLocations><Music><Directory>" + folder +
                         "</Directory></Music></MediaLocations></MediaManager>");
  TKLDUPnPManager browser;
  browser.SetLocations(&locations);
  TKLDPlaylist list;
  const auto listed = Clock::now();
  browser.Browse(TKLDMediaCategory::Music, "", &list);
  std::printf("5000 tracks: listed %d entries in %.1f ms (tags are not read while listing)\n", list.Count(),
              Millis(Clock::now() - listed));
  std::vector<std::string> page;
  for (int i = 0; i < list.Count() && int(page.size()) < kVisible; ++i)
    if (list.Item(i)->MediaType == MEDIA_AUDIO) page.push_back(list.Item(i)->URL);

  fs::remove_all(work + "/cache-tracks");
  for (const char* visit : {"first visit (read from the files)", "second visit (from the library cache)"}) {
    TKLDMediaInfoReader reader(std::make_shared<TKLDLibraryCache>(work + "/cache-tracks/"));
    double allIn = 0, worst = 0;
    VisibleTitles(reader, page, allIn, worst);
    std::printf("5000 tracks, %s: %d visible titles in %.1f ms, longest frame share %.2f ms\n", visit, kVisible,
                allIn, worst);
    // Scrolling through the whole folder a page a frame: what the frame loop pays meanwhile.
    double worstScroll = 0;
    const auto start = Clock::now();
    for (int first = 0; first < list.Count(); first += kVisible) {
      const auto frame = Clock::now();
      reader.Collect();
      for (int i = first; i < std::min(list.Count(), first + kVisible); ++i)
        reader.Get(list.Item(i)->URL, list.Item(i)->MediaType);
      worstScroll = std::max(worstScroll, Millis(Clock::now() - frame));
      std::this_thread::sleep_until(frame + kFrame);
    }
    reader.WaitIdle();
    std::printf("  scrolled through all 5000 in %.0f ms; longest frame share %.2f ms\n", Millis(Clock::now() - start),
                worstScroll);
  }
}

void Photographs(const std::string& work) {
  const std::string folder = work + "/photos/";
  if (!fs::exists(folder + "photo 0999.jpg")) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    if (!Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=s=6000x4000:d=1 -frames:v 1 -q:v 3 '" + work +
             "/big.jpg'"))
      return;
    // Links: one file's bytes under a thousand names, each its own entry of the cache.
    for (int i = 0; i < 1000; ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "photo %04d.jpg", i);
      fs::create_hard_link(work + "/big.jpg", folder + name);
    }
  }
  fs::remove_all(work + "/cache-photos");
  std::vector<std::string> page;
  for (int i = 0; i < kVisible; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "photo %04d.jpg", i);
    page.push_back(folder + name);
  }
  for (const char* visit : {"first visit (decoded)", "second visit (from the library cache)"}) {
    TKLDThumbnailCache thumbnails(600, 2, 256, std::make_shared<TKLDLibraryCache>(work + "/cache-photos/"));
    const auto start = Clock::now();
    double worst = 0;
    int ready = 0;
    while (ready < kVisible && Millis(Clock::now() - start) < 60000) {
      const auto frame = Clock::now();
      thumbnails.Collect();
      ready = 0;
      for (const std::string& path : page) {
        TKLDThumbnailCache::TState state;
        thumbnails.Get(path, 180, 150, state);
        ready += state != TKLDThumbnailCache::TState::Pending;
      }
      worst = std::max(worst, Millis(Clock::now() - frame));
      if (ready < kVisible) std::this_thread::sleep_until(frame + kFrame);
    }
    std::printf("1000 photographs 6000x4000, %s: %d visible thumbnails in %.1f ms, longest frame share %.2f ms\n",
                visit, kVisible, Millis(Clock::now() - start), worst);
  }
}

void Film(const std::string& work) {
  const std::string film = work + "/film.mp4";
  if (!fs::exists(film) &&
      !Run("ffmpeg -nostdin -loglevel error -y -f lavfi -i testsrc2=s=1920x1080:r=25:d=120 -c:v libx264 -preset "
           "veryfast -g 250 '" + film + "'"))
    return;
  fs::remove_all(work + "/cache-film");
  LoadExtensionLists("\".MP4\"", "\".MP3\"", "");
  for (const char* visit : {"first (frame decoded)", "again in a new run (from the library cache)"}) {
    TKLDThumbnailCache thumbnails(600, 2, 256, std::make_shared<TKLDLibraryCache>(work + "/cache-film/"));
    const auto start = Clock::now();
    TKLDThumbnailCache::TState state = TKLDThumbnailCache::TState::Pending;
    while (state == TKLDThumbnailCache::TState::Pending && Millis(Clock::now() - start) < 30000) {
      thumbnails.Collect();
      thumbnails.Get(film, 180, 150, state);
      if (state == TKLDThumbnailCache::TState::Pending) std::this_thread::sleep_for(kFrame);
    }
    std::printf("1080p film picture, %s: %s in %.1f ms\n", visit,
                state == TKLDThumbnailCache::TState::Ready ? "ready" : "failed", Millis(Clock::now() - start));
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string work = argc > 1 ? argv[1] : "/tmp/lorvane-library-bench";
  fs::create_directories(work);
  LoadExtensionLists("\".MP4\"", "\".MP3\"", "");
  Tracks(work);
  Photographs(work);
  Film(work);
  return 0;
}
