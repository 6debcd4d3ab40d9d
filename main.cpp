// lorvane: the host process. It stands in for the tray host: it creates the process-wide
// objects, launches the interface at once and runs the event loop whose idle passes drive frames.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/ApplicationManager.h"
#include "app/CommandLine.h"
#include "app/Timing.h"
#include "metadata/MetaData.h"
#include "platform/HostLoop.h"
#include "render/Screen.h"
#include "render/Viewport.h"
#include "theme/UIObjects.h"
#include "ui/Screens.h"
#include "ui/UIManager.h"

using namespace lorvane;

namespace {
// Theme lengths are designed for the theme's own size and converted with the screen's rule.
class TScreenScaler final : public TKLDDisplayScaler {
 public:
  explicit TScreenScaler(const TKLDScreen& screen) : screen_(screen) {}
  int ScaleX(int x) const override { return screen_.ScaleX(x); }
  int ScaleY(int y) const override { return screen_.ScaleY(y); }

 private:
  const TKLDScreen& screen_;
};
}  // namespace

int main(int argc, char** argv) {
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
    TScreenScaler scaler(screen);
    SetDisplayScaler(&scaler);
    FollowScreenSize(screen);
    if (options.noVSync) screen.SetVSync(false);
    if (!options.screenshot.empty() || !options.script.empty()) screen.SetFrameCapture(true);

    std::string base = options.baseFolder.empty() ? BaseFolderOfExecutable() : options.baseFolder;
    TKLDApplicationManager manager(parameters, base);
    TKLDScreenHooks& hooks = screen.Hooks();
    hooks.CloseRequested = [&manager] { manager.CloseInterface(); };
    hooks.KeyDown = [&manager](int key) { return manager.ProcessKey(key); };
    hooks.Suspend = [&manager] { manager.Suspend(); };
    hooks.Resume = [&manager] { manager.Resume(); };
    hooks.Activate = [&manager] { manager.Activate(); };
    hooks.Deactivate = [&manager] { manager.Deactivate(); };

    THostServices services;
    services.handleEvent = [&screen](const SDL_Event& event) { screen.HandleEvent(event); };
    services.saveScreenshot = [&screen](const std::string& path) { return screen.SaveScreenshot(path); };
    services.metaValue = [](const std::string& name) {
      TKLDMetaDataManager* meta = GlobalMetaDataManager();
      return meta ? meta->GetValue(name) : std::string();
    };
    services.stateLine = [&manager] {
      TKLDUIManager* ui = manager.UIManager();
      TKLDScreenLayout* current = ui ? ui->CurrentScreen() : nullptr;
      std::string focus = current && current->FocusedControl ? current->FocusedControl->Name : std::string();
      return "screen=" + (ui ? ui->CurrentScreenName() : std::string()) + " focus=" + focus;
    };
    status = RunHost(manager, options, services);
    SetDisplayScaler(nullptr);
  }
  THostLoop::Finalise();
  SetGlobalTimer(nullptr);
  return status;
}
