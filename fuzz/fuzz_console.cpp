// The diagnostic console: typed keys, then each line as one command of space-separated words.
#include "FuzzSupport.h"
#include "app/ConsoleManager.h"
#include "app/Preferences.h"
#include "base/Timing.h"
#include "metadata/MetaData.h"

using namespace lorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static uint32_t now = 0;
  static TKLDTimer timer{[] { return now += 17; }};
  TKLDMetaDataManager meta;
  TKLDPrefsManager prefs;
  TKLDConsoleManager::Context context;
  context.prefs = &prefs;
  context.meta = &meta;
  context.timer = &timer;
  context.restart = [] {};
  context.quit = [] {};
  context.bye = [] {};
  TKLDConsoleManager console(context);
  std::string text = fuzz::Text(data, size);
  // The first bytes are typed as key codes (Enter runs what was typed).
  for (size_t i = 0; i < text.size() && i < 64; ++i) console.ProcessKey(static_cast<uint8_t>(text[i]));
  for (const std::string& line : fuzz::Lines(text)) {
    std::vector<std::string> words;
    size_t start = 0;
    while (start < line.size() && words.size() < 16) {
      size_t space = line.find(' ', start);
      if (space == std::string::npos) space = line.size();
      if (space > start) words.push_back(line.substr(start, space - start));
      start = space + 1;
    }
    console.ExecuteCommand(words);
    if (words.size() == 1 && words[0] == "UP") console.ScrollBack();
  }
  console.OutputText();
  console.WatchText();
  return 0;
}
