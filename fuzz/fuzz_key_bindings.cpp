// "KeyBindings.xml": key profiles and the lookups a key press makes.
#include "FuzzSupport.h"
#include "base/KLDTypes.h"
#include "ui/KeyBindings.h"

using namespace lorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TKLDKeyProfileList profiles;
  TKLDKeyBindingParser parser;
  try {
    std::string native = parser.ParseText(fuzz::Text(data, size), profiles);
    profiles.Find(native);
    for (size_t i = 0; i < profiles.Count(); ++i)
      for (int code : {-1, 0, 13, 38, 255, 256, 65535}) profiles.At(i)->ActionFor(code);
  } catch (const TKLDException&) {
  }
  return 0;
}
