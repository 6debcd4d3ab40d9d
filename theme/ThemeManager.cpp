#include "theme/ThemeManager.h"

#include <algorithm>
#include <filesystem>

#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "base/FileSystem.h"
#include "ui/InterfaceDescriptor.h"

namespace lorvane {

TKLDThemeManager::TKLDThemeManager()
    : themeDescriptor_(std::make_unique<TKLDThemeDescriptor>()),
      baseVisual_(std::make_unique<TKLDVisualDescriptor>()),
      visual_(baseVisual_.get()),
      baseInterface_(std::make_unique<TKLDInterfaceDescriptor>()),
      interface_(baseInterface_.get()),
      baseLanguage_(std::make_unique<TKLDLanguageDescriptor>()),
      language_(baseLanguage_.get()),
      baseAudio_(std::make_unique<TKLDAudioDescriptor>()),
      audio_(baseAudio_.get()) {
  ConnectActiveDescriptors();
}

TKLDThemeManager::~TKLDThemeManager() {
  // Overrides may point into the base descriptors, so they go first.
  UnlinkDescriptors();
  if (CurrentLanguageManager() == &baseLanguage_->LanguageManager()) SetCurrentLanguageManager(nullptr);
  if (ActiveVisualDescriptor() == baseVisual_.get()) SetActiveVisualDescriptor(nullptr);
}

void TKLDThemeManager::SetThemesDirectory(const std::string& directory) {
  themesDirectory_ = directory;
  if (!themesDirectory_.empty() && themesDirectory_.back() != '/') themesDirectory_ += '/';
}

void TKLDThemeManager::SetLanguageName(const std::string& name) {
  languageName_ = name;
  baseLanguage_->LanguageManager().ChosenLanguageName = name;
}

const std::vector<std::string>& TKLDThemeManager::ListThemes() {
  themeList_.clear();
  std::error_code ec;
  std::filesystem::directory_iterator it(themesDirectory_.empty() ? "." : themesDirectory_, ec);
  if (ec) {
    LogWarn("Unable to list themes in " + themesDirectory_ + ": " + ec.message());
    return themeList_;
  }
  for (const auto& entry : it) {
    std::string name = entry.path().filename().string();
    if (!name.empty() && name[0] != '.') themeList_.push_back(name);
  }
  // Directory order is arbitrary here; the names come in the order the themes' home platform
  // lists them, letters compared in upper case, so every file system gives the same list.
  auto upper = [](const std::string& text) {
    std::string out = text;
    for (char& c : out)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return out;
  };
  std::sort(themeList_.begin(), themeList_.end(), [&](const std::string& a, const std::string& b) {
    std::string ua = upper(a), ub = upper(b);
    return ua != ub ? ua < ub : a < b;
  });
  return themeList_;
}

std::string TKLDThemeManager::GetThemeDir() const { return themesDirectory_ + themeName_ + "/"; }
std::string TKLDThemeManager::GetBasePrefix() const { return GetThemeDir() + kBaseSetName + "-"; }
std::string TKLDThemeManager::GetLinkedPrefix() const { return GetThemeDir() + linkedName_ + "-"; }
std::string TKLDThemeManager::GetResourcesDir() const { return GetThemeDir() + "Resources/"; }

bool TKLDThemeManager::IsUsableName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
         name.find('\0') == std::string::npos;
}

void TKLDThemeManager::ConnectActiveDescriptors() {
  baseInterface_->SetVisualDescriptor(visual_);
  interface_->SetVisualDescriptor(visual_);
  SetCurrentLanguageManager(&language_->LanguageManager());
  SetActiveVisualDescriptor(visual_);
}

