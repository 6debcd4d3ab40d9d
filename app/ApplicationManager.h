#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Logging.h"
#include "app/Preferences.h"

namespace lorvane {

class TKLDActionManager;
class TKLDAnimationEngine;
class TKLDFunctions;
class TKLDLibraryCache;
class TKLDMediaInfoReader;
class TKLDMediaLocationParser;
class TKLDMediaManager;
class TKLDMetaDataManager;
class TKLDSettingsManager;
class TKLDThemeManager;
class TKLDUIManager;
class TKLDBrowseWorker;
class TKLDUPnPManager;
class TKLDThumbnailCache;

enum TKLDApplicationState : uint8_t {
  STATE_STOPPED = 0,
  STATE_INITIALISED = 1,
  STATE_RUNNING = 2,
  STATE_UPDATING = 3,
  STATE_SUSPENDED = 4,
  STATE_CLOSING = 5,
  STATE_RESTARTING = 6,
  STATE_ABORTING = 7,
};

const char* ApplicationStateName(uint8_t state);

// True when the first command-line parameter, upper-cased, contains "DEBUG".
bool IsDebugCommandLine(const std::vector<std::string>& parameters);

// The parent of the executable's folder, ending with "/".
std::string BaseFolderOfExecutable();
// The executable's own path ("lorvane" when it cannot be told).
std::string ExecutablePath();

// Owns every subsystem manager, brings the interface up and down and runs one frame at a time.
// Close and restart requested during a frame are deferred to its end through the pending state.
class TKLDApplicationManager {
 public:
  TKLDApplicationManager(const std::vector<std::string>& parameters, const std::string& baseFolder);
  ~TKLDApplicationManager();
  TKLDApplicationManager(const TKLDApplicationManager&) = delete;
  TKLDApplicationManager& operator=(const TKLDApplicationManager&) = delete;

  void Launch();
  bool Initialise();
  void CreateManagers();
  void FreeManagers();
  bool ReadConfiguration();
  void StartInterface();
  bool UpdateFrame();
  void CloseInterface();
  void RestartInterface();
  void AbortInterface();
  void Suspend();
  void Resume();
  void Activate();
  void Deactivate();
  // `arrived` is when the key reached lorvane (SystemMilliseconds); keys 10 ms or less after the
  // one before are dropped by that time, not by when the queue got round to them. Without it the
  // key arrives now.
  void ProcessRemoteKey(int keyCode, std::optional<uint32_t> arrived = std::nullopt);
  bool ProcessKey(int keyCode);

  // The host's unhandled-error procedure: log, abort the interface, then ask the user.
  // Returns when the user chose Ignore; Abort ends the process.
  void HandleUnhandledError(const std::string& message);

  uint8_t State() const { return state_; }
  uint8_t PendingState() const { return pendingState_; }
  bool DebugMode() const { return debugMode_; }
  bool RenderingEnabled() const { return renderingEnabled_; }
  bool ConfigurationLoaded() const { return configurationLoaded_; }
  uint32_t LastRemoteKeyTime() const { return lastRemoteKeyTime_; }
  const std::string& BaseFolder() const { return baseFolder_; }
  // True for an installed copy (see app/FolderLayout.h), false for one run from its tree.
  bool Installed() const { return installed_; }
  const std::string& ConfigurationFolder() const { return configurationFolder_; }
  const std::string& ThemesFolder() const { return themesFolder_; }
  const std::string& LogFolder() const { return logFolder_; }
  const std::string& ThemeName() const { return themeName_; }
  // Frames rendered since the process started.
  uint64_t RenderedFrames() const { return renderedFrames_; }
  // The last error that stopped the interface from reaching the running state.
  const std::string& LastFailure() const { return lastFailure_; }

  TKLDLogger* Logger() const { return logger_.get(); }
  TKLDPrefsManager* Prefs() const { return prefs_.get(); }
  // Managers that exist only while the interface is up (null otherwise).
  TKLDThemeManager* ThemeManager() const { return themeManager_.get(); }
  TKLDMetaDataManager* MetaDataManager() const { return metaDataManager_.get(); }
  TKLDActionManager* ActionManager() const { return actionManager_.get(); }
  TKLDUIManager* UIManager() const { return uiManager_.get(); }
  TKLDSettingsManager* SettingsManager() const { return settingsManager_.get(); }
  // The folder browser, reading the media locations below.
  TKLDUPnPManager* UPnPManager() const { return upnpManager_.get(); }
  // The folders of "Media.xml", read with the configuration. They belong to the media
  // manager, which reaches them here.
  TKLDMediaLocationParser* MediaLocations() const { return mediaLocations_.get(); }
  TKLDAnimationEngine* AnimationEngine() const { return animationEngine_.get(); }
  // Media grids read folders on a worker and fill in on a later frame; off, they read them at
  // once (tests that step frame by frame on a clock of their own). Set before the interface starts.
  void SetBrowseOnWorker(bool on) { browseOnWorker_ = on; }
  // Playback: the two media streams, the selection list the media grids fill, volume and mute.
  TKLDMediaManager* MediaManager() const { return mediaManager_.get(); }

