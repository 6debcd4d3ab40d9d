#include "theme/Sounds.h"

namespace lorvane {

TKLDSoundList::TKLDSoundList() {
  ListName = "Sounds";
  ItemClass = &CreateUIObject<TKLDSound>;
  ManagedObjects = &ManagedObjectsOf<TKLDSoundList>();
}

TKLDSound* TKLDSoundList::CreateSound(const std::string& inheritName, const std::string& name) {
  return static_cast<TKLDSound*>(CreateWithInherit(inheritName, name));
}

void TKLDSoundList::LoadSounds(const std::string& resourcesDir) {
  for (int i = 0; i < Count(); ++i)
    if (auto* sound = dynamic_cast<TKLDSound*>(Object(i))) sound->LoadSound(sound->FileName, resourcesDir);
}

}  // namespace lorvane
