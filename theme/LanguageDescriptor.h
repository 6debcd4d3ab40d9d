#pragma once
#include <string>

#include "theme/Languages.h"
#include "theme/XmlHelper.h"

namespace lorvane {

// A theme's "LanguageDescriptor.xml": the languages it offers and its native language.
class TKLDLanguageDescriptor {
 public:
  static constexpr const char* kFileName = "LanguageDescriptor.xml";

  // Reads prefix + "LanguageDescriptor.xml" into the manager; true, or raises TKLDException.
  bool LoadFromFile(const std::string& prefix);
  // The same from text in memory; fileName only names it in error messages.
  bool LoadFromText(const std::string& content, const std::string& fileName = kFileName);
  // Makes this descriptor a linked set's over base (see TKLDLanguageManager::LinkBase).
  void LinkBase(TKLDLanguageDescriptor& base);

  TKLDLanguageManager& LanguageManager() { return manager_; }
  const TKLDLanguageManager& LanguageManager() const { return manager_; }

  std::string Name;
  std::string Description;

 private:
  void Load(TKLDXMLHelper& xml);

  TKLDLanguageManager manager_;
};

}  // namespace lorvane
