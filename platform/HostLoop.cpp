#include "platform/HostLoop.h"
#include "platform/SdlMemory.h"

#include <SDL.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>
#include <sys/wait.h>

#include "base/Logging.h"

namespace lorvane {

namespace {
bool g_headless = false;
// Read by the threads that wake the loop.
std::atomic<Uint32> g_wakeEvent {0};
// One wake event in SDL's queue is enough to wake the loop, which then takes everything waiting;
// one per message would let a flood fill the queue and push real keys out.
std::atomic<bool> g_wakeQueued {false};
}  // namespace

void THostLoop::ConfigureHeadless() {
  g_headless = true;
  setenv("SDL_VIDEODRIVER", "offscreen", 1);
  setenv("SDL_RENDER_DRIVER", "software", 1);
  setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
  setenv("SDL_AUDIODRIVER", "dummy", 1);
}

void THostLoop::ConfigureResident() { SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0"); }

bool THostLoop::Initialise() {
  if (SDL_WasInit(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == (SDL_INIT_VIDEO | SDL_INIT_EVENTS)) return true;
  AllowScreenSaverHint();
  UseLargeBlocksForSdl();
  if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    LogError(std::string("Failed to initialise SDL: ") + SDL_GetError());
    return false;
  }
  if (g_wakeEvent == 0) g_wakeEvent = SDL_RegisterEvents(1);
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0)) g_headless = true;
  return true;
}

void THostLoop::Finalise() {
  SDL_Quit();
  g_wakeQueued = false;  // the queue went with SDL
}

bool THostLoop::PumpEvents(const EventHandler& handler) {
  SDL_Event event;
  while (SDL_PollEvent(&event)) {
    if (event.type == SDL_QUIT) return false;
    if (event.type == g_wakeEvent) {
      g_wakeQueued = false;
      continue;
    }
    handler(event);
  }
  return true;
}

bool THostLoop::WaitEvent(const EventHandler& handler, uint32_t timeoutMs) {
  SDL_Event event;
  if (SDL_WaitEventTimeout(&event, static_cast<int>(timeoutMs))) {
    if (event.type == SDL_QUIT) return false;
    if (event.type == g_wakeEvent) g_wakeQueued = false;
    else handler(event);
  }
  return true;
}

void THostLoop::WaitForEvent(uint32_t timeoutMs) {
  // Without an event to fill in, SDL only looks: the event stays for PumpEvents.
  SDL_WaitEventTimeout(nullptr, static_cast<int>(timeoutMs));
}

void THostLoop::PostWake() {
  Uint32 type = g_wakeEvent.load();
  if (type == 0 || type == static_cast<Uint32>(-1)) return;
  if (g_wakeQueued.exchange(true)) return;
  SDL_Event event {};
  event.type = type;
  if (SDL_PushEvent(&event) != 1) g_wakeQueued = false;
}

void THostLoop::SleepMs(uint32_t ms) { SDL_Delay(ms); }

bool THostLoop::KeepAwake() {
  bool allowed = SystemScreenSaverAllowed();
  SDL_DisableScreenSaver();
  return allowed;
}

void THostLoop::AllowSleep() { SDL_EnableScreenSaver(); }

bool THostLoop::SystemScreenSaverAllowed() { return SDL_IsScreenSaverEnabled() == SDL_TRUE; }

void THostLoop::AllowScreenSaverHint() { SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1"); }

bool THostLoop::HasDisplay() {
  if (g_headless) return false;
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!driver) return std::getenv("DISPLAY") || std::getenv("WAYLAND_DISPLAY");
  return std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

bool ShowErrorDialog(const std::string& title, const std::string& text, bool offerIgnore) {
  std::fprintf(stderr, "%s\n", text.c_str());
  std::fflush(stderr);
  if (!THostLoop::HasDisplay()) return false;
  SDL_MessageBoxButtonData buttons[2];
  int count = 0;
  buttons[count++] = {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 0, "Abort"};
  if (offerIgnore) buttons[count++] = {0, 1, "Ignore"};
  SDL_MessageBoxData data {};
  data.flags = SDL_MESSAGEBOX_ERROR;
  data.title = title.c_str();
  data.message = text.c_str();
  data.numbuttons = count;
  data.buttons = buttons;
  int chosen = 0;
  if (SDL_ShowMessageBox(&data, &chosen) != 0) return false;
  return chosen == 1;
}

int ShowChoiceDialog(const std::string& title, const std::string& text, const std::vector<std::string>& buttons) {
  if (!THostLoop::HasDisplay() || buttons.empty()) return -1;
  std::vector<SDL_MessageBoxButtonData> data;
  for (size_t i = 0; i < buttons.size(); ++i) {
    Uint32 flags = i == 0 ? SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT : 0;
    data.push_back({flags, static_cast<int>(i), buttons[i].c_str()});
  }
  SDL_MessageBoxData box {};
  box.flags = SDL_MESSAGEBOX_INFORMATION;
  box.title = title.c_str();
  box.message = text.c_str();
  box.numbuttons = static_cast<int>(data.size());
  box.buttons = data.data();
  int chosen = -1;
  if (SDL_ShowMessageBox(&box, &chosen) != 0) return -1;
  return chosen;
}

void OpenWebAddress(const std::string& address) {
  // Two forks, so the browser's launcher is nobody's child to wait for and leaves no zombie.
  pid_t child = fork();
  if (child < 0) return;
  if (child == 0) {
    if (fork() == 0) {
      execlp("xdg-open", "xdg-open", address.c_str(), static_cast<char*>(nullptr));
    }
    _exit(0);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
}

}  // namespace lorvane
