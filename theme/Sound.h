#pragma once
// One sound effect of a theme: a wave file from the theme's resources folder, read whole into
// memory once the theme has loaded, so that playing it never touches the disk.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/SoundOutput.h"
#include "theme/UIObjects.h"

namespace lorvane {

// The complete bytes of a wave file, and the sound the output made of them.
class TKLDWAVSound {
 public:
  // Reads the whole file; false (and no data) when it cannot be opened or read.
  bool LoadFromFile(const std::string& path);
  // Has the output decode the data, once; false when it cannot play it.
  bool Prepare();
  // Starts the prepared sound when the throttle allows a start.
  void Play();

  std::vector<uint8_t> Data;
  std::unique_ptr<TKLDPreparedSound> Prepared;
};

class TKLDSound : public TKLDUIObject {
 public:
  explicit TKLDSound(const std::string& name);

  void InheritFrom(TKLDUIObject& source) override;
  void SaveAsXML(std::vector<std::string>& lines) override;

  // Reads resourcesDir + fileName into Wave, once. A file that is missing, unreadable or not a
  // sound is reported at WARN with its path; the sound then plays nothing.
  void LoadSound(const std::string& fileName, const std::string& resourcesDir);
  // Plays when sound effects are on and the sound has been loaded.
  void Play();

  std::unique_ptr<TKLDWAVSound> Wave;
  std::string FileName;
  bool Loaded = false;
};

// Whether the user wants sound effects (preference "SoundEffects"). The application installs
// the question; without one, effects are on, as the preference is by default.
void SetSoundEffectsSource(std::function<bool()> source);
bool SoundEffectsEnabled();

// The one throttle of the program: at most one new sound in any 100 ms of the frame clock.
// AllowSoundStart records a start when it allows one. Reset is for tests; a run never resets.
bool AllowSoundStart();
bool SoundStarted();
uint32_t LastSoundStart();
void ResetSoundThrottle();

}  // namespace lorvane
