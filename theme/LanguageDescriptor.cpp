#include "theme/LanguageDescriptor.h"

#include "base/KLDTypes.h"
#include "theme/XmlHelper.h"

namespace lorvane {

namespace {

[[noreturn]] void RaiseError(const std::string& text) {
  throw TKLDException("Encountered error whilst parsing Language Descriptor XML: " + text);
}

}  // namespace

void TKLDLanguageDescriptor::LinkBase(TKLDLanguageDescriptor& base) { manager_.LinkBase(&base.manager_); }

bool TKLDLanguageDescriptor::LoadFromFile(const std::string& prefix) {
  TKLDXMLHelper xml(prefix + kFileName);
  Load(xml);
  return true;
}

bool TKLDLanguageDescriptor::LoadFromText(const std::string& content, const std::string& fileName) {
  TKLDXMLHelper xml;
  xml.CreateFromText(content, fileName);
  Load(xml);
  return true;
}

void TKLDLanguageDescriptor::Load(TKLDXMLHelper& xml) {
  TKLDXmlNode root;
  if (!xml.FindRootNode("LanguageDescriptor", root)) RaiseError("Missing LanguageDescriptor start tag");
  Name = xml.GetAttribute("name");
  Description = xml.GetAttribute("description");

  TKLDLanguageList& languages = manager_.Languages;
  TKLDXmlNode section;
  while (xml.NextElement(root, section)) {
    const std::string element = xml.CurrentNodeName();
    if (element == "SupportedLanguages") {
      // Documents the languages for people reading the file; the "Languages" section is what counts.
    } else if (element == "NativeLanguage") {
      std::string name;
      if (!xml.GetChildAttribute("Language", "name", name)) RaiseError("Missing Native Language definition Language tag");
      manager_.NativeLanguageName = name;
    } else if (element == "Languages") {
      languages.ReadSectionHeader(xml);
      TKLDXmlNode node;
      while (xml.FindElement(section, node, "Language")) {
        std::string name = xml.GetAttribute("name");
        std::string inherit = xml.GetAttribute("inherit");
        std::string description = xml.GetAttribute("description");
        std::string comment = xml.CurrentComment();
        TKLDLanguage* language = languages.FindOrCreateLanguage(inherit, name);
        if (!description.empty()) language->Description = description;
        if (!comment.empty()) language->Comment = comment;
        if (language->Description.empty()) language->Description = name;
        TKLDXmlNode text;
        while (xml.FindElement(node, text, "Text")) language->AddText(xml.GetAttribute("name"), xml.GetValue());
      }
    } else {
      RaiseError("Unknown content type within LanguageDescriptor");
    }
  }
  // A linked set's own languages take the place of the base ones they share a name with.
  if (manager_.BaseManager) manager_.LinkingComplete();
}

}  // namespace lorvane
