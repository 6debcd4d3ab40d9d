#pragma once
// Languages of a theme and the lookup of every text the user reads.
//
// Controls carry text codes; TKLDLanguageManager::GetText turns a code into the text of the
// current language, falling back to the native language and then, for a linked descriptor set,
// to the base theme's manager. The theme manager keeps CurrentLanguageManager() pointing at the
// active language descriptor's manager; metadata text codes ("^[key]") are answered through it.

#include <string>
#include <vector>

#include "theme/UIObjects.h"

namespace lorvane {

class TKLDLanguage : public TKLDUIObject {
 public:
  explicit TKLDLanguage(const std::string& name);

  // Adds code "=" text, keeping the entries sorted ignoring case; an entry equal to one present
  // (ignoring case) is not added again, but one code may carry several texts.
  void AddText(const std::string& code, const std::string& text);
  // The text of the first entry, in sorted order, whose code matches ignoring case; "" when none.
  std::string FindText(const std::string& code) const;
  void SaveXMLBody(std::vector<std::string>& lines) override;

  int TextCount() const { return static_cast<int>(texts_.size()); }
  // The entry code "=" text at a sorted position.
  const std::string& TextEntry(int i) const { return texts_[i].entry; }

 private:
  struct Entry {
    std::string key;    // FoldCase(entry), what the order and the lookups compare
    std::string entry;  // code "=" text as added
  };
  std::vector<Entry> texts_;
};

class TKLDLanguageList : public TKLDUIObjectList {
 public:
  TKLDLanguageList();

  // Lookup of the name here, then in the parent list.
  TKLDLanguage* FindLanguage(const std::string& name) const { return FindAs<TKLDLanguage>(name); }
  // The language of that name when this list holds one, else a new one inheriting from
  // inheritName (when that names a language).
  TKLDLanguage* FindOrCreateLanguage(const std::string& inheritName, const std::string& name);
  TKLDLanguage* Language(int index) const { return dynamic_cast<TKLDLanguage*>(Object(index)); }
};

class TKLDLanguageManager {
 public:
  TKLDLanguageManager();
  ~TKLDLanguageManager();
  TKLDLanguageManager(const TKLDLanguageManager&) = delete;
  TKLDLanguageManager& operator=(const TKLDLanguageManager&) = delete;

  // Makes this manager the linked set's manager over base: the base's languages stay reachable
  // through the parent list, the current and native languages are taken over, and every code
  // the set does not define is answered by base.
  void LinkBase(TKLDLanguageManager* base);
  // Chooses the current and native languages once a theme has loaded.
  void LoadingComplete();
  // After a linked set has loaded: its own languages that share a name with the current or
  // native language take their place, so that the set's texts come first.
  void LinkingComplete();
  // The current language becomes the one of that name (none when the theme lacks it), here and
  // in the base manager.
  void SelectLanguage(const std::string& name);
  std::string GetCurrentLanguageName() const;
  std::string GetText(const std::string& code) const;
  // Every language name once, in list order (base languages first for a linked set).
  std::vector<std::string> LanguageNames() const;

  TKLDLanguage* CurrentLanguage = nullptr;  // not owned
  TKLDLanguage* NativeLanguage = nullptr;   // not owned
  TKLDLanguageList Languages;
  std::string ChosenLanguageName;
  std::string NativeLanguageName;
  TKLDLanguageManager* BaseManager = nullptr;  // not owned
};

// The manager every text lookup goes to; null when no theme manager exists.
TKLDLanguageManager* CurrentLanguageManager();
void SetCurrentLanguageManager(TKLDLanguageManager* manager);

}  // namespace lorvane
