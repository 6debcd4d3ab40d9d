#pragma once
// The named list of a theme's sound effects ("Sounds" of "AudioDescriptor.xml").
#include <string>

#include "theme/Sound.h"

namespace lorvane {

class TKLDSoundList : public TKLDUIObjectList {
 public:
  TKLDSoundList();
  TKLDSound* CreateSound(const std::string& inheritName, const std::string& name);
  TKLDSound* FindSound(const std::string& name) const { return FindAs<TKLDSound>(name); }
  // Reads every own sound's file from the theme's resources folder (ending in "/").
  void LoadSounds(const std::string& resourcesDir);
};

}  // namespace lorvane
