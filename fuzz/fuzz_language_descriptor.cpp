// The language descriptor and text lookup in the languages it declares.
#include "FuzzSupport.h"
#include "base/KLDTypes.h"
#include "theme/LanguageDescriptor.h"

using namespace lorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::WriteInput(TKLDLanguageDescriptor::kFileName, fuzz::Text(data, size));
  TKLDLanguageDescriptor descriptor;
  try {
    descriptor.LoadFromFile(fuzz::Folder());
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
