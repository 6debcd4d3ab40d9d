#include "ui/KeyBindings.h"

#include <cctype>

#include "base/KLDTypes.h"
#include "theme/XmlHelper.h"

namespace lorvane {

namespace {
const char* const kSeparator = "||";

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

std::string Trim(const std::string& text) {
  size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = text.find_last_not_of(" \t\r\n");
  return text.substr(b, e - b + 1);
}

void Fail(const std::string& detail) {
  throw TKLDException("Encountered error whilst parsing Key Bindings XML: " + detail);
}

std::string ParseDocument(TKLDXMLHelper& xml, TKLDKeyProfileList& profiles) {
  TKLDXmlNode root;
  if (!xml.FindRootNode("KeyBindings", root)) Fail("Missing KeyBindings start tag");
  std::string nativeName;
  TKLDXmlNode section;
  while (xml.NextElement(root, section)) {
    std::string kind = xml.CurrentNodeName();
    if (kind == "SupportedKeyProfiles") {
      TKLDXmlNode profile;
      while (xml.FindElement(section, profile, "Profile"))
        profiles.Add(xml.GetAttribute("name"), xml.GetValue());
    } else if (kind == "NativeKeyProfile") {
      TKLDXmlNode profile;
      if (!xml.FindElement(section, profile, "Profile")) Fail("Missing Native KeyProfile definition KeyProfile tag");
      std::string name = xml.GetAttribute("name");
      nativeName = profiles.Find(name) ? name : std::string();
    } else if (kind == "KeyProfiles") {
      TKLDXmlNode profileNode;
      while (xml.FindElement(section, profileNode, "Profile")) {
        std::string name = xml.GetAttribute("name");
        TKLDKeyProfile* profile = profiles.Find(name);
        if (!profile) Fail("Unsupported KeyProfile definition found: " + name);
        TKLDXmlNode key;
        while (xml.FindElement(profileNode, key, "ActionKey")) {
          profile->Bind(TKLDKeyBindingParser::ParseKeyCode(xml.GetValue()), xml.GetAttribute("keyname"),
                        xml.GetAttribute("name"));
        }
      }
    } else {
      Fail("Unknown content type within KeyBindings");
    }
  }
  return nativeName;
}
}  // namespace

void TKLDKeyProfile::Bind(int keyCode, const std::string& keyName, const std::string& actionName) {
  if (keyCode < 0 || keyCode >= kKeyCount) return;
  Bindings[static_cast<size_t>(keyCode)] = keyName + kSeparator + actionName;
}

std::string TKLDKeyProfile::ActionFor(int keyCode) const {
  if (keyCode < 0 || keyCode >= kKeyCount) return "";
  const std::string& entry = Bindings[static_cast<size_t>(keyCode)];
  size_t at = entry.find(kSeparator);
  return at == std::string::npos ? std::string() : entry.substr(at + 2);
}

TKLDKeyProfile* TKLDKeyProfileList::Add(const std::string& name, const std::string& description) {
  auto profile = std::make_unique<TKLDKeyProfile>();
  profile->Name = name;
  profile->Description = description;
  profiles_.push_back(std::move(profile));
  return profiles_.back().get();
}

TKLDKeyProfile* TKLDKeyProfileList::Find(const std::string& name) const {
  for (const auto& p : profiles_)
    if (SameText(p->Name, name)) return p.get();
  return nullptr;
}

int TKLDKeyBindingParser::ParseKeyCode(const std::string& raw) {
  std::string text = Trim(raw);
  if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    std::string digits = text.substr(2, 3);
    if (digits.empty()) return 0;
    int value = 0;
    for (char c : digits) {
      int d;
      if (c >= '0' && c <= '9') d = c - '0';
      else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
      else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
      else return 0;
      value = value * 16 + d;
    }
    return value;
  }
  int value = 0;
  return TryParseInteger(text, value) ? value : 0;
}

std::string TKLDKeyBindingParser::Parse(const std::string& fileName, TKLDKeyProfileList& profiles) {
  TKLDXMLHelper xml;
  try {
    xml.Create(fileName);
  } catch (const std::exception& e) {
    Fail(e.what());
  }
  return ParseDocument(xml, profiles);
}

std::string TKLDKeyBindingParser::ParseText(const std::string& content, TKLDKeyProfileList& profiles) {
  TKLDXMLHelper xml;
  try {
    xml.CreateFromText(content, "KeyBindings.xml");
  } catch (const std::exception& e) {
    Fail(e.what());
  }
  return ParseDocument(xml, profiles);
}

}  // namespace lorvane
