// "ThemeDescriptor.xml": the designed size every theme length is scaled from, dates and previews.
#include "FuzzSupport.h"
#include "base/KLDTypes.h"
#include "theme/ThemeDescriptor.h"

using namespace lorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WriteInput(TKLDThemeDescriptor::kFileName, fuzz::Text(data, size));
  TKLDThemeDescriptor theme;
  try {
    theme.LoadFromFile(fuzz::Folder());
  } catch (const TKLDException&) {
    return 0;
  }
  // Every length of the theme is divided by these: an accepted theme must never give zero.
  if (theme.DesignedWidth() <= 0 || theme.DesignedHeight() <= 0) __builtin_trap();
  for (int i = 0; i < theme.Previews().Count(); ++i) theme.Previews().Item(i);
  return 0;
}
