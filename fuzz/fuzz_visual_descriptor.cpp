// The visual descriptor: every object kind, inheritance between them, and writing back.
#include "FuzzSupport.h"
#include "base/KLDTypes.h"
#include "theme/VisualDescriptor.h"

using namespace lorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TKLDVisualDescriptor visual;
  try {
    visual.LoadFromText(fuzz::Text(data, size));
    std::vector<std::string> lines;
    visual.SaveAsXML(lines);
  } catch (const TKLDException&) {
  }
  return 0;
}
