// The language descriptor and text lookup in the languages it declares.
#include "FuzzSupport.h"
#include "base/KLDTypes.h"
#include "theme/LanguageDescriptor.h"

using namespace lorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TKLDLanguageDescriptor descriptor;
  try {
    descriptor.LoadFromText(fuzz::Text(data, size));
    TKLDLanguageManager& languages = descriptor.LanguageManager();
    for (const std::string& name : languages.LanguageNames()) {
      languages.SelectLanguage(name);
      languages.GetText("hello");
      languages.GetText("");
    }
  } catch (const TKLDException&) {
  }
  return 0;
}
