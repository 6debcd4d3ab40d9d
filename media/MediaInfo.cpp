#include "media/MediaInfo.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "base/Logging.h"
#include "media/LibraryCache.h"
#include "metadata/MetaData.h"
#include "platform/FilmReader.h"
#include "platform/SystemInfo.h"
#include "platform/TagReader.h"

namespace lorvane {

namespace {

namespace fs = std::filesystem;

// Remembered files at most; past it the oldest knowledge is simply read again when needed.
constexpr size_t kMaxKnown = 50000;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

}  // namespace

std::string DurationText(double seconds) {
  if (!(seconds > 0)) return std::string();
  const long total = std::lround(seconds);
  char text[32];
  std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  return text;
}

std::string PositionText(double seconds) {
  if (!(seconds > 0)) return std::string();
  const long total = std::lround(std::floor(seconds));
  char text[32];
  std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", total / 3600, total / 60 % 60, total % 60);
  return text;
}

void PublishMediaInfo(TKLDMetaDataManager& meta, const std::string& prefix, const TKLDMediaInfo* info,
                      const std::string& name, bool withDuration) {
  const TKLDMediaInfo none;
  const TKLDMediaInfo& i = info ? *info : none;
  meta.SetValue(prefix + ".title", i.title.empty() ? name : i.title);
  meta.SetValue(prefix + ".artist", i.artist.empty() ? i.albumArtist : i.artist);
  meta.SetValue(prefix + ".album", i.album);
  meta.SetValue(prefix + ".year", i.year > 0 ? std::to_string(i.year) : std::string());
  meta.SetValue(prefix + ".track", i.track > 0 ? std::to_string(i.track) : std::string());
  meta.SetValue(prefix + ".genre", i.genre);
  meta.SetValue(prefix + ".duration", withDuration ? DurationText(i.duration) : std::string());
  meta.SetValue(prefix + ".art", i.art);
  meta.SetValue(prefix + ".resume", PositionText(i.resume));
  const bool credited = !i.artist.empty() || !i.albumArtist.empty() || !i.album.empty();
  meta.SetValue(prefix + ".credited", credited ? "yes" : "no");
}

TKLDMediaInfoReader::TKLDMediaInfoReader(std::shared_ptr<TKLDLibraryCache> cache, size_t maxQueued)
    : queue_(1, maxQueued,
             [cache](TJob& job) -> TResult {
               if (job.storeResume) {
                 TKLDFileKey key;
                 if (cache && TKLDFileKey::Of(job.path, key)) cache->StoreResume(key, job.position);
                 return nullptr;
               }
               return std::make_shared<TKLDMediaInfo>(Read(job.path, job.mediaType, cache.get()));
             },
             {.name = "tag reader",
              .threadStart = [] { LowerCurrentThreadPriority(5); },
              .describe = [](const TJob& job) { return (job.storeResume ? "keeping the stop of " : "reading ") + job.path; },
              .stopWaitMs = 500,
              .stuckMs = kStuckMs,
              .maxThreads = kMaxThreads}) {}

TKLDMediaInfoReader::~TKLDMediaInfoReader() {
  // Reads still queued are of no use now; stop positions still to be kept are written first.
  queue_.Stop();
}

bool TKLDMediaInfoReader::Wants(uint8_t mediaType) {
  return mediaType == MEDIA_AUDIO || mediaType == MEDIA_VIDEO || mediaType == MEDIA_FOLDER;
}

std::shared_ptr<const TKLDMediaInfo> TKLDMediaInfoReader::Find(const std::string& path) const {
  auto found = known_.find(path);
  return found == known_.end() ? nullptr : found->second;
}

std::shared_ptr<const TKLDMediaInfo> TKLDMediaInfoReader::Get(const std::string& path, uint8_t mediaType) {
  if (auto info = Find(path)) return info;
  if (Wants(mediaType) && asked_.insert(path).second) {
    std::vector<TJob> dropped;
    queue_.Push(TJob{path, mediaType, false, 0}, true, &dropped);
    // Given way to newer requests: asked for again when the file is wanted again.
    for (const TJob& job : dropped) asked_.erase(job.path);
  }
  return nullptr;
}

void TKLDMediaInfoReader::Publish(const std::string& path, std::shared_ptr<const TKLDMediaInfo> info) {
  if (known_.size() >= kMaxKnown && !known_.count(path)) known_.clear();
  known_[path] = std::move(info);
  ++changes_;
}

int TKLDMediaInfoReader::Collect() {
  int arrived = 0;
  for (auto& done : queue_.Take()) {
    if (done.job.storeResume || !done.result) continue;
    asked_.erase(done.job.path);
    // Known already: a stop position (or a film picture) noted while the file was being read
    // is newer than what the read found.
    if (auto known = Find(done.job.path)) {
      auto merged = std::make_shared<TKLDMediaInfo>(*done.result);
      merged->resume = known->resume;
      if (!known->art.empty()) merged->art = known->art;
      done.result = std::move(merged);
    }
    Publish(done.job.path, std::move(done.result));
    ++arrived;
  }
  return arrived;
}

void TKLDMediaInfoReader::SetArt(const std::string& path, const std::string& file) {
  auto found = known_.find(path);
  if (found == known_.end() || file.empty() || found->second->art == file) return;
  auto changed = std::make_shared<TKLDMediaInfo>(*found->second);
  changed->art = file;
  Publish(path, std::move(changed));
}

void TKLDMediaInfoReader::RememberStop(const std::string& path, double position, double duration) {
  if (!(duration > 0) || position < 0) return;
  const double share = position / duration;
  double keep;
  if (share > 0.95) keep = 0;
  else if (share >= 0.05) keep = position;
  else return;
  auto found = known_.find(path);
  auto changed = std::make_shared<TKLDMediaInfo>(found == known_.end() ? TKLDMediaInfo() : *found->second);
  changed->resume = keep;
  if (found == known_.end() && changed->duration <= 0) changed->duration = duration;
  Publish(path, std::move(changed));
  queue_.Push(TJob{path, MEDIA_VIDEO, true, keep}, false);
}

std::string TKLDMediaInfoReader::FolderArt(const std::string& folder, TKLDLibraryCache* cache) {
  static const char* const kNames[] = {"cover", "folder", "front"};
  static const char* const kKinds[] = {".jpg", ".jpeg", ".png"};
  std::error_code error;
  std::vector<std::string> names;
  for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error)) continue;
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  for (const char* wanted : kNames)
    for (const char* kind : kKinds)
      for (const std::string& name : names)
        if (Lower(name) == std::string(wanted) + kind) return folder + name;
  if (!cache) return std::string();
  // No cover beside the music: the first track's own.
  for (const std::string& name : names) {
    if (DetectMediaType(name) != MEDIA_AUDIO) continue;
    TKLDEmbeddedPicture picture;
    if (ReadEmbeddedPicture(folder + name, picture)) return cache->StoreArt(picture.data, picture.mimeType);
    break;
  }
  return std::string();
}