bool TKLDThemeManager::LoadTheme(const std::string& name) {
  if (!IsUsableName(name)) throw TKLDException("Invalid theme name \"" + name + "\"");
  LogInfo("Loading theme " + name);

  // A manager loads one theme in its life as a rule; should it load another, nothing of the
  // previous theme may linger in the descriptors.
  UnlinkDescriptors();
  linkedName_.clear();
  themeLoaded_ = false;
  baseLanguage_ = std::make_unique<TKLDLanguageDescriptor>();
  baseLanguage_->LanguageManager().ChosenLanguageName = languageName_;
  baseVisual_ = std::make_unique<TKLDVisualDescriptor>();
  visual_ = baseVisual_.get();
  baseInterface_ = std::make_unique<TKLDInterfaceDescriptor>();
  interface_ = baseInterface_.get();
  language_ = baseLanguage_.get();
  baseAudio_ = std::make_unique<TKLDAudioDescriptor>();
  audio_ = baseAudio_.get();
  ConnectActiveDescriptors();

  themeName_ = name;
  if (!themeDescriptor_->LoadFromFile(GetThemeDir())) return false;
  if (designSizeHandler_) designSizeHandler_(themeDescriptor_->DesignedWidth(), themeDescriptor_->DesignedHeight());

  // The content descriptors, in this order, each from the base prefix.
  if (!visual_->LoadFromFile(GetBasePrefix())) return false;
  if (!interface_->LoadFromFile(GetBasePrefix())) return false;
  if (!language_->LoadFromFile(GetBasePrefix())) return false;
  if (!audio_->LoadFromFile(GetBasePrefix())) return false;

  if (TKLDLanguageManager* current = CurrentLanguageManager()) current->LoadingComplete();

  visual_->Bitmaps.LoadImages(GetResourcesDir());
  audio_->Sounds.LoadSounds(GetResourcesDir());

  themeLoaded_ = true;
  const TKLDLanguageManager& languages = language_->LanguageManager();
  LogInfo("Theme " + name + " loaded: designed for " + std::to_string(DesignedWidth()) + "x" +
          std::to_string(DesignedHeight()) + ", " + std::to_string(languages.Languages.Count()) +
          " languages, current language " +
          (languages.CurrentLanguage ? languages.CurrentLanguage->Name : std::string("none")));
  return true;
}

bool TKLDThemeManager::LinkDescriptors(const std::string& name) {
  if (!IsUsableName(name)) {
    LogWarn("Cannot link descriptor set \"" + name + "\": not a usable set name");
    return false;
  }
  std::string previous = linkedName_;
  linkedName_ = name;
  int files = 0;
  std::string prefix = GetLinkedPrefix();
  if (FileExists(prefix + kVisualFileName)) files |= kLinkedVisual;
  if (FileExists(prefix + kInterfaceFileName)) files |= kLinkedInterface;
  if (FileExists(prefix + kLanguageFileName)) files |= kLinkedLanguage;
  if (FileExists(prefix + kAudioFileName)) files |= kLinkedAudio;
  linkedName_ = previous;
  linkedFiles_ = files;
  if (files == 0) return false;

  linkedName_ = name;
  UnlinkDescriptors();

  // Overriding descriptors take the base ones as their parents; kinds the set lacks stay base.
  if (files & kLinkedVisual) {
    linkedVisual_ = std::make_unique<TKLDVisualDescriptor>();
    linkedVisual_->LinkBase(*baseVisual_);
    visual_ = linkedVisual_.get();
  }
  if (files & kLinkedInterface) {
    linkedInterface_ = std::make_unique<TKLDInterfaceDescriptor>();
    linkedInterface_->LinkBase(baseInterface_.get());
    interface_ = linkedInterface_.get();
  }
  if (files & kLinkedLanguage) {
    linkedLanguage_ = std::make_unique<TKLDLanguageDescriptor>();
    linkedLanguage_->LinkBase(*baseLanguage_);
    language_ = linkedLanguage_.get();
  }
  if (files & kLinkedAudio) {
    linkedAudio_ = std::make_unique<TKLDAudioDescriptor>();
    linkedAudio_->LinkBase(*baseAudio_);
    audio_ = linkedAudio_.get();
  }
  ConnectActiveDescriptors();

  if (linkedVisual_ && !linkedVisual_->LoadFromFile(GetLinkedPrefix())) return false;
  if (linkedInterface_ && !linkedInterface_->LoadFromFile(GetLinkedPrefix())) return false;
  if (linkedLanguage_ && !linkedLanguage_->LoadFromFile(GetLinkedPrefix())) return false;
  if (linkedAudio_ && !linkedAudio_->LoadFromFile(GetLinkedPrefix())) return false;

  if (linkedVisual_) linkedVisual_->Bitmaps.LoadImages(GetResourcesDir());
  if (linkedAudio_) linkedAudio_->Sounds.LoadSounds(GetResourcesDir());
  LogInfo("Linked descriptor set " + name + " of theme " + themeName_);
  return true;
}

void TKLDThemeManager::UnlinkDescriptors() {
  // Freed in the order language, interface, visual, audio.
  linkedLanguage_.reset();
  language_ = baseLanguage_.get();
  interface_ = baseInterface_.get();
  linkedInterface_.reset();
  visual_ = baseVisual_.get();
  linkedVisual_.reset();
  audio_ = baseAudio_.get();
  linkedAudio_.reset();
  ConnectActiveDescriptors();
}
}  // namespace lorvane
