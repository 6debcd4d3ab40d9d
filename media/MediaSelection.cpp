#include "media/MediaSelection.h"

#include "metadata/MetaData.h"

namespace lorvane {

void TKLDMediaSelection::SetSelection(const TKLDMediaItem* item) {
  list_.SetCurrent(item);
  const TKLDMediaItem* current = list_.Current();
  TKLDMetaDataManager* meta = GlobalMetaDataManager();
  if (!meta) return;
  meta->SetValue("media.selection.name", current ? current->Caption : std::string());
  meta->SetValue("media.selection.url", current ? current->URL : std::string());
  meta->SetValue("media.selection.icon", current ? current->ImagePath : std::string());
}

}  // namespace lorvane
