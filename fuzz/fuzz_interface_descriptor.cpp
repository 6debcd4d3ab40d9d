// The interface descriptor over the default theme's styles: functions, macros, actions, places,
// layouts, controls, containers and screens, and writing them back.
#include "FuzzSupport.h"
#include "base/KLDTypes.h"
#include "theme/VisualDescriptor.h"
#include "ui/InterfaceDescriptor.h"

using namespace lorvane;

namespace {
TKLDVisualDescriptor* DefaultVisual() {
  static TKLDVisualDescriptor* visual = [] {
    auto* loaded = new TKLDVisualDescriptor();
    loaded->LoadFromFile(fuzz::DefaultThemeFolder() + "base-");
    return loaded;
  }();
  return visual;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TKLDInterfaceDescriptor descriptor;
  descriptor.SetVisualDescriptor(DefaultVisual());
  try {
    descriptor.LoadFromText(fuzz::Text(data, size));
    std::vector<std::string> lines;
    descriptor.SaveAsXML(lines);
  } catch (const TKLDException&) {
  }
  return 0;
}
