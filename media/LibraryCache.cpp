#include "media/LibraryCache.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "base/FileSystem.h"
#include "base/Logging.h"
#include "platform/PixbufImage.h"
#include "platform/SqliteDatabase.h"

namespace lorvane {

namespace {

namespace fs = std::filesystem;

constexpr const char* kDatabase = "library.db";
constexpr int kBusyMilliseconds = 5000;
constexpr int kStoresBetweenPrunes = 200;
// Records of files (tags) kept at most; a row is small, the bound only stops endless growth.
constexpr int64_t kMaxInfoRows = 200000;

const char* kSchema =
    "CREATE TABLE IF NOT EXISTS media(path TEXT PRIMARY KEY, size INTEGER, changed INTEGER,"
    " title TEXT, artist TEXT, album TEXT, albumartist TEXT, genre TEXT, year INTEGER,"
    " track INTEGER, duration REAL, art TEXT, used INTEGER);"
    "CREATE INDEX IF NOT EXISTS media_used ON media(used);"
    // Picture files the cache wrote: thumbnails (a cell size), film pictures (0 × 0) and covers
    // taken out of files (keyed by their own file, -1 × -1).
    "CREATE TABLE IF NOT EXISTS pictures(path TEXT, width INTEGER, height INTEGER, size INTEGER,"
    " changed INTEGER, file TEXT, bytes INTEGER, used INTEGER, PRIMARY KEY(path, width, height));"
    "CREATE INDEX IF NOT EXISTS pictures_used ON pictures(used);"
    "CREATE TABLE IF NOT EXISTS resume(path TEXT PRIMARY KEY, size INTEGER, changed INTEGER,"
    " position REAL);";

int64_t Now() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

uint64_t Fnv(const void* data, size_t size, uint64_t hash = 1469598103934665603ull) {
  const auto* bytes = static_cast<const uint8_t*>(data);
  for (size_t i = 0; i < size; ++i) hash = (hash ^ bytes[i]) * 1099511628211ull;
  return hash;
}

std::string Hex(uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

std::string NameOf(const TKLDFileKey& key, int width, int height) {
  const std::string text = key.path + "|" + std::to_string(width) + "x" + std::to_string(height);
  return Hex(Fnv(text.data(), text.size()));
}

bool LooksCorrupt(const std::string& error) {
  for (const char* sign : {"malformed", "not a database", "corrupt", "integrity"})
    if (error.find(sign) != std::string::npos) return true;
  return false;
}

int64_t FileBytes(const std::string& path) {
  std::error_code error;
  const auto size = fs::file_size(path, error);
  return error ? 0 : static_cast<int64_t>(size);
}

}  // namespace

bool TKLDFileKey::Of(const std::string& path, TKLDFileKey& key) {
  key.path = path;
  return FileStamp(path, key.size, key.changed);
}

TKLDLibraryCache::TKLDLibraryCache(std::string folder, int64_t maxBytes)
    : folder_(std::move(folder)), maxBytes_(maxBytes) {}

TKLDLibraryCache::~TKLDLibraryCache() = default;

std::string TKLDLibraryCache::FolderFor(bool installed, const std::string& logsFolder) {
  if (installed) {
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/') return std::string(cache) + (std::string(cache).back() == '/' ? "" : "/") + "lorvane/";
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.cache/lorvane/";
  }
  std::string parent = logsFolder;
  while (!parent.empty() && parent.back() == '/') parent.pop_back();
  const size_t slash = parent.rfind('/');
  parent = slash == std::string::npos ? std::string() : parent.substr(0, slash + 1);
  return parent + "cache/";
}

bool TKLDLibraryCache::Usable() {
  std::lock_guard<std::mutex> lock(mutex_);
  return OpenLocked();
}

void TKLDLibraryCache::GiveUpLocked(const std::string& why) {
  db_.reset();
  gaveUp_ = true;
  LogWarn("The library cache in " + folder_ + " cannot be used (" + why +
          "); titles, covers and thumbnails are read afresh each time");
}

void TKLDLibraryCache::WriteFailedLocked(const std::string& what, const std::string& error) {
  if (writeWarned_) return;
  writeWarned_ = true;
  LogWarn("The library cache could not keep " + what + ": " + error);
}

bool TKLDLibraryCache::ExecLocked(const std::string& sql) {
  std::string error;
  if (db_->Execute(sql, error)) return true;
  WriteFailedLocked("a change", error);
  return false;
}

bool TKLDLibraryCache::SetUpLocked(std::string& error) {
  const std::string path = folder_ + kDatabase;
  db_ = TKLDSqliteDatabase::Open(path, true, kBusyMilliseconds, error);
  if (!db_) return false;
  const std::string mode = db_->QueryText("PRAGMA journal_mode=WAL", error);
  if (mode != "wal") {
    if (error.empty()) error = "no WAL journal (" + mode + ")";
    return false;
  }
  if (!db_->Execute("PRAGMA synchronous=NORMAL", error)) return false;
  // A stop in the middle of a write can leave pages behind that only show when read.
  const std::string check = db_->QueryText("PRAGMA quick_check", error);
  if (check != "ok") {
    if (error.empty()) error = "integrity check: " + check;
    return false;
  }
  return db_->Execute(kSchema, error);
}

bool TKLDLibraryCache::OpenLocked() {
  if (db_) return true;
  if (tried_) return false;
  tried_ = true;
  for (const std::string& folder : {folder_, folder_ + "thumbs/", folder_ + "art/"}) {
    std::error_code code;
    fs::create_directories(folder, code);
    if (!DirectoryExists(folder)) {
      GiveUpLocked("cannot make the folder " + folder);
      return false;
    }
  }
  std::string error;
  if (SetUpLocked(error)) return true;
  db_.reset();
  const std::string path = folder_ + kDatabase;
  if (!FileExists(path) || !LooksCorrupt(error)) {
    GiveUpLocked(error);
    return false;
  }
  // Damaged: keep it aside for whoever wants to look, and begin again.
  const std::string aside = path + ".damaged";
  if (std::rename(path.c_str(), aside.c_str()) != 0) {
    GiveUpLocked(error + ", and it cannot be set aside");
    return false;
  }
  std::remove((path + "-wal").c_str());
  std::remove((path + "-shm").c_str());
  LogWarn("The library cache " + path + " was damaged (" + error + "); set aside as " + aside +
          " and made anew");
  std::string again;
  if (SetUpLocked(again)) return true;
  GiveUpLocked(again);
  return false;
}

bool TKLDLibraryCache::FindInfo(const TKLDFileKey& key, TKLDMediaInfo& info) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!OpenLocked()) return false;
  std::string error;
  auto query = db_->Prepare(
      "SELECT title, artist, album, albumartist, genre, year, track, duration, art FROM media"
      " WHERE path = ?1 AND size = ?2 AND changed = ?3", error);
  if (!query) return false;
  query->Bind(1, key.path);
  query->Bind(2, key.size);
  query->Bind(3, key.changed);
  if (!query->Step()) return false;
  TKLDMediaInfo found;
  found.title = query->Text(0);
  found.artist = query->Text(1);
  found.album = query->Text(2);
  found.albumArtist = query->Text(3);
  found.genre = query->Text(4);
  found.year = static_cast<int>(query->Integer(5));
  found.track = static_cast<int>(query->Integer(6));
  found.duration = query->Real(7);
  found.art = query->Text(8);
  // A picture file pruned (or removed by hand) since: read the file again.
  if (!found.art.empty() && !FileExists(found.art)) return false;
  query.reset();
  auto touch = db_->Prepare("UPDATE media SET used = ?2 WHERE path = ?1", error);
  if (touch) {
    touch->Bind(1, key.path);
    touch->Bind(2, Now());
    touch->Step();
  }
  if (!found.art.empty()) {
    if (auto art = db_->Prepare("UPDATE pictures SET used = ?2 WHERE file = ?1", error)) {
      art->Bind(1, found.art);
      art->Bind(2, Now());
      art->Step();
    }
  }
  found.resume = info.resume;
  info = std::move(found);
  return true;
}

