// The audio descriptor: sound effect names and their files, then written back.
#include "FuzzSupport.h"
#include "base/KLDTypes.h"
#include "theme/AudioDescriptor.h"

using namespace lorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TKLDAudioDescriptor audio;
  try {
    audio.LoadFromText(fuzz::Text(data, size), "AudioDescriptor.xml");
    std::vector<std::string> lines;
    audio.SaveToList(lines);
  } catch (const TKLDException&) {
  }
  return 0;
}
