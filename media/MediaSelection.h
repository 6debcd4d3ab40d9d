#pragma once
// The list media grids show and browse into, with its current item: the selection. The media
// manager is to own it; until it does, the application manager holds it and hands it to the
// grids. Every media grid shares it, so it remembers which browse filled it: a grid that finds
// another grid's folder in it reads its own folder again instead of showing the wrong one.
#include <string>

#include "media/Playlist.h"

namespace lorvane {

class TKLDMediaSelection {
 public:
  TKLDPlaylist& List() { return list_; }
  const TKLDPlaylist& List() const { return list_; }

  // The item (of List) becomes current and "media.selection.name", ".url" and ".icon" are set
  // to its Caption, URL and ImagePath; none, or an item not in the list, empties them.
  void SetSelection(const TKLDMediaItem* item);
  TKLDMediaItem* Selection() const { return list_.Current(); }

  // Which browse filled the list (the media kind and the virtual path), set by whoever fills it.
  const std::string& LoadedKey() const { return loadedKey_; }
  void SetLoadedKey(const std::string& key) { loadedKey_ = key; }

 private:
  TKLDPlaylist list_;
  std::string loadedKey_;
};

}  // namespace lorvane
