#include "app/ApplicationManager.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "app/KLDTypes.h"
#include "app/Timing.h"
#include "platform/HostLoop.h"

namespace lorvane {

namespace {
TKLDApplicationManager* g_applicationManager = nullptr;

const char* const kMeasureUpdates = "User interface updates";
const char* const kErrorText =
    "A fatal error has occurred and lorvane needs to close. Please contact Tarnwick support and report the "
    "following error message:";

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

// Resets the flag on every way out, errors included.
class TGuard {
 public:
  explicit TGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~TGuard() { flag_ = false; }

 private:
  bool& flag_;
};
}  // namespace

const char* ApplicationStateName(uint8_t state) {
  switch (state) {
    case STATE_STOPPED: return "stopped";
    case STATE_INITIALISED: return "initialised";
    case STATE_RUNNING: return "running";
    case STATE_UPDATING: return "updating";
    case STATE_SUSPENDED: return "suspended";
    case STATE_CLOSING: return "closing";
    case STATE_RESTARTING: return "restarting";
    case STATE_ABORTING: return "aborting";
    default: return "unknown";
  }
}

bool IsDebugCommandLine(const std::vector<std::string>& parameters) {
  return !parameters.empty() && Upper(parameters.front()).find("DEBUG") != std::string::npos;
}

std::string BaseFolderOfExecutable() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "./";
  std::string exe(path, static_cast<size_t>(n));
  std::string folder = exe.substr(0, exe.rfind('/'));
  size_t up = folder.rfind('/');
  if (up == std::string::npos) return "./";
  return folder.substr(0, up + 1);
}

TKLDApplicationManager* ApplicationManager() { return g_applicationManager; }

TKLDApplicationManager::TKLDApplicationManager(const std::vector<std::string>& parameters,
                                               const std::string& baseFolder) {
  state_ = STATE_STOPPED;
  debugMode_ = IsDebugCommandLine(parameters);
  logger_ = std::make_unique<TKLDLogger>();
  SetGlobalLogger(logger_.get());
  prefs_ = std::make_unique<TKLDPrefsManager>();
  prefs_->SetDebugMode(debugMode_);
  baseFolder_ = baseFolder;
  if (!baseFolder_.empty() && baseFolder_.back() != '/') baseFolder_ += '/';
  configurationFolder_ = baseFolder_ + "conf/";
  themesFolder_ = baseFolder_ + "themes/";
  logFolder_ = baseFolder_ + "logs/";
  prefs_->SetThemesURL(themesFolder_);
  logger_->SetLogFolder(logFolder_);
  logger_->OpenLog();
  g_applicationManager = this;
  errorDialog_ = [](const std::string& text, bool offerIgnore) {
    return ShowErrorDialog("lorvane", text, offerIgnore);
  };
  terminate_ = [] {
    if (GlobalLogger()) GlobalLogger()->Flush();
    std::_Exit(EXIT_FAILURE);
  };
  idleSleep_ = [](uint32_t ms) { THostLoop::SleepMs(ms); };
}

TKLDApplicationManager::~TKLDApplicationManager() {
  FreeManagers();
  prefs_.reset();
  if (g_applicationManager == this) g_applicationManager = nullptr;
  SetGlobalLogger(nullptr);
  logger_.reset();
}

void TKLDApplicationManager::CreateManagers() {
  // Order: theme, action, UI, metadata, settings, UPnP, media, animation.
}

void TKLDApplicationManager::FreeManagers() {
  // Order: theme, action, UI, metadata, settings, UPnP, media, animation.
}

void TKLDApplicationManager::Launch() {
  switch (state_) {
    case STATE_STOPPED:
      if (Initialise()) StartInterface();
      break;
    case STATE_RUNNING:
    case STATE_UPDATING:
    case STATE_SUSPENDED:
      BringScreenToFront();
      break;
    default:
      break;
  }
}

bool TKLDApplicationManager::Initialise() {
  if (state_ != STATE_STOPPED) return false;
  CreateManagers();
  if (!ReadConfiguration()) return false;
  state_ = STATE_INITIALISED;
  return true;
}

bool TKLDApplicationManager::ReadConfiguration() {
  try {
    if (!configurationLoaded_) {
      prefs_->ReadPreferences(configurationFolder_);
      videoExtensions_ = TKLDPrefsManager::ExtensionItems(prefs_->VideoExtensions());
      audioExtensions_ = TKLDPrefsManager::ExtensionItems(prefs_->AudioExtensions());
      playlistExtensions_ = TKLDPrefsManager::ExtensionItems(prefs_->PlaylistExtensions());
    }
    ApplyPreferences();
  } catch (const std::exception& e) {
    configurationLoaded_ = true;
    throw TKLDException(std::string("Failed to read application configuration:\r\n") + e.what());
  }
  configurationLoaded_ = true;
  return true;
}

void TKLDApplicationManager::ApplyPreferences() {
  themeName_ = prefs_->ThemeName();
  if (TKLDTimer* timer = Timer()) {
    timer->SetDateFormat(prefs_->DateFormat());
    timer->SetTimeFormat(prefs_->TimeFormat());
  }
}

