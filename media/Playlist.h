#pragma once
// A media list with a current position: the contents of a folder shown in a media grid, or what
// a media stream plays.
#include "media/MediaFolders.h"

namespace lorvane {

class TKLDPlaylist : public TKLDMediaList {
 public:
  // -1 when there is no current item.
  int CurrentIndex() const { return currentIndex_; }
  void SetCurrentIndex(int index) { currentIndex_ = index; }
  // Next and Previous wrap around at the ends when set.
  bool Repeat() const { return repeat_; }
  void SetRepeat(bool value) { repeat_ = value; }
  // Set by MarkEnded; Next and Previous then refuse to move until First or Clear.
  bool Ended() const { return ended_; }

  // Also forgets the current item and the end mark.
  void Clear() override;

  bool HasCurrent() const { return currentIndex_ != -1; }
  bool IsEmpty() const { return items_.empty(); }
  bool HasNext() const { return currentIndex_ != -1 && currentIndex_ < Count() - 1; }
  bool HasPrevious() const { return currentIndex_ > 0; }
  TKLDMediaItem* Current() const { return Item(currentIndex_); }
  // The item's position becomes current; -1 when it is not in this list.
  void SetCurrent(const TKLDMediaItem* item) { currentIndex_ = IndexOf(item); }

  // The first item, clearing the end mark; false (no current item) when the list is empty.
  bool First();
  // One step on or back; true when the position moved.
  bool Next();
  bool Previous();
  void MarkEnded() { ended_ = true; }
  // Appends a copy of every playable item of the other list, in order.
  void AppendPlayable(const TKLDMediaList& other);

 private:
  int currentIndex_ = -1;
  bool repeat_ = false;
  bool ended_ = false;
};

}  // namespace lorvane