void TKLDLibraryCache::StoreInfo(const TKLDFileKey& key, const TKLDMediaInfo& info) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!OpenLocked()) return;
  std::string error;
  auto store = db_->Prepare(
      "INSERT OR REPLACE INTO media(path, size, changed, title, artist, album, albumartist, genre,"
      " year, track, duration, art, used) VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13)",
      error);
  if (!store) return WriteFailedLocked("tags", error);
  store->Bind(1, key.path);
  store->Bind(2, key.size);
  store->Bind(3, key.changed);
  store->Bind(4, info.title);
  store->Bind(5, info.artist);
  store->Bind(6, info.album);
  store->Bind(7, info.albumArtist);
  store->Bind(8, info.genre);
  store->Bind(9, int64_t(info.year));
  store->Bind(10, int64_t(info.track));
  store->Bind(11, info.duration);
  store->Bind(12, info.art);
  store->Bind(13, Now());
  store->Step();
  if (store->Failed()) return WriteFailedLocked("tags", db_->LastError());
  if (++storesSincePrune_ >= kStoresBetweenPrunes) PruneLocked();
}

std::string TKLDLibraryCache::PicturePath(const std::string& folder, const std::string& name) const {
  return folder_ + folder + name;
}

std::string TKLDLibraryCache::FindThumbnail(const TKLDFileKey& key, int width, int height) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!OpenLocked()) return std::string();
  std::string error;
  auto query = db_->Prepare(
      "SELECT file FROM pictures WHERE path = ?1 AND width = ?2 AND height = ?3 AND size = ?4 AND"
      " changed = ?5", error);
  if (!query) return std::string();
  query->Bind(1, key.path);
  query->Bind(2, int64_t(width));
  query->Bind(3, int64_t(height));
  query->Bind(4, key.size);
  query->Bind(5, key.changed);
  if (!query->Step()) return std::string();
  std::string file = query->Text(0);
  query.reset();
  if (!FileExists(file)) return std::string();
  if (auto touch = db_->Prepare("UPDATE pictures SET used = ?2 WHERE file = ?1", error)) {
    touch->Bind(1, file);
    touch->Bind(2, Now());
    touch->Step();
  }
  return file;
}

