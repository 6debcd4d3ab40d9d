// lorvane: the host process. It stands in for the tray host: it creates the process-wide
// objects, launches the interface at once and runs the event loop whose idle passes drive frames.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/ApplicationManager.h"
#include "app/CommandLine.h"
#include "base/Timing.h"
#include "platform/HostLoop.h"
#include "platform/SoundOutput.h"
#include "platform/TextCollation.h"
#include "render/Screen.h"

using namespace lorvane;

int main(int argc, char** argv) {
  UseUserCollation();
  std::vector<std::string> parameters(argv + 1, argv + argc);
  TCommandLine options;
  std::string problem;
  if (!options.Parse(parameters, problem)) {
    std::fprintf(stderr, "lorvane: %s\n%s", problem.c_str(), TCommandLine::HelpText().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(TCommandLine::HelpText().c_str(), stdout);
    return 0;
  }
  if (options.headless) THostLoop::ConfigureHeadless();

  auto timer = std::make_unique<TKLDTimer>();
  SetGlobalTimer(timer.get());
  timer->SetKeepAwake([] { THostLoop::KeepAwake(); });
  if (!THostLoop::Initialise()) {
    std::fprintf(stderr, "lorvane: the windowing system could not be initialised\n");
    return 1;
  }

  int status;
  {
    TKLDDisplayModule display;
    TKLDScreen& screen = display.Screen();
    if (options.noVSync) screen.SetVSync(false);
    if (!options.screenshot.empty() || !options.script.empty()) screen.SetFrameCapture(true);

    std::string base = options.baseFolder.empty() ? BaseFolderOfExecutable() : options.baseFolder;
    TKLDApplicationManager manager(parameters, base);
    THostConnection connection(screen, manager);
    status = RunHost(manager, options, connection.Services());
  }
  ShutdownSoundOutput();
  THostLoop::Finalise();
  SetGlobalTimer(nullptr);
  return status;
}
