#include "media/UPnP.h"

#include <algorithm>
#include <memory>
#include <mutex>
#include <unordered_set>

#include "base/Logging.h"
#include "media/MediaLocations.h"
#include "platform/DirectoryReader.h"
#include "platform/SystemInfo.h"

namespace lorvane {

namespace {

constexpr uint32_t Bit(uint8_t type) { return 1u << type; }

void Warn(std::vector<std::string>* warnings, const std::string& message) {
  if (warnings) warnings->push_back(message);
  else LogWarn(message);
}

bool HasParent(const TKLDMediaList& list) {
  for (int i = 0; i < list.Count(); ++i)
    if (list.Item(i)->MediaType == MEDIA_PARENT) return true;
  return false;
}

// The name without its extension; a name without a dot stays whole.
std::string WithoutExtension(const std::string& name) {
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

}  // namespace

struct TKLDUPnPManager::TRequest {
  uint32_t mask = 0;
  const std::string& path;
  TKLDPlaylist& playlist;
  std::vector<std::string>* warnings;
  std::shared_ptr<const TKLDExtensionLists> lists;
  bool parentAdded = false;
  // Captions of the folders listed so far: a merged sub-folder is listed once, and a look-up
  // here keeps a folder of many sub-folders from a scan of the list per sub-folder.
  std::unordered_set<std::string> folders;

