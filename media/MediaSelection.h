#pragma once
// The one selection list: what the media grids show and browse into, with its current item, the
// selection. The media manager owns it; the grids fill it, "media.selection.name", ".url" and
// ".icon" follow its current item, and the playlist functions ("replacepl", "appendpl") copy
// its playable items into a stream. Every media grid shares it, so it remembers which browse
// filled it: a grid that finds another grid's folder in it reads its own folder again instead
// of showing the wrong one.
#include <string>

#include "media/Playlist.h"

namespace lorvane {

class TKLDMediaInfoReader;
class TKLDMetaDataManager;

class TKLDMediaSelection {
 public:
  TKLDPlaylist& List() { return list_; }
  const TKLDPlaylist& List() const { return list_; }

  // Where the three values are published; without one, the process-wide metadata manager.
  void SetMetaData(TKLDMetaDataManager* meta) { meta_ = meta; }
  // Where what the files say about themselves comes from: the selection's ".title", ".artist",
  // ".album", ".year", ".track", ".genre", ".duration", ".art" and ".resume" are published with
  // the three values (empty until read), and asked for when not known yet.
  void SetInfoReader(TKLDMediaInfoReader* reader) { reader_ = reader; }
  // Publishes the values of the current item again (what is known of it may have grown).
  void Republish() { SetSelection(list_.Current()); }

  // The item becomes current and "media.selection.name", ".url" and ".icon" are set to its
  // Caption, URL and ImagePath. An item of another list (a copy) is found by its URL; none, or
  // an item not in the list, empties them.
  void SetSelection(const TKLDMediaItem* item);
  TKLDMediaItem* Selection() const { return list_.Current(); }

  // Which browse filled the list (the media kind and the virtual path), set by whoever fills it.
  const std::string& LoadedKey() const { return loadedKey_; }
  void SetLoadedKey(const std::string& key) { loadedKey_ = key; }

 private:
  TKLDPlaylist list_;
  std::string loadedKey_;
  TKLDMetaDataManager* meta_ = nullptr;
  TKLDMediaInfoReader* reader_ = nullptr;
};

}  // namespace lorvane
