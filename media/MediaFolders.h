#pragma once
// Media items and lists: what the user browses and plays.
//
// A TKLDMediaItem is one entry of a folder (a file, a sub-folder or the way back up); a
// TKLDMediaList owns items and sorts them; a playlist (media/Playlist.h) adds a current position.
// An item's type comes from its name alone (DetectMediaType): folders end with "/", the way
// back up ends with "..", files are typed by their extension against fixed tables and the three
// extension lists of the preferences (video, audio, playlist), which the application manager
// hands over with LoadExtensionLists when it reads its configuration.
//
// Names, captions and URLs keep the file system's bytes even when they are not valid UTF-8, so
// that such files can still be found and played; only drawing replaces invalid sequences.
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace lorvane {

class TKLDRandom;

// Media types by number; the names ("parent" ... "unknown", and "all") are MediaTypeName's.
enum TKLDMediaType : uint8_t {
  MEDIA_PARENT = 0,
  MEDIA_FOLDER = 1,
  MEDIA_PLAYLIST = 2,
  MEDIA_THEME = 3,
  MEDIA_PICTURE = 4,
  MEDIA_AUDIO = 5,
  MEDIA_VIDEO = 6,
  MEDIA_INFO = 7,
  MEDIA_UNKNOWN = 8,
};

// The preference extension lists, each entry upper case with its dot (".MKV").
struct TKLDExtensionLists {
  std::vector<std::string> video;
  std::vector<std::string> audio;
  std::vector<std::string> playlist;
};

// Splits each comma-separated preference list (items may be double-quoted) and makes the result
// the lists every DetectMediaType call without lists of its own uses from then on.
void LoadExtensionLists(const std::string& video, const std::string& audio,
                        const std::string& playlist);
// The same with lists already split. Safe while other threads type names: they keep the
// lists they started with.
void SetExtensionLists(TKLDExtensionLists lists);
// The lists in force: an unchanging snapshot that stays valid as long as it is held.
std::shared_ptr<const TKLDExtensionLists> ExtensionLists();
// Items of a list such as ".AVI", ".MPG": split at commas; blanks and quotes around items go.
std::vector<std::string> SplitExtensionList(const std::string& list);

// The type of a name: ends with "/" folder, ends with ".." parent, otherwise by the upper-cased
// extension (from the last "."): the picture table, then video, audio, ".TXT"/".NFO" info,
// ".XML" theme, playlist, otherwise unknown. List entries are matched exactly.
uint8_t DetectMediaType(const std::string& name);
uint8_t DetectMediaType(const std::string& name, const TKLDExtensionLists& lists);

// The extensions typed as pictures (".JPG", ".WEBP", ...): what the picture renderer is meant
// to decode, so they are not a preference.
std::vector<std::string> PictureExtensions();

// "%d Bytes", "%.2f KB", "%.2f MB" or "%.2f GB" by the size in bytes.
std::string FileSizeText(int64_t size);

// What is known of a file beyond its name: its tags (music), the container's title and length
// (films), the picture that stands for it and, for films, where playing stopped. Read on a
// worker (media/MediaInfo); empty fields are unknown.
struct TKLDMediaInfo {
  std::string title, artist, album, albumArtist, genre;
  int year = 0, track = 0;
  double duration = 0;  // seconds
  std::string art;      // a picture file: the cover, the folder's cover or a film's picture
  double resume = 0;    // seconds into a film where it was stopped; 0 for none
};

class TKLDMediaItem {
 public:
  // What the user sees: a file's name without extension, a folder's name with its "/", a
  // parent entry's parent path.
  std::string Caption;
  uint8_t MediaType = MEDIA_UNKNOWN;
  // The full path on disk; for a parent entry the folder's path followed by "..".
  std::string URL;
  // A picture's own path (it is its own thumbnail); empty otherwise.
  std::string ImagePath;
  // Bytes, 64-bit so that films of 2 GiB and more keep their size.
  int64_t Size = 0;
  // Last modification, seconds since 1970 (UTC); shown in local time.
  std::time_t Date = 0;
  // Filled in once read; shared by the item's copies.
  std::shared_ptr<const TKLDMediaInfo> Info;

  void Assign(const TKLDMediaItem& other);
  // Playlists, themes, pictures, audio, video, info and unknown files: anything but folders
  // and parent entries.
  bool IsPlayable() const { return MediaType >= MEDIA_PLAYLIST && MediaType <= MEDIA_UNKNOWN; }
};

enum TKLDSortType : uint8_t { SORT_NAME = 1, SORT_DATE = 2, SORT_SHUFFLE = 3 };

class TKLDMediaList {
 public:
  TKLDMediaList() = default;
  virtual ~TKLDMediaList() = default;
  TKLDMediaList(const TKLDMediaList&) = delete;
  TKLDMediaList& operator=(const TKLDMediaList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  // Null for an index outside the list.
  TKLDMediaItem* Item(int index) const;
  virtual void Clear();
  TKLDMediaItem* AddItem(const std::string& caption, uint8_t type, const std::string& imagePath,
                         const std::string& url);
  // Null, adding nothing, when an item of that type with exactly that caption exists.
  TKLDMediaItem* AddUniqueItem(const std::string& caption, uint8_t type,
                               const std::string& imagePath, const std::string& url);
  // Appends a copy of the item.
  TKLDMediaItem* AddCopy(const TKLDMediaItem& item);
  // Clears this list and takes the other's items over, leaving the other empty (a browse done
  // elsewhere becomes this list's contents without copying). The sort settings stay.
  virtual void TakeItems(TKLDMediaList& other);
  // The first item with exactly this URL, or null.
  TKLDMediaItem* FindByURL(const std::string& url) const;
  // Position of the item in the list, -1 when it is not there.
  int IndexOf(const TKLDMediaItem* item) const;

  // 1 by name (default), 2 by date, 3 shuffle; other values leave the order alone. Choosing
  // another sort type starts it ascending again.
  uint8_t SortType() const { return sortType_; }
  void SetSortType(uint8_t type);
  bool SortDescending() const { return sortDescending_; }
  void SetSortDescending(bool value) { sortDescending_ = value; }

  // Parent entries first, then the rest by SortType. By name compares captions ignoring case,
  // in the user's language; folders and files are not grouped. A shuffle draws from the
  // program's random source, which belongs to the main thread: a worker thread that sorts a
  // list that may shuffle passes a generator of its own.
  void Sort();
  void Sort(TKLDRandom& random);

 protected:
  std::vector<std::unique_ptr<TKLDMediaItem>> items_;

 private:
  void SortByName();
  void SortByDate();
  void Shuffle(TKLDRandom& random);

  uint8_t sortType_ = SORT_NAME;
  bool sortDescending_ = false;
};

}  // namespace lorvane
