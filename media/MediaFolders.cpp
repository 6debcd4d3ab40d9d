#include "media/MediaFolders.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <cstdio>

#include "platform/TextCollation.h"
#include "render/Random.h"

namespace lorvane {

namespace {

// Pictures are what the picture renderer can decode, so they are not a preference.
const char* const kPictureExtensions[] = {".JPG", ".JPEG", ".PNG", ".GIF", ".BMP",
                                          ".TIF", ".TIFF", ".WEBP"};

std::shared_ptr<const TKLDExtensionLists>& ListsSlot() {
  static std::shared_ptr<const TKLDExtensionLists> lists =
      std::make_shared<const TKLDExtensionLists>();
  return lists;
}

bool Contains(const std::vector<std::string>& list, const std::string& extension) {
  return std::find(list.begin(), list.end(), extension) != list.end();
}

bool EndsWith(const std::string& text, const char* tail) {
  size_t n = std::char_traits<char>::length(tail);
  return text.size() >= n && text.compare(text.size() - n, n, tail) == 0;
}

}  // namespace

std::vector<std::string> SplitExtensionList(const std::string& list) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    std::string item = list.substr(start, comma - start);
    size_t first = item.find_first_not_of(" \t\r\n\"");
    size_t last = item.find_last_not_of(" \t\r\n\"");
    if (first != std::string::npos) items.push_back(item.substr(first, last - first + 1));
    start = comma + 1;
  }
  return items;
}

void SetExtensionLists(TKLDExtensionLists lists) {
  std::atomic_store(&ListsSlot(),
                    std::shared_ptr<const TKLDExtensionLists>(
                        std::make_shared<const TKLDExtensionLists>(std::move(lists))));
}

std::shared_ptr<const TKLDExtensionLists> ExtensionLists() { return std::atomic_load(&ListsSlot()); }

void LoadExtensionLists(const std::string& video, const std::string& audio,
                        const std::string& playlist) {
  TKLDExtensionLists lists;
  lists.video = SplitExtensionList(video);
  lists.audio = SplitExtensionList(audio);
  lists.playlist = SplitExtensionList(playlist);
  SetExtensionLists(std::move(lists));
}

std::vector<std::string> PictureExtensions() {
  return std::vector<std::string>(std::begin(kPictureExtensions), std::end(kPictureExtensions));
}

uint8_t DetectMediaType(const std::string& name) { return DetectMediaType(name, *ExtensionLists()); }

uint8_t DetectMediaType(const std::string& name, const TKLDExtensionLists& lists) {
  if (!name.empty() && name.back() == '/') return MEDIA_FOLDER;
  if (EndsWith(name, "..")) return MEDIA_PARENT;
  size_t dot = name.rfind('.');
  if (dot == std::string::npos) return MEDIA_UNKNOWN;
  std::string extension = name.substr(dot);
  // Only ASCII letters change: extensions of other scripts are compared as written.
  for (char& c : extension)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const char* picture : kPictureExtensions)
    if (extension == picture) return MEDIA_PICTURE;
  if (Contains(lists.video, extension)) return MEDIA_VIDEO;
  if (Contains(lists.audio, extension)) return MEDIA_AUDIO;
  if (extension == ".TXT" || extension == ".NFO") return MEDIA_INFO;
  if (extension == ".XML") return MEDIA_THEME;
  if (Contains(lists.playlist, extension)) return MEDIA_PLAYLIST;
  return MEDIA_UNKNOWN;
}

std::string FileSizeText(int64_t size) {
  char text[64];
  if (size < 1024)
    std::snprintf(text, sizeof text, "%" PRId64 " Bytes", size);
  else if (size < 1048576)
    std::snprintf(text, sizeof text, "%.2f KB", static_cast<double>(size) / 1024.0);
  else if (size < 1073741824)
    std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(size) / 1048576.0);
  else
    std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(size) / 1073741824.0);
  return text;
}

void TKLDMediaItem::Assign(const TKLDMediaItem& other) {
  Caption = other.Caption;
  MediaType = other.MediaType;
  URL = other.URL;
  ImagePath = other.ImagePath;
  Size = other.Size;
  Date = other.Date;
  Info = other.Info;
}

