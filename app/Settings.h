#pragma once
// The settings groups themes edit: preference values, with the choices the user may step
// through, copied into metadata under "settings" and copied back when the theme saves them.
// The manager keeps no state of its own; it is made and freed with the other managers.
#include <functional>
#include <string>

namespace lorvane {

class TKLDDisplayModes;
class TKLDLanguageManager;
class TKLDMetaDataManager;
class TKLDPrefsManager;
class TKLDThemeManager;

class TKLDSettingsManager {
 public:
  static constexpr const char* kNeedRestartAction = "onneedrestart";

  // What the groups read and change; set by the owner (the application manager, or a test).
  struct Context {
    TKLDPrefsManager* prefs = nullptr;
    TKLDMetaDataManager* meta = nullptr;
    // The screen's display modes (the display group lists the 32-bit ones).
    TKLDDisplayModes* modes = nullptr;
    // The theme list and, through its active language descriptor, the theme's languages.
    TKLDThemeManager* themes = nullptr;
    // The screen saver's delay in seconds, applied when the display group is saved.
    std::function<void(int seconds)> setScreenSaverDelay;
    // Runs a named action as a key would (focused control, screen, global actions).
    std::function<void(const std::string& action)> processAction;
  };

  void SetContext(Context context) { context_ = std::move(context); }

  // "settings" loads (or saves) all five groups in the order display, audio, general,
  // slideshow, remote; "settings.display", "settings.audio", "settings.general",
  // "settings.slideshow" and "settings.remote" (how held remote-control buttons repeat) one
  // each. Other names, compared exactly, only log a warning.
  void LoadGroup(const std::string& name);
  void SaveGroup(const std::string& name);

 private:
  void LoadDisplay();
  void LoadAudio();
  void LoadGeneral();
  void LoadSlideshow();
  void LoadRemote();
  void LoadVideo();
  void SaveDisplay();
  void SaveAudio();
  void SaveGeneral();
  void SaveSlideshow();
  void SaveRemote();
  void SaveVideo();
  TKLDLanguageManager* Languages() const;

  Context context_;
};

}  // namespace lorvane
