#include "media/Playlist.h"

namespace lorvane {

void TKLDPlaylist::Clear() {
  TKLDMediaList::Clear();
  currentIndex_ = -1;
  ended_ = false;
}

bool TKLDPlaylist::First() {
  if (items_.empty()) {
    currentIndex_ = -1;
    return false;
  }
  currentIndex_ = 0;
  ended_ = false;
  return true;
}

bool TKLDPlaylist::Next() {
  if (ended_) return false;
  if (currentIndex_ + 1 < Count()) {
    ++currentIndex_;
    return true;
  }
  if (repeat_ && !items_.empty()) {
    currentIndex_ = 0;
    return true;
  }
  return false;
}

bool TKLDPlaylist::Previous() {
  if (ended_) return false;
  if (currentIndex_ - 1 >= 0) {
    --currentIndex_;
    return true;
  }
  if (repeat_ && !items_.empty()) {
    currentIndex_ = Count() - 1;
    return true;
  }
  return false;
}

void TKLDPlaylist::AppendPlayable(const TKLDMediaList& other) {
  // Counted first, so that appending a list to itself copies each item once.
  const int count = other.Count();
  for (int i = 0; i < count; ++i) {
    const TKLDMediaItem* item = other.Item(i);
    if (item->IsPlayable()) AddCopy(*item);
  }
}

}  // namespace lorvane
