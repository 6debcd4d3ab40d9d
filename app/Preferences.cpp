#include "app/Preferences.h"

#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "base/FileSystem.h"
#include "media/MediaFolders.h"
#include "theme/XmlHelper.h"

namespace lorvane {

namespace {

constexpr const char* kRootName = "ClientPreferences";

std::string Element(const std::string& name, const std::string& value) {
  return IndentText(0) + XmlOpenTag(name) + value + XmlCloseTag(name);
}
}  // namespace

TKLDPrefsManager::TKLDPrefsManager() { SetDefaults(); }

void TKLDPrefsManager::SetDefaults() {
  themeName_ = "tv";
  languageName_.clear();
  displayAdapter_ = 0;
  screenWidth_ = 800;
  screenHeight_ = 600;
  screenRefreshRate_ = 0;
  videoFrameThrottle_ = 1;
  fullScreen_ = false;
  wideScreen_ = false;
  timeFormat_ = "h:nn am/pm";
  dateFormat_ = "dddd dx mmmm";
  SetLoggingLevel("INFO");
  showDiagnostics_ = false;
  keyBindingProfile_ = "default";
  screenSaverDelay_ = 600;
  slideshowDelay_ = 5;
  slideshowPanZoom_ = true;
  slideshowFading_ = true;
  slideshowBorders_ = true;
  resumeFilms_ = true;
  soundEffects_ = true;
  remoteRepeatDelay_ = 0;
  remoteRepeatRate_ = 0;
  videoExtensions_ = "\".AVI\",\".MPG\",\".MPEG\",\".WMV\"";
  audioExtensions_ = "\".MP3\",\".WAV\",\".CDA\",\".WMA\",\".MID\",\".MIDI\"";
  playlistExtensions_ = "\".ASX\",\".M3U\",\".PLS\"";
}

void TKLDPrefsManager::SetLoggingLevel(const std::string& text) {
  if (TKLDLogger* logger = GlobalLogger()) {
    logger->SetLevelFromText(text);
    loggingLevel_ = logger->Level();
    return;
  }
  // Without a logger the word is kept here, read the way the logger reads it.
  std::string word;
  for (char c : text) word += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  if (word == "INFO") loggingLevel_ = LOG_INFO;
  else if (word == "WARN") loggingLevel_ = LOG_WARN;
  else if (word == "ERROR") loggingLevel_ = LOG_ERROR;
  else loggingLevel_ = LOG_DEBUG;
}

std::string TKLDPrefsManager::LoggingLevel() const {
  if (const TKLDLogger* logger = GlobalLogger()) return logger->CurrentLevelName();
  return TKLDLogger::LevelName(loggingLevel_);
}

void TKLDPrefsManager::ReadPreferences(const std::string& configFolder) {
  SetDefaults();
  LoadFromFolder(configFolder);
  std::vector<std::string> listing{"lorvane Preference settings are as follows:"};
  WriteToList(listing);
  LogInfoList(&listing);
}

void TKLDPrefsManager::RaiseParseError(const std::string& message) {
  throw TKLDException("Encountered error whilst parsing Preferences XML: " + message);
}

bool TKLDPrefsManager::LoadFromFolder(const std::string& folder) {
  std::string fileName = folder + kFileName;
  if (!FileExists(fileName)) return false;
  TKLDXMLHelper xml(fileName);
  TKLDXmlNode root;
  if (!xml.FindRootNode(kRootName, root)) RaiseParseError("Missing ClientPreferences start tag");

  TKLDXmlNode node;
  while (xml.NextElement(root, node)) {
    const std::string tag = xml.CurrentNodeName();
    const std::string value = xml.GetValue();
    auto integer = [&](int& field) { field = StrToIntDef(value, field); };
    if (tag == "ThemeName") themeName_ = value;
    else if (tag == "ThemesURL") themesURL_ = value;
    else if (tag == "LanguageName") languageName_ = value;
    else if (tag == "DisplayAdapter") integer(displayAdapter_);
    else if (tag == "ScreenWidth") integer(screenWidth_);
    else if (tag == "ScreenHeight") integer(screenHeight_);
    else if (tag == "ScreenRefreshRate") integer(screenRefreshRate_);
    else if (tag == "VideoFrameThrottle") integer(videoFrameThrottle_);
    else if (tag == "ScreenFrameRate") continue;  // an old setting, accepted and dropped
    else if (tag == "FullScreen") fullScreen_ = IsYes(value);
    else if (tag == "WideScreen") wideScreen_ = IsYes(value);
    else if (tag == "TimeFormat") timeFormat_ = value;
    else if (tag == "DateFormat") dateFormat_ = value;
    else if (tag == "LoggingLevel") SetLoggingLevel(value);
    else if (tag == "ShowDiagnostics") showDiagnostics_ = IsYes(value) && debugMode_;
    else if (tag == "KeyBindingProfile") keyBindingProfile_ = value;
    else if (tag == "ScreenSaverDelay") integer(screenSaverDelay_);
    else if (tag == "SlideshowDelay") integer(slideshowDelay_);
    else if (tag == "SlideshowPanZoom") slideshowPanZoom_ = IsYes(value);
    else if (tag == "SlideshowFading") slideshowFading_ = IsYes(value);
    else if (tag == "SlideshowBorders") slideshowBorders_ = IsYes(value);
    else if (tag == "ResumeFilms") resumeFilms_ = IsYes(value);
    else if (tag == "SoundEffects") soundEffects_ = IsYes(value);
    else if (tag == "RemoteRepeatDelay") integer(remoteRepeatDelay_);
    else if (tag == "RemoteRepeatRate") integer(remoteRepeatRate_);
    else if (tag == "VideoExtensions") videoExtensions_ = value;
    else if (tag == "AudioExtensions") audioExtensions_ = value;
    else if (tag == "PlaylistExtensions") playlistExtensions_ = value;
    else RaiseParseError("Unknown content type within ClientPreferences");
  }
  return true;
}

void TKLDPrefsManager::WriteToList(std::vector<std::string>& lines) const {
  lines.push_back("<?xml version=\"1.0\" encoding=\"iso-8859-1\" ?>");
  lines.push_back(XmlOpenTag(kRootName));
  lines.push_back(Element("ThemeName", EncodeXml(themeName_)));
  lines.push_back(Element("ThemesURL", EncodeXml(themesURL_)));
  if (!languageName_.empty()) lines.push_back(Element("LanguageName", EncodeXml(languageName_)));
  lines.push_back(Element("DisplayAdapter", std::to_string(displayAdapter_)));
  lines.push_back(Element("ScreenWidth", std::to_string(screenWidth_)));
  lines.push_back(Element("ScreenHeight", std::to_string(screenHeight_)));
  lines.push_back(Element("ScreenRefreshRate", std::to_string(screenRefreshRate_)));
  lines.push_back(Element("VideoFrameThrottle", std::to_string(videoFrameThrottle_)));
  lines.push_back(Element("FullScreen", YesNo(fullScreen_)));
  lines.push_back(Element("WideScreen", YesNo(wideScreen_)));
  lines.push_back(Element("TimeFormat", EncodeXml(timeFormat_)));
  lines.push_back(Element("DateFormat", EncodeXml(dateFormat_)));
  lines.push_back(Element("LoggingLevel", LoggingLevel()));
  lines.push_back(Element("ShowDiagnostics", YesNo(showDiagnostics_)));
  lines.push_back(Element("KeyBindingProfile", EncodeXml(keyBindingProfile_)));
  lines.push_back(Element("ScreenSaverDelay", std::to_string(screenSaverDelay_)));
  lines.push_back(Element("SlideshowDelay", std::to_string(slideshowDelay_)));
  lines.push_back(Element("SlideshowPanZoom", YesNo(slideshowPanZoom_)));
  lines.push_back(Element("SlideshowFading", YesNo(slideshowFading_)));
  lines.push_back(Element("SlideshowBorders", YesNo(slideshowBorders_)));
  // Only when turned off, so that a file written with the default stays as it always was.
  if (!resumeFilms_) lines.push_back(Element("ResumeFilms", YesNo(resumeFilms_)));
  lines.push_back(Element("SoundEffects", YesNo(soundEffects_)));
  lines.push_back(Element("RemoteRepeatDelay", std::to_string(remoteRepeatDelay_)));
  lines.push_back(Element("RemoteRepeatRate", std::to_string(remoteRepeatRate_)));
  lines.push_back(Element("VideoExtensions", EncodeXml(videoExtensions_)));
  lines.push_back(Element("AudioExtensions", EncodeXml(audioExtensions_)));
  lines.push_back(Element("PlaylistExtensions", EncodeXml(playlistExtensions_)));
  lines.push_back(XmlCloseTag(kRootName));
}

void TKLDPrefsManager::SavePreferences(const std::string& configFolder) const {
  std::vector<std::string> lines;
  WriteToList(lines);
  SaveXmlLines(lines, configFolder + kFileName);
}

std::vector<std::string> TKLDPrefsManager::ExtensionItems(const std::string& list) {
  return SplitExtensionList(list);
}
}  // namespace lorvane
