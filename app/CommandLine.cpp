#include "app/CommandLine.h"

#include <cstdio>
#include <exception>
#include <iostream>

#include "app/ApplicationManager.h"
#include "app/LorvaneTray.h"
#include "app/Messaging.h"
#include "app/SingleInstance.h"
#include "app/ScriptRunner.h"
#include "base/Timing.h"
#include "metadata/MetaData.h"
#include "platform/HostLoop.h"
#include "render/Screen.h"
#include "theme/UIObjects.h"
#include "ui/LayoutCheck.h"
#include "ui/Screens.h"
#include "ui/UIManager.h"

namespace lorvane {

namespace {
bool ContainsDebug(const std::string& text) {
  std::string upper = text;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper.find("DEBUG") != std::string::npos;
}

bool ParseCount(const std::string& text, uint64_t& value) {
  if (text.empty() || text.size() > 18) return false;
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return true;
}

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

bool TCommandLine::Parse(const std::vector<std::string>& parameters, std::string& problem) {
  for (size_t i = 0; i < parameters.size(); ++i) {
    const std::string& p = parameters[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= parameters.size()) {
        problem = p + " needs a value";
        return false;
      }
      out = parameters[++i];
      return true;
    };
    if (p == "--help" || p == "-h") {
      help = true;
    } else if (p == "--base") {
      if (!value(baseFolder)) return false;
    } else if (p == "--headless") {
      headless = true;
    } else if (p == "--no-vsync") {
      noVSync = true;
    } else if (p == "--frames") {
      std::string count;
      if (!value(count)) return false;
      if (!ParseCount(count, frames) || frames == 0) {
        problem = "--frames needs a positive whole number, not \"" + count + "\"";
        return false;
      }
    } else if (p == "--screenshot") {
      if (!value(screenshot)) return false;
    } else if (p == "--script") {
      if (!value(script)) return false;
    } else if (p == "--send") {
      if (!value(send)) return false;
      if (send == "key") {
        std::string code;
        if (!value(code)) return false;
        if (!ParseCount(code, sendKey)) {
          problem = "--send key needs a whole number, not \"" + code + "\"";
          return false;
        }
      } else if (send != "launch" && send != "exit" && send != "close") {
        problem = "--send takes launch, exit, close or key N, not \"" + send + "\"";
        return false;
      }
    } else if (ContainsDebug(p)) {
      // Debug mode is decided from the first parameter only; the word is harmless elsewhere.
    } else {
      problem = "unknown option \"" + p + "\"";
      return false;
    }
  }
  return true;
}

std::string TCommandLine::HelpText() {
  return "usage: lorvane [DEBUG] [options]\n"
         "  DEBUG            a first parameter containing DEBUG (any case) turns debug mode on\n"
         "  --base DIR       use DIR as the base folder (conf/, themes/, logs/) instead of the executable's parent\n"
         "  --headless       no visible window and no sound device\n"
         "  --frames N       close the interface after N rendered frames and exit\n"
         "  --screenshot F   write the last presented frame to the PNG file F on exit\n"
         "  --script F       run the commands of the file F, one per frame\n"
         "  --no-vsync       do not pace frames to the display (benchmarks)\n"
         "  --send MESSAGE   send launch, close, exit or key N to the running lorvane and end\n"
         "  --help           show this text\n";
}

THostConnection::THostConnection(TKLDScreen& screen, TKLDApplicationManager& manager)
    : screen_(screen), scaler_(std::make_unique<TScreenScaler>(screen)) {
  SetDisplayScaler(scaler_.get());
  TKLDScreenHooks& hooks = screen.Hooks();
  hooks.CloseRequested = [&manager] { manager.CloseInterface(); };
  hooks.KeyDown = [&manager](int key) { return manager.ProcessKey(key); };
  hooks.Suspend = [&manager] { manager.Suspend(); };
  hooks.Resume = [&manager] { manager.Resume(); };
  hooks.Activate = [&manager] { manager.Activate(); };
  hooks.Deactivate = [&manager] { manager.Deactivate(); };

  // Without a display there is no mode to change to: a headless run draws in a window of the
  // configured size whatever the preferences say about full screen.
  screen.SetWindowedOnly(!THostLoop::HasDisplay());
  // A frame that shows nothing new rests on the event queue, so a key cuts the rest short.
  if (TKLDDirectXHelper* dx = screen.Helper()) dx->SetIdleWait([](uint32_t ms) { THostLoop::WaitForEvent(ms); });
  services_.handleEvent = [&screen](const SDL_Event& event) { screen.HandleEvent(event); };
  services_.saveScreenshot = [&screen](const std::string& path) { return screen.SaveScreenshot(path); };
  services_.metaValue = [](const std::string& name) {
    TKLDMetaDataManager* meta = GlobalMetaDataManager();
    return meta ? meta->GetValue(name) : std::string();
  };
  services_.stateLine = [&manager] {
    TKLDUIManager* ui = manager.UIManager();
    TKLDScreenLayout* current = ui ? ui->CurrentScreen() : nullptr;
    std::string focus = current && current->FocusedControl ? current->FocusedControl->Name : std::string();
    // The screen's own name: a "jump" or "overlay" may spell it in another case, and a name
    // whose screen is gone names no current screen.
    return "screen=" + (current ? current->Name : std::string()) + " focus=" + focus;
  };
  services_.overlapLines = [&manager] {
    TKLDUIManager* ui = manager.UIManager();
    // The screen saver hides the screens: nothing of them shows.
    if (!ui || ui->ScreenSaver().IsActive()) return std::vector<std::string>();
    TKLDScreenLayout* current = ui->CurrentScreen();
    return current ? DescribeOverlaps(FindTextOverlaps(*current)) : std::vector<std::string>();
  };
}

THostConnection::~THostConnection() {
  // The manager may go before the screen: its events must not reach it any more.
  screen_.Hooks() = TKLDScreenHooks{};
  if (TKLDDirectXHelper* dx = screen_.Helper()) dx->SetIdleWait(nullptr);
  SetDisplayScaler(nullptr);
}

int RunHost(TKLDApplicationManager& manager, const TCommandLine& options, const THostServices& services,
            TKLDMainForm* host) {
  auto handler = [&](const SDL_Event& event) {
    // Game controllers are remote controls: their events go to the host, not the window.
    if (host && host->HandleEvent(event)) return;
    if (services.handleEvent) services.handleEvent(event);
  };
  auto guarded = [&manager](auto&& step) {
    try {
      step();
    } catch (const std::exception& e) {
      manager.HandleUnhandledError(e.what());
    }
  };

  TScriptRunner script;
  const bool scripted = !options.script.empty();
  if (scripted) {
    std::string problem;
    if (!script.Load(options.script, problem)) {
      std::fprintf(stderr, "lorvane: %s\n", problem.c_str());
      return 2;
    }
    TScriptRunner::Hooks hooks;
    hooks.key = [&manager](int code) { manager.ProcessKey(code); };
    hooks.remote = [&manager](int code) { manager.ProcessRemoteKey(code); };
    hooks.meta = services.metaValue;
    hooks.state = services.stateLine;
    hooks.overlaps = services.overlapLines;
    hooks.clock = [] { return SystemMilliseconds(); };
    hooks.remoteClock = [] { return Timer() ? Timer()->Now() : SystemMilliseconds(); };
    script.SetHooks(hooks);
    script.SetOutput(&std::cout);
  }
  uint64_t framesAtRequest = 0;
  std::string requested;
  // The script's hook runs after the one already set (a test's), which is given back at the end:
  // the script's hook refers to this call's locals.
  struct THookRestore {
    TKLDApplicationManager& manager;
    std::function<void()> previous;
    ~THookRestore() { manager.SetFrameHook(previous); }
  } restore{manager, manager.FrameHook()};
  if (scripted) {
    // The frame whose update follows a "screenshot" command is the one written.
    manager.SetFrameHook([&, previous = restore.previous] {
      if (previous) previous();
      // Controls take their places when first drawn, so commands wait for the first frame.
      if (manager.RenderedFrames() == 0) return;
      script.RunFrame();
      if (!script.PendingScreenshot().empty() && requested != script.PendingScreenshot()) {
        requested = script.PendingScreenshot();
        framesAtRequest = manager.RenderedFrames();
      }
    });
  }

  if (host) guarded([&] { host->Perform(TKLDMenuItem::Launch); });
  else guarded([&] { manager.Launch(); });
  if (manager.State() != STATE_RUNNING) {
    std::string why = manager.LastFailure().empty() ? std::string("the interface is ") +
                                                          ApplicationStateName(manager.State())
                                                    : manager.LastFailure();
    std::fprintf(stderr, "lorvane: the interface did not start: %s\n", why.c_str());
    // Without a host to relaunch from, an interface that cannot start ends the run.
    if (!host) return 1;
  }

  int status = 0;
  // A screenshot that was asked for and not written fails the run, or a script comparing
  // pictures would be told that all went well.
  auto takeScreenshot = [&](const std::string& path) {
    if (services.saveScreenshot && services.saveScreenshot(path)) return;
    std::fprintf(stderr, "lorvane: could not write the screenshot %s\n", path.c_str());
    status = 1;
  };

  while (true) {
    if (!THostLoop::PumpEvents(handler)) {
      if (host) host->Perform(TKLDMenuItem::Exit);
      guarded([&] { manager.CloseInterface(); });
      break;
    }
    if (host) {
      // Messages are handled between frames, as the window messages were before the idle pass.
      host->ProcessMessages();
      if (host->Terminated()) {
        // Ending the host closes the interface first, so the preferences are written.
        guarded([&] { manager.CloseInterface(); });
        break;
      }
    }
    bool again = false;
    guarded([&] { again = manager.UpdateFrame(); });
    if (scripted) {
      if (!requested.empty() && manager.RenderedFrames() > framesAtRequest) {
        takeScreenshot(requested);
        requested.clear();
        script.ScreenshotTaken();
      }
      if (script.Failed()) {
        std::fprintf(stderr, "lorvane: script %s, %s\n", options.script.c_str(), script.Error().c_str());
        status = 1;
        guarded([&] { manager.CloseInterface(); });
        break;
      }
      // Without a window to close, a headless script that has run out ends the run.
      if (script.QuitRequested() || (options.headless && script.Finished())) {
        if (!requested.empty()) takeScreenshot(requested);
        guarded([&] { manager.CloseInterface(); });
        break;
      }
    }
    if (options.frames && manager.RenderedFrames() >= options.frames) {
      guarded([&] { manager.CloseInterface(); });
      break;
    }
    // The host outlives its interface; a bounded run ends with it.
    if (!host && manager.State() == STATE_STOPPED) break;
    if (!again) THostLoop::WaitEvent(handler, 200);
  }
  if (!options.screenshot.empty()) takeScreenshot(options.screenshot);
  return status;
}

int SendToHost(const TCommandLine& options, const std::string& title) {
  TKLDMessage message;
  if (options.send == "launch") message.code = MSG_CLIENT_LAUNCH;
  else if (options.send == "exit") message.code = MSG_CLIENT_SHUTDOWN;
  else if (options.send == "close") message.code = MSG_CLIENT_CLOSE;
  else if (options.send == "key") message = {MSG_REMOTE_CONTROL, options.sendKey};
  else {
    std::fprintf(stderr, "lorvane: nothing to send\n");
    return 2;
  }
  TKLDSingleInstance instance(title);
  std::string lockPath, socketPath, problem;
  if (!instance.Paths(lockPath, socketPath, problem)) {
    std::fprintf(stderr, "lorvane: %s\n", problem.c_str());
    return 1;
  }
  std::string answer;
  switch (TKLDMessenger::Send(socketPath, message, answer)) {
    case TControlSendResult::Delivered:
      return 0;
    case TControlSendResult::NoListener:
      std::fprintf(stderr, "lorvane: no lorvane instance is running (%s)\n", answer.c_str());
      return 1;
    case TControlSendResult::NoAnswer:
      std::fprintf(stderr, "lorvane: the running lorvane instance did not answer\n");
      return 1;
    case TControlSendResult::Refused:
      std::fprintf(stderr, "lorvane: the running lorvane instance refused the message: %s\n", answer.c_str());
      return 1;
  }
  return 1;
}

}  // namespace lorvane
