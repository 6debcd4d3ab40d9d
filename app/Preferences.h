#pragma once
// The user's preferences, read from and written back to "Preferences.xml".
//
// The application manager owns one for its whole life: it sets the themes folder
// (SetThemesURL) and the debug mode once, calls ReadPreferences(configFolder) at each
// configuration read and SavePreferences(configFolder) when the interface closes; everything
// else reads the values through the accessors. Folders end with "/".

#include <cstdint>
#include <string>
#include <vector>

namespace lorvane {

class TKLDPrefsManager {
 public:
  static constexpr const char* kFileName = "Preferences.xml";

  TKLDPrefsManager();

  // Every value back to its default (the themes folder excepted); the logger back to INFO.
  void SetDefaults();
  // Defaults, then the file if there is one, then the listing logged at INFO.
  void ReadPreferences(const std::string& configFolder);
  // False when the file does not exist. Raises TKLDException on a malformed file.
  bool LoadFromFolder(const std::string& folder);
  void WriteToList(std::vector<std::string>& lines) const;
  // Replaces the file without ever leaving a partly written one behind.
  void SavePreferences(const std::string& configFolder) const;
  [[noreturn]] static void RaiseParseError(const std::string& message);

  // "ShowDiagnostics" is honoured only in debug mode.
  void SetDebugMode(bool debug) { debugMode_ = debug; }
  bool DebugMode() const { return debugMode_; }

  // The level word written back: the logger's, or the last one read when there is no logger.
  std::string LoggingLevel() const;

  // Items of an extension list such as ".AVI",".MPG": split at commas, blanks and quotes removed.
  static std::vector<std::string> ExtensionItems(const std::string& list);

  const std::string& ThemeName() const { return themeName_; }
  void SetThemeName(const std::string& value) { themeName_ = value; }
  const std::string& ThemesURL() const { return themesURL_; }
  void SetThemesURL(const std::string& value) { themesURL_ = value; }
  const std::string& LanguageName() const { return languageName_; }
  void SetLanguageName(const std::string& value) { languageName_ = value; }
  int DisplayAdapter() const { return displayAdapter_; }
  void SetDisplayAdapter(int value) { displayAdapter_ = value; }
  int ScreenWidth() const { return screenWidth_; }
  void SetScreenWidth(int value) { screenWidth_ = value; }
  int ScreenHeight() const { return screenHeight_; }
  void SetScreenHeight(int value) { screenHeight_ = value; }
  int ScreenRefreshRate() const { return screenRefreshRate_; }
  void SetScreenRefreshRate(int value) { screenRefreshRate_ = value; }
  int VideoFrameThrottle() const { return videoFrameThrottle_; }
  void SetVideoFrameThrottle(int value) { videoFrameThrottle_ = value; }
  bool FullScreen() const { return fullScreen_; }
  void SetFullScreen(bool value) { fullScreen_ = value; }
  bool WideScreen() const { return wideScreen_; }
  void SetWideScreen(bool value) { wideScreen_ = value; }
  const std::string& TimeFormat() const { return timeFormat_; }
  void SetTimeFormat(const std::string& value) { timeFormat_ = value; }
  const std::string& DateFormat() const { return dateFormat_; }
  void SetDateFormat(const std::string& value) { dateFormat_ = value; }
  bool ShowDiagnostics() const { return showDiagnostics_; }
  void SetShowDiagnostics(bool value) { showDiagnostics_ = value; }
  const std::string& KeyBindingProfile() const { return keyBindingProfile_; }
  void SetKeyBindingProfile(const std::string& value) { keyBindingProfile_ = value; }
  int ScreenSaverDelay() const { return screenSaverDelay_; }
  void SetScreenSaverDelay(int value) { screenSaverDelay_ = value; }
  int SlideshowDelay() const { return slideshowDelay_; }
  void SetSlideshowDelay(int value) { slideshowDelay_ = value; }
  bool SlideshowPanZoom() const { return slideshowPanZoom_; }
  void SetSlideshowPanZoom(bool value) { slideshowPanZoom_ = value; }
  bool SlideshowFading() const { return slideshowFading_; }
  void SetSlideshowFading(bool value) { slideshowFading_ = value; }
  bool SlideshowBorders() const { return slideshowBorders_; }
  void SetSlideshowBorders(bool value) { slideshowBorders_ = value; }
  // A film stopped part way offers to carry on where it stopped.
  bool ResumeFilms() const { return resumeFilms_; }
  void SetResumeFilms(bool value) { resumeFilms_ = value; }
  bool SoundEffects() const { return soundEffects_; }
  void SetSoundEffects(bool value) { soundEffects_ = value; }
  // How a held remote-control button repeats: milliseconds before the first repeat and repeats
  // per second after it; 0 keeps the remote's own pace (app/KeyRepeat.h).
  int RemoteRepeatDelay() const { return remoteRepeatDelay_; }
  void SetRemoteRepeatDelay(int value) { remoteRepeatDelay_ = value; }
  int RemoteRepeatRate() const { return remoteRepeatRate_; }
  void SetRemoteRepeatRate(int value) { remoteRepeatRate_ = value; }
  const std::string& VideoExtensions() const { return videoExtensions_; }
  void SetVideoExtensions(const std::string& value) { videoExtensions_ = value; }
  const std::string& AudioExtensions() const { return audioExtensions_; }
  void SetAudioExtensions(const std::string& value) { audioExtensions_ = value; }
  const std::string& PlaylistExtensions() const { return playlistExtensions_; }
  void SetPlaylistExtensions(const std::string& value) { playlistExtensions_ = value; }

 private:
  void SetLoggingLevel(const std::string& text);

  bool debugMode_ = false;
  std::string themeName_;
  std::string themesURL_;
  std::string languageName_;
  int displayAdapter_ = 0;
  int screenWidth_ = 0;
  int screenHeight_ = 0;
  int screenRefreshRate_ = 0;
  int videoFrameThrottle_ = 0;
  bool fullScreen_ = false;
  bool wideScreen_ = false;
  std::string timeFormat_;
  std::string dateFormat_;
  uint8_t loggingLevel_ = 0;  // only while there is no logger
  bool showDiagnostics_ = false;
  std::string keyBindingProfile_;
  int screenSaverDelay_ = 0;
  int slideshowDelay_ = 0;
  bool slideshowPanZoom_ = false;
  bool slideshowFading_ = false;
  bool slideshowBorders_ = false;
  bool resumeFilms_ = false;
  bool soundEffects_ = false;
  int remoteRepeatDelay_ = 0;
  int remoteRepeatRate_ = 0;
  std::string videoExtensions_;
  std::string audioExtensions_;
  std::string playlistExtensions_;
};

}  // namespace lorvane
