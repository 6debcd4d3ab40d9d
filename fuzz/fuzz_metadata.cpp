// Metadata names, substitution and expansion. Each line is one operation: its first byte picks
// it, the rest up to a tab is a name or a text, after the tab a value.
#include "FuzzSupport.h"
#include "metadata/MetaData.h"

using namespace lorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TKLDMetaDataManager meta;
  // Language texts that refer back to metadata, as a theme's may.
  meta.SetTextLookup([&meta](const std::string& code) -> std::string {
    if (code.size() > 1 && code[0] == 'm') return meta.ExpandMetadata("^{" + code.substr(1) + "}");
    return "Unknown text code: " + code;
  });
  int operations = 0;
  for (const std::string& line : fuzz::Lines(fuzz::Text(data, size))) {
    if (line.empty() || ++operations > 256) continue;
    std::string rest = line.substr(1);
    size_t tab = rest.find('\t');
    std::string name = rest.substr(0, tab);
    std::string value = tab == std::string::npos ? std::string() : rest.substr(tab + 1);
    std::vector<std::string> listed;
    switch (line[0] % 8) {
      case 0: meta.SetValue(name, value); break;
      case 1: meta.GetValue(name); break;
      case 2: meta.ExpandMetadata(rest); break;
      case 3: meta.ExpandTextCodes(rest); break;
      case 4: meta.Root().AddValue(name, value); break;
      case 5: meta.ListValues(listed, name); break;
      case 6: meta.GetGroupValue(value, name); break;
      case 7: {
        TKLDMetaData list;
        list.AddLine(name, value);
        list.AddValue(value, name);
        meta.Merge(list);
        break;
      }
    }
  }
  if (meta.SubstitutionDepth() != 0) __builtin_trap();
  return 0;
}
