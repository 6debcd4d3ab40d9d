#pragma once
// The folder browser: fills a playlist with what one virtual path holds across the configured
// media locations of a category.
//
// A virtual path is relative and built from folder captions: empty at a category's top level;
// inside a virtual location it begins with that location's Name ("Films/"); each level below
// adds a folder caption ("Films/Action/"). Normal locations are merged: the same sub-folder in
// several of them shows once, and entering it lists all of them together.
//
// Browsing reads the disk, so the frame loop calls it from a worker thread. The browser keeps no
// state between requests and only reads the locations and the extension lists, which do not
// change while the interface is up; several browses may run at once. Two things stay on the main
// thread: a shuffle (sort type 3), which draws from the program's random source, and the log. So
// a worker calls Collect with a list for the warnings, and the main thread logs them and calls
// Finish on the result.
//
// Hidden entries (names beginning with ".") are not listed. Links are followed; a link that
// leads back into its own folder or above it, a broken link and a folder that cannot be read
// give a warning each and the rest is listed (a location itself only once). A folder that does
// not exist is simply empty (a merged sub-folder usually exists in only some of the locations).
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "base/WorkerQueue.h"
#include "media/Playlist.h"

namespace lorvane {

class TKLDMediaLocationParser;
struct TKLDMediaFolder;
struct TKLDExtensionLists;

// Which locations are walked and which media types each admits (bit n admits type n).
enum class TKLDMediaCategory : uint8_t { Pictures, Video, Music, All };
uint32_t CategoryMask(TKLDMediaCategory category);

// The parent of a virtual path: its last component removed, ending with "/", or empty at the top.
std::string ParentPath(const std::string& path);

class TKLDUPnPManager {
 public:
  TKLDUPnPManager() = default;
  // The locations are not owned and must outlive every browse.
  explicit TKLDUPnPManager(const TKLDMediaLocationParser* locations) : locations_(locations) {}
  void SetLocations(const TKLDMediaLocationParser* locations) { locations_ = locations; }
  const TKLDMediaLocationParser* Locations() const { return locations_; }

  // Clear the playlist, list the path in every location of the category, sort the playlist
  // by its own sort type and direction, and add the way back up when the listing gave none.
  // False, touching nothing, without a playlist.
  bool BrowsePictures(const std::string& path, TKLDPlaylist* playlist) const;
  bool BrowseVideo(const std::string& path, TKLDPlaylist* playlist) const;
  bool BrowseMusic(const std::string& path, TKLDPlaylist* playlist) const;
  bool BrowseAll(const std::string& path, TKLDPlaylist* playlist) const;
  bool Browse(TKLDMediaCategory category, const std::string& path, TKLDPlaylist* playlist) const;

  // The two halves of a browse. Collect clears the playlist and lists the locations (disk work,
  // any thread); its warnings go to the list when one is given, else straight to the log.
  // Finish sorts and adds the parent entry when none was listed (main thread when the
  // playlist shuffles).
  bool Collect(TKLDMediaCategory category, const std::string& path, TKLDPlaylist* playlist,
               std::vector<std::string>* warnings = nullptr) const;
  static void Finish(const std::string& path, TKLDPlaylist* playlist);

  // One warning for each location that does not exist or cannot be read, naming it (at start,
  // before any browse). A location found unreadable, here or by a browse, is not reported again:
  // the user hears of it once, not each time a section opens.
  std::vector<std::string> CheckLocations() const;

 private:
  struct TRequest;
  void BrowseLocation(TRequest& request, const TKLDMediaFolder& location) const;
  void ListDirectory(TRequest& request, const std::string& root, const std::string& relative) const;

  // True the first time a location is reported, false after.
  bool FirstReport(const std::string& root) const;
  bool Reported(const std::string& root) const;

  const TKLDMediaLocationParser* locations_ = nullptr;
  // The locations already reported, shared with the browser copies that worker threads use.
  struct TReports {
    std::mutex mutex;
    std::set<std::string> roots;
  };
  std::shared_ptr<TReports> reports_ = std::make_shared<TReports>();
  friend class TKLDBrowseWorker;
};

// Runs the disk half of browses (Collect) on worker threads, so that opening a folder of
// thousands of files never holds a frame up. The main thread asks with Request and picks its
// result up with Take on a later frame, then logs the warnings and calls Finish itself. A
// requester that has moved on cancels its old ticket: a browse still waiting is dropped, and one
// that finishes anyway is thrown away instead of showing a folder the user already left.
//
// A folder on a network mount that stops answering blocks its listing for as long as the mount
// hangs. Such a listing is left to itself: after kStuckMs it no longer counts as running, so later
// browses get threads of their own instead of waiting behind it, and the worker's end does not
// wait for it. Each browse therefore reads a copy of the locations of its own.
class TKLDBrowseWorker {
 public:
  struct TResult {
    uint64_t ticket = 0;
    TKLDMediaCategory category = TKLDMediaCategory::All;
    std::string path;
    TKLDPlaylist playlist;  // collected, not yet sorted
    std::vector<std::string> warnings;
  };
  // Browses reading at once before new ones wait for a free thread; stuck ones not counted.
  static constexpr int kMaxRunning = 2;
  // A browse running this long is taken to be stuck.
  static constexpr uint32_t kStuckMs = 3000;
  // Threads at most, stuck ones included: a mount that hangs for good cannot take more.
  static constexpr int kMaxThreads = 16;
  // Browses waiting at most; grids cancel what they leave, so none ever gives way in practice.
  static constexpr size_t kMaxQueued = 1024;
  // How long the worker's end waits for browses under way before leaving them to themselves.
  static constexpr uint32_t kStopWaitMs = 500;

  // The browser's locations are copied at each request; the browser must outlive the worker.
  explicit TKLDBrowseWorker(const TKLDUPnPManager& browser);
  ~TKLDBrowseWorker();
  TKLDBrowseWorker(const TKLDBrowseWorker&) = delete;
  TKLDBrowseWorker& operator=(const TKLDBrowseWorker&) = delete;

  // Queues a browse and returns its ticket (never 0).
  uint64_t Request(TKLDMediaCategory category, const std::string& path);
  // The finished browse of the ticket, or none while it is still running. Never waits.
  std::unique_ptr<TResult> Take(uint64_t ticket);
  // Forgets the ticket: queued, running or finished, its result is never handed out.
  void Cancel(uint64_t ticket);
  // Blocks until nothing is queued or running: for tests and benchmarks, never the frame loop.
  void WaitIdle();
  // Threads still alive, stuck ones included (tests).
  int Threads() const;

 private:
  struct TJob {
    TKLDMediaCategory category = TKLDMediaCategory::All;
    std::string path;
    std::shared_ptr<const TKLDMediaLocationParser> locations;
    std::shared_ptr<TKLDUPnPManager::TReports> reports;  // told once across every browse
  };
  static std::unique_ptr<TResult> Browse(TJob& job);

  const TKLDUPnPManager& browser_;
  TKLDWorkerQueue<TJob, std::unique_ptr<TResult>> queue_;
};

}  // namespace lorvane
