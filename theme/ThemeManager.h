#pragma once
// Finds themes on disk and loads one: its "ThemeDescriptor.xml", then its content descriptors
// (visual, interface, language, audio) from the files prefixed "base-", and on request a linked
// descriptor set whose files (prefixed with the set's name and "-") override the base ones.
//
// Every content descriptor has the same places in this class:
//   - an owned base descriptor created in the constructor and an active pointer;
//   - a step in LoadTheme (load from GetBasePrefix, then any files it names: bitmaps, sounds);
//   - a step in LinkDescriptors (create, LinkBase to the base one, load from GetLinkedPrefix);
//   - a step in UnlinkDescriptors (free the override, make the base one active again).

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "theme/AudioDescriptor.h"
#include "theme/LanguageDescriptor.h"
#include "theme/ThemeDescriptor.h"
#include "theme/VisualDescriptor.h"

namespace lorvane {

class TKLDInterfaceDescriptor;

class TKLDThemeManager {
 public:
  // Bits of LinkedFiles: which descriptor files the set being linked provides.
  enum : int { kLinkedVisual = 1, kLinkedInterface = 2, kLinkedLanguage = 4, kLinkedAudio = 8 };

  static constexpr const char* kBaseSetName = "base";
  static constexpr const char* kVisualFileName = "VisualDescriptor.xml";
  static constexpr const char* kInterfaceFileName = "InterfaceDescriptor.xml";
  static constexpr const char* kLanguageFileName = "LanguageDescriptor.xml";
  static constexpr const char* kAudioFileName = "AudioDescriptor.xml";

  // Receives the theme's designed size when a theme loads (the screen scales every theme
  // length against it).
  using DesignSizeHandler = std::function<void(int width, int height)>;

  // Creates the descriptors; the base language manager becomes the current one.
  TKLDThemeManager();
  ~TKLDThemeManager();
  TKLDThemeManager(const TKLDThemeManager&) = delete;
  TKLDThemeManager& operator=(const TKLDThemeManager&) = delete;

  // The themes folder (preference "ThemesURL"); a missing trailing "/" is added.
  void SetThemesDirectory(const std::string& directory);
  const std::string& ThemesDirectory() const { return themesDirectory_; }
  // The user's language (preference "LanguageName"), chosen when the theme has loaded.
  void SetLanguageName(const std::string& name);
  void SetDesignSizeHandler(DesignSizeHandler handler) { designSizeHandler_ = std::move(handler); }

  // Names in the themes folder not starting with ".", sorted ignoring letter case so the list
  // reads the same on every file system.
  const std::vector<std::string>& ListThemes();
  const std::vector<std::string>& ThemeList() const { return themeList_; }

  std::string GetThemeDir() const;
  std::string GetBasePrefix() const;
  std::string GetLinkedPrefix() const;
  std::string GetResourcesDir() const;

  // Loads the named theme into the base descriptors. Returns false only when the theme
  // descriptor declines; raises TKLDException with the loader's message on any error
  // (missing files, malformed XML, an unusable theme name).
  bool LoadTheme(const std::string& name);
  // Replaces the active descriptors by those the set provides. False, changing nothing, when
  // the set has no descriptor file; a loader's error propagates.
  bool LinkDescriptors(const std::string& name);
  // Frees every overriding descriptor; the base ones become active again.
  void UnlinkDescriptors();

  const std::string& ThemeName() const { return themeName_; }
  const std::string& LinkedName() const { return linkedName_; }
  int LinkedFiles() const { return linkedFiles_; }
  bool ThemeLoaded() const { return themeLoaded_; }

  TKLDThemeDescriptor& ThemeDescriptor() { return *themeDescriptor_; }
  int DesignedWidth() const { return themeDescriptor_->DesignedWidth(); }
  int DesignedHeight() const { return themeDescriptor_->DesignedHeight(); }

  TKLDLanguageDescriptor& BaseLanguage() { return *baseLanguage_; }
  // The active language descriptor: the linked set's when it provides one, else the base.
  TKLDLanguageDescriptor& Language() { return *language_; }
  TKLDVisualDescriptor& BaseVisual() { return *baseVisual_; }
  // The active visual descriptor: the linked set's when it provides one, else the base.
  TKLDVisualDescriptor& Visual() { return *visual_; }
  TKLDInterfaceDescriptor& BaseInterface() { return *baseInterface_; }
  // The active interface descriptor: the linked set's when it provides one, else the base.
  TKLDInterfaceDescriptor& Interface() { return *interface_; }
  TKLDAudioDescriptor& BaseAudio() { return *baseAudio_; }
  // The active audio descriptor: the linked set's when it provides one, else the base.
  TKLDAudioDescriptor& Audio() { return *audio_; }

 private:
  // Theme and set names become folder and file names: nothing that leaves the themes folder.
  static bool IsUsableName(const std::string& name);
  // Points the interface descriptors at the active visual one and makes the active language
  // manager current.
  void ConnectActiveDescriptors();

  std::string themesDirectory_;
  std::string themeName_;
  std::string linkedName_;
  std::vector<std::string> themeList_;
  int linkedFiles_ = 0;
  bool themeLoaded_ = false;
  std::string languageName_;
  DesignSizeHandler designSizeHandler_;

  std::unique_ptr<TKLDThemeDescriptor> themeDescriptor_;
  std::unique_ptr<TKLDVisualDescriptor> baseVisual_;
  std::unique_ptr<TKLDVisualDescriptor> linkedVisual_;
  TKLDVisualDescriptor* visual_ = nullptr;
  std::unique_ptr<TKLDInterfaceDescriptor> baseInterface_;
  std::unique_ptr<TKLDInterfaceDescriptor> linkedInterface_;
  TKLDInterfaceDescriptor* interface_ = nullptr;
  std::unique_ptr<TKLDLanguageDescriptor> baseLanguage_;
  std::unique_ptr<TKLDLanguageDescriptor> linkedLanguage_;
  TKLDLanguageDescriptor* language_ = nullptr;
  std::unique_ptr<TKLDAudioDescriptor> baseAudio_;
  std::unique_ptr<TKLDAudioDescriptor> linkedAudio_;
  TKLDAudioDescriptor* audio_ = nullptr;
};

}  // namespace lorvane