TKLDMediaInfo TKLDMediaInfoReader::Read(const std::string& path, uint8_t mediaType, TKLDLibraryCache* cache) {
  TKLDMediaInfo info;
  if (mediaType == MEDIA_FOLDER) {
    std::string folder = path;
    if (folder.empty() || folder.back() != '/') folder += '/';
    info.art = FolderArt(folder, cache);
    return info;
  }
  TKLDFileKey key;
  if (!TKLDFileKey::Of(path, key)) return info;
  if (mediaType == MEDIA_VIDEO && cache) info.resume = cache->FindResume(key);
  if (cache && cache->FindInfo(key, info)) return info;
  std::string error;
  if (mediaType == MEDIA_AUDIO) {
    TKLDAudioTags tags;
    if (ReadAudioTags(path, tags, error)) {
      info.title = tags.title;
      info.artist = tags.artist;
      info.album = tags.album;
      info.albumArtist = tags.albumArtist;
      info.genre = tags.genre;
      info.year = tags.year;
      info.track = tags.track;
      info.duration = tags.duration;
      TKLDEmbeddedPicture picture;
      if (cache && ReadEmbeddedPicture(path, picture)) info.art = cache->StoreArt(picture.data, picture.mimeType);
    } else {
      LogDebug("No tags read from " + path + ": " + error);
    }
    if (info.art.empty()) {
      // One look at a folder serves all its tracks (a folder may hold thousands).
      thread_local std::unordered_map<std::string, std::string> covers;
      const std::string folder = FolderOf(path);
      auto found = covers.find(folder);
      if (found == covers.end()) {
        if (covers.size() > 256) covers.clear();
        found = covers.emplace(folder, FolderArt(folder, nullptr)).first;
      }
      info.art = found->second;
    }
  } else if (mediaType == MEDIA_VIDEO) {
    TKLDFilmInfo film;
    if (ReadFilmInfo(path, film, error)) {
      info.title = film.title;
      info.duration = film.duration;
    } else {
      LogDebug("No film details read from " + path + ": " + error);
    }
    if (cache) info.art = cache->FindFilmPicture(key);
  } else {
    return info;
  }
  if (cache) cache->StoreInfo(key, info);
  return info;
}

}  // namespace lorvane