bool TKLDLibraryCache::StoreThumbnail(const TKLDFileKey& key, int width, int height,
                                      const TKLDPixbufImage& picture) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!OpenLocked()) return false;
  // Photographs keep well as JPEG; a picture with transparency needs PNG.
  const bool png = picture.HasAlpha();
  const std::string file = PicturePath("thumbs/", NameOf(key, width, height) + (png ? ".png" : ".jpg"));
  std::string error;
  const std::string part = file + ".part";
  if (!(png ? picture.SavePng(part, error) : picture.SaveJpeg(part, 88, error)) ||
      std::rename(part.c_str(), file.c_str()) != 0) {
    std::remove(part.c_str());
    WriteFailedLocked("a thumbnail", error.empty() ? "cannot write " + file : error);
    return false;
  }
  auto store = db_->Prepare(
      "INSERT OR REPLACE INTO pictures(path, width, height, size, changed, file, bytes, used)"
      " VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)", error);
  if (!store) {
    WriteFailedLocked("a thumbnail", error);
    return false;
  }
  store->Bind(1, key.path);
  store->Bind(2, int64_t(width));
  store->Bind(3, int64_t(height));
  store->Bind(4, key.size);
  store->Bind(5, key.changed);
  store->Bind(6, file);
  store->Bind(7, FileBytes(file));
  store->Bind(8, Now());
  store->Step();
  if (store->Failed()) {
    WriteFailedLocked("a thumbnail", db_->LastError());
    return false;
  }
  if (++storesSincePrune_ >= kStoresBetweenPrunes) PruneLocked();
  return true;
}

std::string TKLDLibraryCache::StoreArt(const std::vector<uint8_t>& bytes, const std::string& mimeType) {
  if (bytes.empty()) return std::string();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!OpenLocked()) return std::string();
  const bool png = mimeType.find("png") != std::string::npos;
  const std::string file = PicturePath("art/", Hex(Fnv(bytes.data(), bytes.size())) + (png ? ".png" : ".jpg"));
  std::string failure;
  if (!FileExists(file) && !WriteWholeFile(file, bytes, failure)) {
    WriteFailedLocked("a cover", failure);
    return std::string();
  }
  std::string error;
  if (auto store = db_->Prepare(
          "INSERT OR REPLACE INTO pictures(path, width, height, size, changed, file, bytes, used)"
          " VALUES(?1, -1, -1, ?2, 0, ?1, ?2, ?3)", error)) {
    store->Bind(1, file);
    store->Bind(2, int64_t(bytes.size()));
    store->Bind(3, Now());
    store->Step();
  }
  return file;
}