  // A merged folder keeps the date of the first location's: the one its address names.
  void AddFolder(const std::string& caption, const std::string& url, std::time_t date = 0) {
    if (folders.insert(caption).second) playlist.AddItem(caption, MEDIA_FOLDER, std::string(), url)->Date = date;
  }
};

uint32_t CategoryMask(TKLDMediaCategory category) {
  switch (category) {
    case TKLDMediaCategory::Pictures:  // 87
      return Bit(MEDIA_PARENT) | Bit(MEDIA_FOLDER) | Bit(MEDIA_PLAYLIST) | Bit(MEDIA_PICTURE) |
             Bit(MEDIA_VIDEO);
    case TKLDMediaCategory::Video:  // 71
      return Bit(MEDIA_PARENT) | Bit(MEDIA_FOLDER) | Bit(MEDIA_PLAYLIST) | Bit(MEDIA_VIDEO);
    case TKLDMediaCategory::Music:  // 103
      return Bit(MEDIA_PARENT) | Bit(MEDIA_FOLDER) | Bit(MEDIA_PLAYLIST) | Bit(MEDIA_AUDIO) |
             Bit(MEDIA_VIDEO);
    case TKLDMediaCategory::All:
      break;
  }
  return 0xFFFFFFFFu;
}

std::string ParentPath(const std::string& path) {
  std::string trimmed = path;
  if (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
  size_t slash = trimmed.rfind('/');
  return slash == std::string::npos ? std::string() : trimmed.substr(0, slash + 1);
}

bool TKLDUPnPManager::BrowsePictures(const std::string& path, TKLDPlaylist* playlist) const {
  return Browse(TKLDMediaCategory::Pictures, path, playlist);
}

bool TKLDUPnPManager::BrowseVideo(const std::string& path, TKLDPlaylist* playlist) const {
  return Browse(TKLDMediaCategory::Video, path, playlist);
}

bool TKLDUPnPManager::BrowseMusic(const std::string& path, TKLDPlaylist* playlist) const {
  return Browse(TKLDMediaCategory::Music, path, playlist);
}

bool TKLDUPnPManager::BrowseAll(const std::string& path, TKLDPlaylist* playlist) const {
  return Browse(TKLDMediaCategory::All, path, playlist);
}

bool TKLDUPnPManager::Browse(TKLDMediaCategory category, const std::string& path,
                             TKLDPlaylist* playlist) const {
  if (!Collect(category, path, playlist)) return false;
  Finish(path, playlist);
  return true;
}

bool TKLDUPnPManager::Collect(TKLDMediaCategory category, const std::string& path,
                              TKLDPlaylist* playlist, std::vector<std::string>* warnings) const {
  if (!playlist) return false;
  playlist->Clear();
  TRequest request{CategoryMask(category), path, *playlist, warnings, ExtensionLists(), false, {}};
  if (!locations_) return true;
  auto walk = [&](const TKLDMediaFolderList& list) {
    for (int i = 0; i < list.Count(); ++i) BrowseLocation(request, *list.Item(i));
  };
  switch (category) {
    case TKLDMediaCategory::Pictures: walk(locations_->PictureFolders()); break;
    case TKLDMediaCategory::Video: walk(locations_->VideoFolders()); break;
    case TKLDMediaCategory::Music: walk(locations_->MusicFolders()); break;
    case TKLDMediaCategory::All:
      walk(locations_->MusicFolders());
      walk(locations_->VideoFolders());
      walk(locations_->PictureFolders());
      break;
  }
  return true;
}

void TKLDUPnPManager::Finish(const std::string& path, TKLDPlaylist* playlist) {
  if (!playlist) return;
  playlist->Sort();
  if (!path.empty() && !HasParent(*playlist))
    playlist->AddItem(ParentPath(path), MEDIA_PARENT, std::string(), path + "..");
}

bool TKLDUPnPManager::FirstReport(const std::string& root) const {
  std::lock_guard<std::mutex> lock(reports_->mutex);
  return reports_->roots.insert(root).second;
}

bool TKLDUPnPManager::Reported(const std::string& root) const {
  std::lock_guard<std::mutex> lock(reports_->mutex);
  return reports_->roots.count(root) != 0;
}

std::vector<std::string> TKLDUPnPManager::CheckLocations() const {
  std::vector<std::string> warnings;
  if (!locations_) return warnings;
  auto check = [&](const TKLDMediaFolderList& list, const char* category) {
    for (int i = 0; i < list.Count(); ++i) {
      const std::string& path = list.Item(i)->Path;
      TKLDDirectoryReader reader(path);
      if (reader.IsOpen() || !FirstReport(path)) continue;
      if (reader.NotFound())
        warnings.push_back(std::string("The ") + category + " location " + path + " does not exist");
      else
        warnings.push_back(std::string("The ") + category + " location " + path + " cannot be read: " + reader.Error());
    }
  };
  check(locations_->MusicFolders(), "music");
  check(locations_->VideoFolders(), "video");
  check(locations_->PictureFolders(), "pictures");
  return warnings;
}

void TKLDUPnPManager::BrowseLocation(TRequest& request, const TKLDMediaFolder& location) const {
  if (!location.Virtual) {
    ListDirectory(request, location.Path, request.path);
    return;
  }
  if (request.path.empty()) {
    request.AddFolder(location.Name, location.Path);
    return;
  }
  if (request.path.compare(0, location.Name.size(), location.Name) != 0) return;
  std::string remainder = request.path.substr(location.Name.size());
  if (remainder.empty() && !request.parentAdded) {
    request.playlist.AddItem(std::string(), MEDIA_PARENT, std::string(), location.Path + "..");
    request.parentAdded = true;
  }
  ListDirectory(request, location.Path, remainder);
}

void TKLDUPnPManager::ListDirectory(TRequest& request, const std::string& root,
                                    const std::string& relative) const {
  const std::string folder = root + relative;
  // The real folders on the way down from the location. Two folders that link to each other
  // (A/toB -> B, B/toA -> A) would otherwise make a path without end, one level per key.
  std::vector<std::string> onPath;
  std::string level = root;
  onPath.push_back(RealPath(level));
  for (size_t start = 0; start < relative.size();) {
    size_t slash = relative.find('/', start);
    if (slash == std::string::npos) slash = relative.size() - 1;
    level = root + relative.substr(0, slash + 1);
    start = slash + 1;
    std::string real = RealPath(level);
    if (real.empty()) break;  // not there: the listing below says so, or the folder is empty
    if (std::find(onPath.begin(), onPath.end(), real) != onPath.end()) {
      Warn(request.warnings, "Stopped at media folder " + level + ": it leads back to " + real +
                                 ", a folder already on its path");
      return;
    }
    onPath.push_back(std::move(real));
  }
  TKLDDirectoryReader reader(folder);
  reader.SetFoldersOnPath(std::move(onPath));
  if (!reader.IsOpen()) {
    // A location that cannot be read is told once; so is everything beneath it.
    const bool told = relative.empty() ? !FirstReport(root) : Reported(root);
    if (!reader.NotFound() && !told)
      Warn(request.warnings, "Cannot read media folder " + folder + ": " + reader.Error());
    return;
  }
  // The way back up is listed before everything else, wherever the file system puts it, so that
  // it keeps its place at the top even when the list is shuffled.
  std::vector<TKLDDirectoryEntry> entries;
  TKLDDirectoryEntry entry;
  while (reader.Next(entry)) {
    if (entry.name == ".." && entry.kind == TKLDEntryKind::Folder) {
      entries.insert(entries.begin(), entry);
    } else {
      entries.push_back(std::move(entry));
    }
  }
  if (!reader.Error().empty())
    Warn(request.warnings, "Cannot read media folder " + folder + ": " + reader.Error());

  const TKLDExtensionLists& lists = *request.lists;
  for (const TKLDDirectoryEntry& e : entries) {
    std::string name;
    uint8_t type;
    switch (e.kind) {
      case TKLDEntryKind::Folder:
        if (e.name == "..") {
          name = e.name;
          type = MEDIA_PARENT;
        } else if (e.name.empty() || e.name[0] == '.') {
          continue;  // "." itself, and hidden folders
        } else {
          name = e.name + "/";
          type = MEDIA_FOLDER;
        }
        break;
      case TKLDEntryKind::File:
        if (e.name.empty() || e.name[0] == '.') continue;
        name = e.name;
        type = DetectMediaType(name, lists);
        // A file whose name ends in ".." is no way back up.
        if (type == MEDIA_PARENT) continue;
        break;
      case TKLDEntryKind::Cycle:
        if (e.name[0] != '.')
          Warn(request.warnings, "Skipped link that leads back into its own folder: " + folder + e.name);
        continue;
      case TKLDEntryKind::Broken:
        if (e.name[0] != '.') Warn(request.warnings, "Skipped broken link: " + folder + e.name);
        continue;
      default:
        continue;
    }
    if (!(request.mask & Bit(type))) continue;
    TKLDPlaylist& playlist = request.playlist;
    switch (type) {
      case MEDIA_FOLDER: {
        // Folders sort by date with the files: the last time something was put in or taken out.
        TKLDFileStatus status;
        request.AddFolder(name, folder + name, reader.Status(e.name, status) ? status.modified : 0);
        break;
      }
      case MEDIA_PARENT:
        if (!relative.empty() && !request.parentAdded) {
          playlist.AddItem(ParentPath(relative), MEDIA_PARENT, std::string(), folder + "..");
          request.parentAdded = true;
        }
        break;
      case MEDIA_PLAYLIST:
      case MEDIA_PICTURE:
      case MEDIA_AUDIO:
      case MEDIA_VIDEO: {
        std::string url = folder + name;
        TKLDMediaItem* item = playlist.AddItem(WithoutExtension(name), type,
                                               type == MEDIA_PICTURE ? url : std::string(), url);
        TKLDFileStatus status;
        if (reader.Status(e.name, status)) {
          item->Size = status.size;
          item->Date = status.modified;
        }
        break;
      }
      default:
        break;  // themes, information and unknown files are never listed
    }
  }
}

// ---------------------------------------------------------------- TKLDBrowseWorker

namespace {

std::shared_ptr<const TKLDMediaLocationParser> CopyOfLocations(const TKLDMediaLocationParser* from) {
  auto copy = std::make_shared<TKLDMediaLocationParser>();
  if (!from) return copy;
  auto lists = [](const TKLDMediaFolderList& source, TKLDMediaFolderList& target) {
    for (int i = 0; i < source.Count(); ++i) {
      const TKLDMediaFolder* folder = source.Item(i);
      target.Add(folder->Name, folder->Path, folder->Virtual);
    }
  };
  lists(from->PictureFolders(), copy->PictureFolders());
  lists(from->VideoFolders(), copy->VideoFolders());
  lists(from->MusicFolders(), copy->MusicFolders());
  return copy;
}

}  // namespace

TKLDBrowseWorker::TKLDBrowseWorker(const TKLDUPnPManager& browser)
    : browser_(browser),
      queue_(kMaxRunning, kMaxQueued, Browse,
             {.name = "folder browser",
              // The frame loop comes first when the processor is short.
              .threadStart = [] { LowerCurrentThreadPriority(10); },
              .describe = [](const TJob& job) { return "listing \"" + job.path + "\""; },
              .stopWaitMs = kStopWaitMs,
              .stuckMs = kStuckMs,
              .maxThreads = kMaxThreads}) {}

TKLDBrowseWorker::~TKLDBrowseWorker() = default;

std::unique_ptr<TKLDBrowseWorker::TResult> TKLDBrowseWorker::Browse(TJob& job) {
  auto result = std::make_unique<TResult>();
  result->category = job.category;
  result->path = job.path;
  TKLDUPnPManager browser(job.locations.get());
  browser.reports_ = job.reports;
  browser.Collect(job.category, job.path, &result->playlist, &result->warnings);
  return result;
}

uint64_t TKLDBrowseWorker::Request(TKLDMediaCategory category, const std::string& path) {
  return queue_.Push(TJob{category, path, CopyOfLocations(browser_.Locations()), browser_.reports_});
}

std::unique_ptr<TKLDBrowseWorker::TResult> TKLDBrowseWorker::Take(uint64_t ticket) {
  decltype(queue_)::TDone done;
  if (!queue_.Take(ticket, done) || !done.result) return nullptr;
  done.result->ticket = done.ticket;
  return std::move(done.result);
}

void TKLDBrowseWorker::Cancel(uint64_t ticket) { queue_.Cancel(ticket); }

void TKLDBrowseWorker::WaitIdle() { queue_.WaitIdle(); }

int TKLDBrowseWorker::Threads() const { return queue_.Threads(); }

}  // namespace lorvane