TKLDMediaItem* TKLDMediaList::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<size_t>(index)].get();
}

void TKLDMediaList::Clear() { items_.clear(); }

void TKLDMediaList::TakeItems(TKLDMediaList& other) {
  if (&other == this) return;
  Clear();
  items_ = std::move(other.items_);
  other.Clear();
}

TKLDMediaItem* TKLDMediaList::AddItem(const std::string& caption, uint8_t type,
                                      const std::string& imagePath, const std::string& url) {
  auto item = std::make_unique<TKLDMediaItem>();
  item->Caption = caption;
  item->MediaType = type;
  item->ImagePath = imagePath;
  item->URL = url;
  items_.push_back(std::move(item));
  return items_.back().get();
}

TKLDMediaItem* TKLDMediaList::AddUniqueItem(const std::string& caption, uint8_t type,
                                            const std::string& imagePath, const std::string& url) {
  for (const auto& item : items_)
    if (item->MediaType == type && item->Caption == caption) return nullptr;
  return AddItem(caption, type, imagePath, url);
}

TKLDMediaItem* TKLDMediaList::AddCopy(const TKLDMediaItem& item) {
  auto copy = std::make_unique<TKLDMediaItem>();
  copy->Assign(item);
  items_.push_back(std::move(copy));
  return items_.back().get();
}

TKLDMediaItem* TKLDMediaList::FindByURL(const std::string& url) const {
  for (const auto& item : items_)
    if (item->URL == url) return item.get();
  return nullptr;
}

int TKLDMediaList::IndexOf(const TKLDMediaItem* item) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].get() == item) return static_cast<int>(i);
  return -1;
}

void TKLDMediaList::SetSortType(uint8_t type) {
  if (type != sortType_) sortDescending_ = false;
  sortType_ = type;
}

void TKLDMediaList::Sort() { Sort(KLDRandom()); }

void TKLDMediaList::Sort(TKLDRandom& random) {
  if (items_.size() < 2) return;
  switch (sortType_) {
    case SORT_NAME: SortByName(); break;
    case SORT_DATE: SortByDate(); break;
    case SORT_SHUFFLE: Shuffle(random); break;
    default: break;
  }
}

void TKLDMediaList::SortByName() {
  // Parents go first; the rest are ordered by keys worked out once per item, so that the
  // language-aware comparison is paid for once and not at every one of n log n comparisons.
  auto rest = std::stable_partition(items_.begin(), items_.end(),
                                    [](const auto& item) { return item->MediaType == MEDIA_PARENT; });
  struct TKeyed {
    std::string key;
    std::unique_ptr<TKLDMediaItem> item;
  };
  std::vector<TKeyed> keyed;
  keyed.reserve(static_cast<size_t>(items_.end() - rest));
  for (auto it = rest; it != items_.end(); ++it)
    keyed.push_back({CaseInsensitiveSortKey((*it)->Caption), std::move(*it)});
  const bool descending = sortDescending_;
  std::stable_sort(keyed.begin(), keyed.end(), [descending](const TKeyed& a, const TKeyed& b) {
    return descending ? b.key < a.key : a.key < b.key;
  });
  for (auto& entry : keyed) *rest++ = std::move(entry.item);
}

void TKLDMediaList::SortByDate() {
  auto rest = std::stable_partition(items_.begin(), items_.end(),
                                    [](const auto& item) { return item->MediaType == MEDIA_PARENT; });
  const bool descending = sortDescending_;
  std::stable_sort(rest, items_.end(), [descending](const auto& a, const auto& b) {
    return descending ? b->Date < a->Date : a->Date < b->Date;
  });
}

void TKLDMediaList::Shuffle(TKLDRandom& random) {
  for (int i = Count() - 1; i >= 1; --i) {
    int j = random.Int(i + 1);
    if (j != i && items_[static_cast<size_t>(j)]->MediaType != MEDIA_PARENT)
      std::swap(items_[static_cast<size_t>(i)], items_[static_cast<size_t>(j)]);
  }
}

}  // namespace lorvane
