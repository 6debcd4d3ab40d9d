// lorvane: the host process. It creates the process-wide objects, makes sure it is the user's only
// host, launches the interface and runs the event loop whose idle passes drive frames. Runs bounded
// by --frames or --script skip the host's part and end with their interface.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/ApplicationManager.h"
#include "app/CommandLine.h"
#include "app/LorvaneTray.h"
#include "app/Messaging.h"
#include "app/SingleInstance.h"
#include "base/Logging.h"
#include "base/Reaper.h"
#include "base/Timing.h"
#include "base/WorkerQueue.h"
#include "platform/HeapMemory.h"
#include "platform/HostLoop.h"
#include "platform/LircClient.h"
#include "platform/LocalTime.h"
#include "platform/SoundOutput.h"
#include "platform/TextCollation.h"
#include "render/Screen.h"

using namespace lorvane;

int main(int argc, char** argv) {
  LimitHeapRetention();  // before any thread, so that none gets an arena beyond the bound
  UseUserCollation();
  UseUserTimeFormat();
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
  const std::string title = TKLDSingleInstance::TitleOfExecutable(ExecutablePath());
  if (!options.send.empty()) return SendToHost(options, title);
  if (options.headless) THostLoop::ConfigureHeadless();

  // The single instance comes first: a second start must end before anything else runs.
  const bool resident = options.Resident();
  TKLDSingleInstance instance(title);
  TKLDMessenger messenger;
  if (resident) {
    switch (instance.Claim(problem)) {
      case TKLDSingleInstance::Outcome::First:
        break;
      case TKLDSingleInstance::Outcome::Forwarded:
        return 0;
      case TKLDSingleInstance::Outcome::Silent:
        ShowErrorDialog("lorvane", TKLDSingleInstance::kWarning, false);
        return 1;
      case TKLDSingleInstance::Outcome::Failed:
        std::fprintf(stderr, "lorvane: cannot make sure only one lorvane runs: %s\n", problem.c_str());
        return 1;
    }
    messenger.SetWake([] { THostLoop::PostWake(); });
    if (!messenger.Listen(instance.SocketPath(), problem)) {
      std::fprintf(stderr, "lorvane: %s\n", problem.c_str());
      return 1;
    }
    THostLoop::ConfigureResident();
  }

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
    if (resident) {
      if (!instance.FolderNote().empty()) LogInfo(instance.FolderNote() + "; using " + instance.SocketPath());
      TKLDMainForm form(manager, messenger);
      form.ShowTrayIcon(manager.BaseFolder() + "share/icons");
      form.StartRemoteInputs(TLircClient::SocketPath());
      form.StartMediaControls();
      status = RunHost(manager, options, connection.Services(), &form);
      // Nothing more is taken in while the managers go.
      messenger.StopListening();
    } else {
      status = RunHost(manager, options, connection.Services());
    }
  }
  const bool drained = DrainDisposals(3000);
  ShutdownSoundOutput();
  THostLoop::Finalise();
  SetGlobalTimer(nullptr);
  // A read from a mount that stopped answering may still hold a worker, or a closing player may
  // still hang: everything is saved by now, and destroying the statics under them could crash
  // the very end of a clean run.
  if (WorkersLeftBehind() > 0 || !drained) {
    std::fflush(nullptr);
    std::_Exit(status);
  }
  return status;
}
