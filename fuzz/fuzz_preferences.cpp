// "Preferences.xml": read, then written back and read again as a close and a start do.
#include "FuzzSupport.h"
#include "app/Preferences.h"
#include "base/KLDTypes.h"

using namespace lorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WriteInput(TKLDPrefsManager::kFileName, fuzz::Text(data, size));
  TKLDPrefsManager prefs;
  try {
    if (!prefs.LoadFromFolder(fuzz::Folder())) return 0;
  } catch (const TKLDException&) {
    return 0;
  }
  // What was accepted must be readable from its own save (an exception here is a finding).
  prefs.SavePreferences(fuzz::Folder());
  TKLDPrefsManager again;
  again.LoadFromFolder(fuzz::Folder());
  std::vector<std::string> lines;
  again.WriteToList(lines);
  return 0;
}