void TKLDApplicationManager::StartInterface() {
  if (state_ != STATE_INITIALISED) return;
  lastFailure_.clear();
  state_ = STATE_RUNNING;
  renderingEnabled_ = true;
}

void TKLDApplicationManager::RenderFrame() {
  if (Timer()) Timer()->FrameTick();
  ++renderedFrames_;
}

bool TKLDApplicationManager::UpdateFrame() {
  if (state_ != STATE_RUNNING && state_ != STATE_SUSPENDED) return false;
  pendingState_ = state_;
  state_ = STATE_UPDATING;
  try {
    if (Timer()) Timer()->StartMeasure(kMeasureUpdates);
    if (frameHook_) frameHook_();
    if (Timer()) Timer()->StopMeasure(kMeasureUpdates);
    if (renderingEnabled_ && pendingState_ == STATE_RUNNING) {
      RenderFrame();
    } else {
      idleSleep_(200);
    }
  } catch (...) {
    state_ = pendingState_;
    throw;
  }
  state_ = pendingState_;
  if (pendingState_ == STATE_CLOSING || pendingState_ == STATE_RESTARTING) {
    uint8_t request = pendingState_;
    state_ = STATE_INITIALISED;
    pendingState_ = STATE_INITIALISED;
    if (request == STATE_CLOSING) CloseInterface();
    else RestartInterface();
  }
  return true;
}

void TKLDApplicationManager::CloseInterface() {
  if (state_ == STATE_UPDATING) {
    pendingState_ = STATE_CLOSING;
    return;
  }
  if (state_ != STATE_INITIALISED && state_ != STATE_RUNNING && state_ != STATE_SUSPENDED) return;
  state_ = STATE_CLOSING;
  try {
    prefs_->SavePreferences(configurationFolder_);
    FreeManagers();
  } catch (...) {
    state_ = STATE_STOPPED;
    configurationLoaded_ = false;
    lastRemoteKeyTime_ = 0;
    throw;
  }
  state_ = STATE_STOPPED;
  configurationLoaded_ = false;
  lastRemoteKeyTime_ = 0;
}

void TKLDApplicationManager::RestartInterface() {
  if (state_ == STATE_UPDATING) {
    pendingState_ = STATE_RESTARTING;
    return;
  }
  if (state_ != STATE_INITIALISED && state_ != STATE_RUNNING && state_ != STATE_SUSPENDED) return;
  CloseInterface();
  if (Initialise()) StartInterface();
}

void TKLDApplicationManager::AbortInterface() {
  if (state_ == STATE_ABORTING) return;
  state_ = STATE_ABORTING;
  state_ = STATE_STOPPED;
}

void TKLDApplicationManager::Suspend() {
  if (state_ == STATE_RUNNING) state_ = STATE_SUSPENDED;
}

void TKLDApplicationManager::Resume() {
  if (activationGuard_ || state_ != STATE_SUSPENDED) return;
  TGuard guard(activationGuard_);
  state_ = STATE_RUNNING;
  BringScreenToFront();
}

void TKLDApplicationManager::Activate() {
  if (activationGuard_) return;
  if (state_ != STATE_RUNNING && state_ != STATE_UPDATING && state_ != STATE_SUSPENDED) return;
  TGuard guard(activationGuard_);
}

void TKLDApplicationManager::Deactivate() {
  if (activationGuard_) return;
  if (state_ != STATE_RUNNING && state_ != STATE_UPDATING && state_ != STATE_SUSPENDED) return;
  TGuard guard(activationGuard_);
}

void TKLDApplicationManager::ProcessRemoteKey(int keyCode) {
  TKLDTimer* timer = Timer();
  if (timer && lastRemoteKeyTime_ != 0 && !timer->Elapsed(lastRemoteKeyTime_, 10)) return;
  lastRemoteKeyTime_ = timer ? timer->Now() : 0;
  switch (state_) {
    case STATE_STOPPED:
      if (Initialise()) StartInterface();
      break;
    case STATE_RUNNING:
    case STATE_UPDATING:
    case STATE_SUSPENDED:
      BringScreenToFront();
      (void)keyCode;
      break;
    default:
      break;
  }
}

bool TKLDApplicationManager::ProcessKey(int keyCode) {
  if (state_ != STATE_RUNNING && state_ != STATE_UPDATING && state_ != STATE_SUSPENDED) return false;
  (void)keyCode;
  return false;
}

void TKLDApplicationManager::BringScreenToFront() {}

void TKLDApplicationManager::HandleUnhandledError(const std::string& message) {
  if (errorDialogOpen_) return;
  LogError("Unhandled exception: " + message);
  AbortInterface();
  bool ignore;
  {
    TGuard guard(errorDialogOpen_);
    ignore = errorDialog_(std::string(kErrorText) + "\r\n\r\n" + message, debugMode_);
  }
  if (!ignore) terminate_();
}

}  // namespace lorvane
