#include "theme/Languages.h"

#include <algorithm>

#include "metadata/MetaData.h"
#include "theme/XmlHelper.h"

namespace lorvane {

namespace {

TKLDLanguageManager* gCurrentLanguageManager = nullptr;

std::string CodeOf(const std::string& entry) { return entry.substr(0, entry.find('=')); }

std::string TextOf(const std::string& entry) {
  size_t eq = entry.find('=');
  return eq == std::string::npos ? std::string() : entry.substr(eq + 1);
}

}  // namespace

TKLDLanguageManager* CurrentLanguageManager() { return gCurrentLanguageManager; }
void SetCurrentLanguageManager(TKLDLanguageManager* manager) { gCurrentLanguageManager = manager; }

// ---------------------------------------------------------------- TKLDLanguage

TKLDLanguage::TKLDLanguage(const std::string& name) : TKLDUIObject(name) { TagName = "Language"; }

void TKLDLanguage::AddText(const std::string& code, const std::string& text) {
  std::string entry = code + "=" + text;
  std::string key = FoldCase(entry);
  auto pos = std::lower_bound(texts_.begin(), texts_.end(), key,
                              [](const Entry& e, const std::string& k) { return e.key < k; });
  if (pos != texts_.end() && pos->key == key) return;
  texts_.insert(pos, Entry{std::move(key), std::move(entry)});
}

std::string TKLDLanguage::FindText(const std::string& code) const {
  // Entries of one code share the prefix code "=", so they stand together from the first entry
  // not below it.
  std::string prefix = FoldCase(code) + "=";
  auto pos = std::lower_bound(texts_.begin(), texts_.end(), prefix,
                              [](const Entry& e, const std::string& k) { return e.key < k; });
  for (; pos != texts_.end() && pos->key.compare(0, prefix.size(), prefix) == 0; ++pos) {
    // A code holding "=" cannot match: the code of an entry ends at its first "=".
    if (CodeOf(pos->key).size() + 1 == prefix.size()) return TextOf(pos->entry);
  }
  return std::string();
}

void TKLDLanguage::SaveXMLBody(std::vector<std::string>& lines) {
  for (const Entry& e : texts_)
    lines.push_back(IndentText(Depth + 2) + "<Text name=\"" + EncodeXml(CodeOf(e.entry)) + "\">" +
                    EncodeXml(TextOf(e.entry)) + "</Text>");
}

// ---------------------------------------------------------------- TKLDLanguageList

TKLDLanguageList::TKLDLanguageList() {
  ListName = "Languages";
  ItemClass = &CreateUIObject<TKLDLanguage>;
  ManagedObjects = &ManagedObjectsOf<TKLDLanguageList>();
}

TKLDLanguage* TKLDLanguageList::FindOrCreateLanguage(const std::string& inheritName, const std::string& name) {
  // Only this list's own languages are reused. A linked set naming a base language gets a
  // language of its own, so that its texts override the base ones and vanish with the set.
  int index = IndexOf(name);
  if (index >= 0) {
    if (auto* own = dynamic_cast<TKLDLanguage*>(Object(index))) return own;
  }
  return dynamic_cast<TKLDLanguage*>(CreateWithInherit(inheritName, name));
}

// ---------------------------------------------------------------- TKLDLanguageManager

TKLDLanguageManager::TKLDLanguageManager() = default;

TKLDLanguageManager::~TKLDLanguageManager() {
  if (gCurrentLanguageManager == this) gCurrentLanguageManager = BaseManager;
}

void TKLDLanguageManager::LinkBase(TKLDLanguageManager* base) {
  BaseManager = base;
  Languages.ParentList = base ? &base->Languages : nullptr;
  if (!base) return;
  CurrentLanguage = base->CurrentLanguage;
  NativeLanguage = base->NativeLanguage;
  ChosenLanguageName = base->ChosenLanguageName;
  NativeLanguageName = base->NativeLanguageName;
}

void TKLDLanguageManager::LoadingComplete() {
  CurrentLanguage = nullptr;
  if (!ChosenLanguageName.empty()) CurrentLanguage = Languages.FindLanguage(ChosenLanguageName);
  if (!NativeLanguageName.empty()) NativeLanguage = Languages.FindLanguage(NativeLanguageName);
  if (!NativeLanguage && Languages.TotalCount() > 0) {
    NativeLanguage = Languages.Language(0);
    if (NativeLanguage) NativeLanguageName = NativeLanguage->Name;
  }
  if (!CurrentLanguage) CurrentLanguage = NativeLanguage;
}

void TKLDLanguageManager::LinkingComplete() {
  auto own = [this](TKLDLanguage* language) -> TKLDLanguage* {
    if (!language) return nullptr;
    int index = Languages.IndexOf(language->Name);
    return index >= 0 ? Languages.Language(index) : language;
  };
  CurrentLanguage = own(CurrentLanguage);
  NativeLanguage = own(NativeLanguage);
}

void TKLDLanguageManager::SelectLanguage(const std::string& name) {
  CurrentLanguage = Languages.FindLanguage(name);
  if (BaseManager) BaseManager->SelectLanguage(name);
}

std::string TKLDLanguageManager::GetCurrentLanguageName() const {
  return CurrentLanguage ? CurrentLanguage->Name : std::string();
}

std::vector<std::string> TKLDLanguageManager::LanguageNames() const {
  std::vector<std::string> names;
  auto add = [&names](const TKLDUIObjectList& list) {
    for (int i = 0; i < list.Count(); ++i) {
      const std::string& name = list.NameAt(i);
      if (std::none_of(names.begin(), names.end(), [&](const std::string& n) { return SameText(n, name); }))
        names.push_back(name);
    }
  };
  if (Languages.ParentList) add(*Languages.ParentList);
  add(Languages);
  return names;
}

std::string TKLDLanguageManager::GetText(const std::string& code) const {
  if (!CurrentLanguage || !NativeLanguage) return "Nil language object!";
  std::string text = CurrentLanguage->FindText(code);
  if (text.empty()) text = NativeLanguage->FindText(code);
  if (text.empty()) {
    if (!BaseManager) return "Unknown text code: " + code;
    // The base manager's answer is already expanded; expanding it again would substitute
    // references that a metadata value carries as plain text.
    return BaseManager->GetText(code);
  }
  if (text.find('^') != std::string::npos) {
    if (TKLDMetaDataManager* meta = GlobalMetaDataManager()) text = meta->ExpandMetadata(text);
  }
  return text;
}

}  // namespace lorvane
