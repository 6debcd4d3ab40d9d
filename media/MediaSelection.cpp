#include "media/MediaSelection.h"

#include "media/MediaInfo.h"
#include "metadata/MetaData.h"

namespace lorvane {

void TKLDMediaSelection::SetSelection(const TKLDMediaItem* item) {
  list_.SetCurrent(item);
  if (!list_.HasCurrent() && item)
    if (const TKLDMediaItem* same = list_.FindByURL(item->URL)) list_.SetCurrent(same);
  const TKLDMediaItem* current = list_.Current();
  TKLDMetaDataManager* meta = meta_ ? meta_ : GlobalMetaDataManager();
  if (!meta) return;
  meta->SetValue("media.selection.name", current ? current->Caption : std::string());
  meta->SetValue("media.selection.url", current ? current->URL : std::string());
  meta->SetValue("media.selection.icon", current ? current->ImagePath : std::string());
  std::shared_ptr<const TKLDMediaInfo> info = current ? current->Info : nullptr;
  if (current && reader_) {
    if (auto latest = reader_->Get(current->URL, current->MediaType)) info = latest;
  }
  PublishMediaInfo(*meta, "media.selection", info.get(), current ? current->Caption : std::string());
}

}  // namespace lorvane