std::string TKLDLibraryCache::StoreFilmPicture(const TKLDFileKey& key, const TKLDPixbufImage& picture) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!OpenLocked()) return std::string();
  }
  if (!StoreThumbnail(key, 0, 0, picture)) return std::string();
  std::lock_guard<std::mutex> lock(mutex_);
  if (!db_) return std::string();
  const std::string file = PicturePath("thumbs/", NameOf(key, 0, 0) + (picture.HasAlpha() ? ".png" : ".jpg"));
  std::string error;
  if (auto update = db_->Prepare("UPDATE media SET art = ?2 WHERE path = ?1 AND size = ?3 AND changed = ?4", error)) {
    update->Bind(1, key.path);
    update->Bind(2, file);
    update->Bind(3, key.size);
    update->Bind(4, key.changed);
    update->Step();
  }
  return file;
}

std::string TKLDLibraryCache::FindFilmPicture(const TKLDFileKey& key) { return FindThumbnail(key, 0, 0); }

double TKLDLibraryCache::FindResume(const TKLDFileKey& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!OpenLocked()) return 0;
  std::string error;
  auto query = db_->Prepare("SELECT position FROM resume WHERE path = ?1 AND size = ?2 AND changed = ?3", error);
  if (!query) return 0;
  query->Bind(1, key.path);
  query->Bind(2, key.size);
  query->Bind(3, key.changed);
  return query->Step() ? query->Real(0) : 0;
}

void TKLDLibraryCache::StoreResume(const TKLDFileKey& key, double seconds) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!OpenLocked()) return;
  std::string error;
  auto change = db_->Prepare(seconds > 0 ? "INSERT OR REPLACE INTO resume(path, size, changed, position)"
                                           " VALUES(?1, ?2, ?3, ?4)"
                                         : "DELETE FROM resume WHERE path = ?1",
                             error);
  if (!change) return WriteFailedLocked("where a film stopped", error);
  change->Bind(1, key.path);
  if (seconds > 0) {
    change->Bind(2, key.size);
    change->Bind(3, key.changed);
    change->Bind(4, seconds);
  }
  change->Step();
  if (change->Failed()) WriteFailedLocked("where a film stopped", db_->LastError());
}

int64_t TKLDLibraryCache::PictureBytes() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!OpenLocked()) return 0;
  std::string error;
  return std::atoll(db_->QueryText("SELECT COALESCE(SUM(bytes), 0) FROM pictures", error).c_str());
}

void TKLDLibraryCache::Prune() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (OpenLocked()) PruneLocked();
}

void TKLDLibraryCache::PruneLocked() {
  storesSincePrune_ = 0;
  std::string error;
  int64_t total = std::atoll(db_->QueryText("SELECT COALESCE(SUM(bytes), 0) FROM pictures", error).c_str());
  if (total > maxBytes_) {
    // Down to nine tenths, so that the next few stores do not prune again at once.
    const int64_t goal = maxBytes_ / 10 * 9;
    std::vector<std::string> files;
    if (auto oldest = db_->Prepare("SELECT file, bytes FROM pictures ORDER BY used", error)) {
      while (total > goal && oldest->Step()) {
        files.push_back(oldest->Text(0));
        total -= oldest->Integer(1);
      }
    }
    if (auto forget = db_->Prepare("DELETE FROM pictures WHERE file = ?1", error)) {
      ExecLocked("BEGIN");
      for (const std::string& file : files) {
        forget->Reset();
        forget->Bind(1, file);
        forget->Step();
        std::remove(file.c_str());
      }
      ExecLocked("COMMIT");
    }
  }
  const int64_t rows = std::atoll(db_->QueryText("SELECT COUNT(*) FROM media", error).c_str());
  if (rows > kMaxInfoRows)
    ExecLocked("DELETE FROM media WHERE path IN (SELECT path FROM media ORDER BY used LIMIT " +
               std::to_string(rows - kMaxInfoRows) + ")");
}

}  // namespace lorvane
