#include "app/ApplicationManager.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>

#include "app/ConsoleManager.h"
#include "app/FolderLayout.h"
#include "app/Settings.h"
#include "base/Reaper.h"
#include "base/KLDTypes.h"
#include "base/Timing.h"
#include "metadata/MetaData.h"
#include "base/FileSystem.h"
#include "media/MediaFolders.h"
#include "media/DirectShowHelper.h"
#include "media/MediaLocations.h"
#include "media/PictureFormats.h"
#include "media/LibraryCache.h"
#include "media/MediaInfo.h"
#include "media/Thumbnails.h"
#include "media/MediaManager.h"
#include "media/UPnP.h"
#include "platform/HostLoop.h"
#include "render/Screen.h"
#include "theme/Sound.h"
#include "theme/ThemeManager.h"
#include "ui/ActionManager.h"
#include "ui/Animation.h"
#include "ui/Functions.h"
#include "ui/InterfaceDescriptor.h"
#include "ui/UIManager.h"

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

std::string ExecutablePath() {
  char path[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return "lorvane";
  return std::string(path, static_cast<size_t>(n));
}

std::string BaseFolderOfExecutable() {
  std::string exe = ExecutablePath();
  if (exe.find('/') == std::string::npos) return "./";
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
  const TFolderLayout layout = TFolderLayout::ForBase(baseFolder_);
  installed_ = layout.installed;
  configurationFolder_ = layout.configuration;
  themesFolder_ = layout.themes;
  logFolder_ = layout.logs;
  std::vector<std::string> layoutNotes, layoutProblems;
  layout.Prepare(layoutNotes, layoutProblems);
  prefs_->SetThemesURL(themesFolder_);
  logger_->SetLogFolder(logFolder_);
  logger_->OpenLog();
  if (installed_) LogInfo("Installed under " + baseFolder_ + ": configuration in " + configurationFolder_ +
                          ", logs in " + logFolder_ + ", themes in " + themesFolder_);
  for (const std::string& note : layoutNotes) LogInfo(note);
  for (const std::string& problem : layoutProblems) LogError(problem);
  g_applicationManager = this;
  errorDialog_ = [](const std::string& text, bool offerIgnore) {
    return ShowErrorDialog("lorvane", text, offerIgnore);
  };
  terminate_ = [] {
    if (GlobalLogger()) GlobalLogger()->Flush();
    std::_Exit(EXIT_FAILURE);
  };
  idleSleep_ = [](uint32_t ms) { THostLoop::SleepMs(ms); };
  SetSoundEffectsSource([this] { return prefs_ && prefs_->SoundEffects(); });
}

TKLDApplicationManager::~TKLDApplicationManager() {
  // Animation engine, theme, action, UI, settings, metadata, preferences, media, UPnP, logger.
  FreeManagers();
  // Players released on the way out finish closing while the logger still exists.
  DrainDisposals(3000);
  prefs_.reset();
  if (g_applicationManager == this) g_applicationManager = nullptr;
  SetSoundEffectsSource(nullptr);
  SetGlobalLogger(nullptr);
  logger_.reset();
}

void TKLDApplicationManager::CreateManagers() {
  // Order: theme, action, UI, metadata, settings, UPnP, media, animation.
  if (!themeManager_) {
    themeManager_ = std::make_unique<TKLDThemeManager>();
    themeManager_->SetDesignSizeHandler([](int width, int height) {
      if (TKLDScreen* screen = Screen()) screen->SetDesignSize(width, height);
    });
  }
  if (!actionManager_) actionManager_ = std::make_unique<TKLDActionManager>();
  if (!uiManager_) uiManager_ = std::make_unique<TKLDUIManager>();
  if (!metaDataManager_) metaDataManager_ = std::make_unique<TKLDMetaDataManager>();
  if (!settingsManager_) settingsManager_ = std::make_unique<TKLDSettingsManager>();
  if (!upnpManager_) upnpManager_ = std::make_unique<TKLDUPnPManager>();
  if (!mediaLocations_) mediaLocations_ = std::make_unique<TKLDMediaLocationParser>();
  upnpManager_->SetLocations(mediaLocations_.get());
  if (!mediaManager_) mediaManager_ = std::make_unique<TKLDMediaManager>();
  mediaManager_->SetLocationParser(mediaLocations_.get());
  if (!animationEngine_) animationEngine_ = std::make_unique<TKLDAnimationEngine>();
  if (!libraryCache_)
    libraryCache_ = std::make_shared<TKLDLibraryCache>(TKLDLibraryCache::FolderFor(installed_, logFolder_));
  if (!thumbnails_) thumbnails_ = std::make_unique<TKLDThumbnailCache>(600, 2, 256, libraryCache_);
  if (!mediaInfo_) mediaInfo_ = std::make_unique<TKLDMediaInfoReader>(libraryCache_);
  thumbnails_->SetFilmPictureHandler([this](const std::string& film, const std::string& picture) {
    if (mediaInfo_) mediaInfo_->SetArt(film, picture);
  });
  mediaManager_->SetInfoReader(mediaInfo_.get());
  if (!browseWorker_) browseWorker_ = std::make_unique<TKLDBrowseWorker>(*upnpManager_);
  if (!functions_) functions_ = std::make_unique<TKLDFunctions>();

  auto descriptor = [this]() -> TKLDInterfaceDescriptor* {
    return themeManager_ && themeManager_->ThemeLoaded() ? &themeManager_->Interface() : nullptr;
  };
  actionManager_->SetDescriptorSource(descriptor);
  actionManager_->SetUIManager(uiManager_.get());
  actionManager_->SetFunctions(functions_.get());
  uiManager_->SetDescriptorSource(descriptor);
  uiManager_->SetThemeManager(themeManager_.get());
  uiManager_->SetActionManager(actionManager_.get());
  uiManager_->SetMetaDataManager(metaDataManager_.get());
  // Between the screen events and the action queue: the media manager's update (once it
  // exists), then the animations, on the frame clock's time.
  // The media manager's update, then the animation engine's step.
  uiManager_->SetFrameWork([this] {
    if (mediaManager_) mediaManager_->UpdateStreams();
    if (animationEngine_) animationEngine_->Step();
  });
  TKLDAnimationEngine::Context animation;
  animation.ui = uiManager_.get();
  animation.actions = actionManager_.get();
  animation.functions = functions_.get();
  animation.timer = Timer();
  animationEngine_->SetContext(animation);
  TKLDFunctions::Context context;
  context.ui = uiManager_.get();
  context.actions = actionManager_.get();
  context.meta = metaDataManager_.get();
  context.timer = Timer();
  context.themes = themeManager_.get();
  context.animation = animationEngine_.get();
  context.media = mediaManager_.get();
  context.quit = [this] { CloseInterface(); };
  context.restart = [this] { RestartInterface(); };
  context.loadGroup = [this](const std::string& group) { settingsManager_->LoadGroup(group); };
  context.saveGroup = [this](const std::string& group) { settingsManager_->SaveGroup(group); };
  functions_->SetContext(context);

  TKLDMediaManager::Context media;
  media.meta = metaDataManager_.get();
  media.raiseEvent = [this](const std::string& name) { actionManager_->ProcessAction(name); };
  media.showError = [this](const std::string& text, const std::string& description) {
    uiManager_->ShowError(text, description);
  };
  media.actionsBusy = [this] { return actionManager_->HasQueuedActions(); };
  media.resetIdle = [this] { uiManager_->ScreenSaver().ResetIdle(); };
  media.slideshow = [this] {
    TKLDSlideshowSettings slideshow;
    slideshow.delay = prefs_->SlideshowDelay();
    slideshow.panZoom = prefs_->SlideshowPanZoom();
    slideshow.fading = prefs_->SlideshowFading();
    return slideshow;
  };
  mediaManager_->SetContext(media);
  if (TKLDTimer* timer = Timer())
    timer->SetMediaTimeSource([this](int& position, int& duration) {
      position = mediaManager_ ? mediaManager_->GetPosition() : 0;
      duration = mediaManager_ ? mediaManager_->GetDuration() : 0;
    });

  TKLDSettingsManager::Context settings;
  settings.prefs = prefs_.get();
  settings.meta = metaDataManager_.get();
  settings.modes = Screen() ? &Screen()->DisplayModes() : nullptr;
  settings.themes = themeManager_.get();
  settings.setScreenSaverDelay = [this](int seconds) { uiManager_->ScreenSaver().SetDelay(seconds); };
  settings.processAction = [this](const std::string& action) { actionManager_->ProcessAction(action); };
  settingsManager_->SetContext(settings);

  if (!uiManager_->Diagnostics()) {
    TKLDConsoleManager::Context console;
    console.prefs = prefs_.get();
    console.meta = metaDataManager_.get();
    console.ui = uiManager_.get();
    console.functions = functions_.get();
    console.timer = Timer();
    console.logger = logger_.get();
    console.screen = Screen();
    console.functionList = [this]() -> TKLDFunctionList* {
      return themeManager_ && themeManager_->ThemeLoaded() ? &themeManager_->Interface().Functions : nullptr;
    };
    console.restart = [this] { RestartInterface(); };
    console.quit = [this] { CloseInterface(); };
    // Without a host to end, a run lives only as long as its interface: closing it ends the run.
    console.bye = [this] {
      if (terminateApplication_) terminateApplication_();
      else CloseInterface();
    };
    uiManager_->SetDiagnostics(std::make_unique<TKLDDiagnostics>(console));
  }
  SetFunctionExecutor(functions_.get());
  TKLDGridServices grids;
  grids.actions = actionManager_.get();
  grids.browser = upnpManager_.get();
  grids.browseWorker = browseOnWorker_ ? browseWorker_.get() : nullptr;
  grids.selection = &mediaManager_->MediaSelection();
  grids.thumbnails = thumbnails_.get();
  grids.mediaInfo = mediaInfo_.get();
  grids.resumeFilms = [this] { return prefs_->ResumeFilms(); };
  SetGridServices(grids);
}

void TKLDApplicationManager::FreeManagers() {
  // Order: theme, action, UI, metadata, settings, UPnP, media, animation. The function executor
  // refers to all of them, so it goes first.
  if (FunctionExecutor() == functions_.get()) SetFunctionExecutor(nullptr);
  functions_.reset();
  if (GridServices().actions == actionManager_.get()) SetGridServices(TKLDGridServices{});
  themeManager_.reset();
  actionManager_.reset();
  uiManager_.reset();
  settingsManager_.reset();
  metaDataManager_.reset();
  // The worker reads through the browser and the locations: it stops before they go.
  browseWorker_.reset();
  upnpManager_.reset();
  if (TKLDTimer* timer = Timer()) timer->SetMediaTimeSource(nullptr);
  mediaManager_.reset();
  mediaInfo_.reset();
  mediaLocations_.reset();
  animationEngine_.reset();
  thumbnails_.reset();
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
  if (TKLDScreen* screen = Screen()) screen->Prepare();
  if (!ReadConfiguration()) return false;
  state_ = STATE_INITIALISED;
  return true;
}

bool TKLDApplicationManager::ReadConfiguration() {
  try {
    if (!configurationLoaded_) {
      prefs_->ReadPreferences(configurationFolder_);
      // An installed copy's themes move with its prefix; a folder named by an older install that
      // is gone gives way to this one's.
      if (installed_ && !DirectoryExists(prefs_->ThemesURL())) {
        if (!prefs_->ThemesURL().empty())
          LogWarn("The themes folder " + prefs_->ThemesURL() + " does not exist; using " + themesFolder_);
        prefs_->SetThemesURL(themesFolder_);
      }
      actionManager_->LoadKeyBindings(configurationFolder_);
      LoadLocations(*mediaLocations_, configurationFolder_);
      for (const std::string& warning : upnpManager_->CheckLocations()) LogWarn(warning);
      LoadExtensionLists(prefs_->VideoExtensions(), prefs_->AudioExtensions(),
                         prefs_->PlaylistExtensions());
      ReportPictureFormats(TKLDPixbufImage::DecodableFormats());
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
  if (TKLDScreen* screen = Screen()) {
    screen->SetSize(prefs_->ScreenWidth(), prefs_->ScreenHeight());
    screen->SetFullScreen(prefs_->FullScreen());
    screen->SetWideScreen(prefs_->WideScreen());
    screen->SetDisplayAdapter(static_cast<unsigned>(prefs_->DisplayAdapter() < 0 ? 0 : prefs_->DisplayAdapter()));
  }
  if (themeManager_) {
    themeManager_->SetThemesDirectory(prefs_->ThemesURL());
    themeManager_->SetLanguageName(prefs_->LanguageName());
  }
  if (uiManager_) {
    uiManager_->SetShowDiagnostics(prefs_->ShowDiagnostics());
    uiManager_->ScreenSaver().SetDelay(prefs_->ScreenSaverDelay());
  }
  if (actionManager_) actionManager_->SetPrimaryProfile(prefs_->KeyBindingProfile());
  // Players read these when they are made; the user's mpv.conf is optional.
  TKLDPlayerSettings players = PlayerSettings();
  players.mpv.configFile = FileExists(configurationFolder_ + "mpv.conf") ? configurationFolder_ + "mpv.conf" : "";
  players.skipLimit = prefs_->VideoFrameThrottle();
  SetPlayerSettings(players);
  if (TKLDDirectXHelper* helper = DirectXHelper()) helper->SetPlayerFactory(&TKLDDXAllocator::Create);
  // The media renderers play through the helper's players.
  InstallHelperPlayers();
  if (TKLDTimer* timer = Timer()) {
    timer->SetDateFormat(prefs_->DateFormat());
    timer->SetTimeFormat(prefs_->TimeFormat());
    // The clock texts otherwise stay empty until the first second of frames has passed.
    timer->UpdateTexts();
  }
}

void TKLDApplicationManager::StartInterface() {
  if (state_ != STATE_INITIALISED) return;
  lastFailure_.clear();
  bool loaded = false;
  try {
    loaded = themeManager_ && themeManager_->LoadTheme(themeName_);
    if (!loaded) lastFailure_ = "theme " + themeName_ + " declined to load";
  } catch (const std::exception& e) {
    lastFailure_ = "theme " + themeName_ + " failed to load: " + e.what();
  }
  if (!loaded) {
    LogError(lastFailure_);
    return;
  }
  // The screen saver's picture comes with the theme when the program has none of its own.
  std::string saverFolder = TKLDUIManager::ResourceFolder();
  if (!FileExists(saverFolder + "screensaver.png")) saverFolder = themeManager_->GetResourcesDir();
  uiManager_->ScreenSaver().SetImageFolder(saverFolder);
  uiManager_->Start();
  if (TKLDScreen* screen = Screen()) {
    try {
      screen->Open();
    } catch (const std::exception& e) {
      lastFailure_ = e.what();
      throw;
    }
  }
  state_ = STATE_RUNNING;
  renderingEnabled_ = true;
}

void TKLDApplicationManager::RenderFrame() {
  if (TKLDTimer* timer = Timer()) timer->FrameTick();
  uiManager_->Render();
  ++renderedFrames_;
}

bool TKLDApplicationManager::UpdateFrame() {
  if (state_ != STATE_RUNNING && state_ != STATE_SUSPENDED) return false;
  pendingState_ = state_;
  state_ = STATE_UPDATING;
  try {
    if (Timer()) Timer()->StartMeasure(kMeasureUpdates);
    if (frameHook_) frameHook_();
    if (uiManager_) uiManager_->Update();
    if (Timer()) Timer()->StopMeasure(kMeasureUpdates);
    if (renderingEnabled_ && pendingState_ == STATE_RUNNING) {
      RenderFrame();
    } else {
      if (uiManager_) uiManager_->ScreenSaver().ResetIdle();
      idleSleep_(200);
    }
  } catch (...) {
    // A close or restart asked for before the failure is still carried out: otherwise the
    // state would be left at closing or restarting, where nothing could ever leave it.
    FinishFrame();
    throw;
  }
  FinishFrame();
  return true;
}

void TKLDApplicationManager::FinishFrame() {
  state_ = pendingState_;
  if (pendingState_ != STATE_CLOSING && pendingState_ != STATE_RESTARTING) return;
  uint8_t request = pendingState_;
  state_ = STATE_INITIALISED;
  pendingState_ = STATE_INITIALISED;
  if (request == STATE_CLOSING) CloseInterface();
  else RestartInterface();
}

void TKLDApplicationManager::CloseInterface() {
  if (state_ == STATE_UPDATING) {
    pendingState_ = STATE_CLOSING;
    return;
  }
  if (state_ != STATE_INITIALISED && state_ != STATE_RUNNING && state_ != STATE_SUSPENDED) return;
  state_ = STATE_CLOSING;
  try {
    if (TKLDScreen* screen = Screen()) screen->Close();
    // A full disk or a folder that cannot be written keeps the old file whole (it is replaced
    // only by a complete new one); the interface still closes.
    try {
      prefs_->SavePreferences(configurationFolder_);
    } catch (const TKLDException& e) {
      LogError(std::string("The preferences were not saved: ") + e.what());
    }
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
  try {
    if (TKLDScreen* screen = Screen()) screen->Shutdown();
  } catch (...) {
    state_ = STATE_STOPPED;
    throw;
  }
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
  TKLDScreen* screen = Screen();
  if (screen && screen->FullScreen()) {
    renderingEnabled_ = true;
    screen->BringToFront();
  }
}

void TKLDApplicationManager::Deactivate() {
  if (activationGuard_) return;
  if (state_ != STATE_RUNNING && state_ != STATE_UPDATING && state_ != STATE_SUSPENDED) return;
  TGuard guard(activationGuard_);
  TKLDScreen* screen = Screen();
  if (videoPlaying_ ? videoPlaying_() : mediaManager_ && mediaManager_->IsVideoStarting()) {
    // The interface keeps the foreground while video plays.
    BringScreenToFront();
  } else if (screen && screen->FullScreen()) {
    renderingEnabled_ = false;
  }
}

void TKLDApplicationManager::ProcessRemoteKey(int keyCode, std::optional<uint32_t> arrived) {
  TKLDTimer* timer = Timer();
  if (!arrived && timer) arrived = timer->Now();
  if (arrived && lastRemoteKeyTime_ != 0 && !MillisecondsPassed(lastRemoteKeyTime_, 10, *arrived)) return;
  lastRemoteKeyTime_ = arrived.value_or(0);
  switch (state_) {
    case STATE_STOPPED:
      if (Initialise()) StartInterface();
      break;
    case STATE_RUNNING:
    case STATE_UPDATING:
    case STATE_SUSPENDED:
      BringScreenToFront();
      if (actionManager_) actionManager_->HandleKey(keyCode);
      break;
    default:
      break;
  }
}

bool TKLDApplicationManager::ProcessKey(int keyCode) {
  if (state_ != STATE_RUNNING && state_ != STATE_UPDATING && state_ != STATE_SUSPENDED) return false;
  return uiManager_ && uiManager_->HandleKey(keyCode);
}

void TKLDApplicationManager::BringScreenToFront() {
  if (TKLDScreen* screen = Screen()) screen->BringToFront();
}

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
