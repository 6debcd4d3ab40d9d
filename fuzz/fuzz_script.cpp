// The command language of "--script": parsing and running every command, frame by frame.
#include <sstream>

#include "FuzzSupport.h"
#include "app/ScriptRunner.h"

using namespace lorvane;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TScriptRunner runner;
  uint32_t clock = 0xFFFFF000u;  // wraps while the script runs
  TScriptRunner::Hooks hooks;
  hooks.key = [](int) {};
  hooks.remote = [](int) {};
  hooks.meta = [](const std::string& name) { return name; };
  hooks.state = [] { return std::string("screen=a focus=b"); };
  hooks.clock = [&clock] { return clock; };
  hooks.remoteClock = [&clock] { return clock / 2; };
  runner.SetHooks(hooks);
  std::ostringstream out;
  runner.SetOutput(&out);
  runner.LoadText(fuzz::Text(data, size));
  // A long wait is passed over in big steps; the frame count bounds the run either way.
  for (int frame = 0; frame < 20000 && !runner.Finished() && !runner.QuitRequested(); ++frame) {
    if (!runner.RunFrame()) break;
    if (!runner.PendingScreenshot().empty()) runner.ScreenshotTaken();
    clock += frame % 2 ? 7 : 0x01000000u;
  }
  return 0;
}