  // Work run at the start of each frame's update, before the UI manager's: scripted runs
  // feed their commands through it.
  void SetFrameHook(std::function<void()> hook) { frameHook_ = std::move(hook); }
  const std::function<void()>& FrameHook() const { return frameHook_; }
  // How the unhandled-error dialog is shown; returns true for Ignore. Tests replace it.
  using ErrorDialog = std::function<bool(const std::string& text, bool offerIgnore)>;
  void SetErrorDialog(ErrorDialog dialog) { errorDialog_ = std::move(dialog); }
  // How the application is told to terminate (the console's "BYE"); the resident host sets it.
  void SetTerminateApplication(std::function<void()> terminate) { terminateApplication_ = std::move(terminate); }
  // How an Abort ends the process. Tests replace it.
  void SetTerminate(std::function<void()> terminate) { terminate_ = std::move(terminate); }
  // Sleeping 200 ms a frame while not rendering; tests replace it to keep running fast.
  void SetIdleSleep(std::function<void(uint32_t)> sleep) { idleSleep_ = std::move(sleep); }

  // Replaces the media manager's answer to "is video playing?", asked when the interface loses
  // activation (tests).
  void SetVideoPlayingQuery(std::function<bool()> query) { videoPlaying_ = std::move(query); }

 private:
  void RenderFrame();
  // The end of every frame, failed ones included: back to the state before it, then any close
  // or restart asked for during it.
  void FinishFrame();
  void ApplyPreferences();
  void BringScreenToFront();

  uint32_t lastRemoteKeyTime_ = 0;
  std::string baseFolder_;
  bool installed_ = false;
  std::string configurationFolder_;
  std::string themesFolder_;
  std::string logFolder_;
  std::string themeName_;
  bool debugMode_ = false;
  bool configurationLoaded_ = false;
  bool renderingEnabled_ = false;
  bool activationGuard_ = false;
  bool errorDialogOpen_ = false;
  uint8_t state_ = STATE_STOPPED;
  uint8_t pendingState_ = STATE_STOPPED;
  uint64_t renderedFrames_ = 0;
  std::string lastFailure_;

  // Declared in the order the managers are created.
  std::unique_ptr<TKLDThemeManager> themeManager_;
  std::unique_ptr<TKLDActionManager> actionManager_;
  std::unique_ptr<TKLDUIManager> uiManager_;
  std::unique_ptr<TKLDMetaDataManager> metaDataManager_;
  std::unique_ptr<TKLDSettingsManager> settingsManager_;
  std::unique_ptr<TKLDUPnPManager> upnpManager_;
  // Reads folders for the media grids off the frame.
  std::unique_ptr<TKLDBrowseWorker> browseWorker_;
  // Kept for the whole run (interface restarts included); made on the first start. Shared with
  // the workers that keep what they read in it, which may outlive this when a read never returns.
  std::shared_ptr<TKLDLibraryCache> libraryCache_;
  std::unique_ptr<TKLDMediaInfoReader> mediaInfo_;
  bool browseOnWorker_ = true;
  std::unique_ptr<TKLDMediaLocationParser> mediaLocations_;
  std::unique_ptr<TKLDMediaManager> mediaManager_;
  std::unique_ptr<TKLDAnimationEngine> animationEngine_;
  // The media grids' thumbnail decoder.
  std::unique_ptr<TKLDThumbnailCache> thumbnails_;
  // The theme function executor, made with the managers it acts on.
  std::unique_ptr<TKLDFunctions> functions_;
  std::unique_ptr<TKLDLogger> logger_;
  std::unique_ptr<TKLDPrefsManager> prefs_;

  std::function<void()> frameHook_;
  ErrorDialog errorDialog_;
  std::function<void()> terminate_;
  std::function<void()> terminateApplication_;
  std::function<void(uint32_t)> idleSleep_;
  std::function<bool()> videoPlaying_;
};

// The process-wide application manager (null when none exists).
TKLDApplicationManager* ApplicationManager();

}  // namespace lorvane
