#include "app/RemoteKeyMap.h"

#include <exception>

#include "theme/XmlHelper.h"

namespace lorvane {

const char* const TRemoteKeyMap::kLircFile = "LircButtons.xml";
const char* const TRemoteKeyMap::kCecFile = "CecKeys.xml";
const char* const TRemoteKeyMap::kGamepadFile = "GamepadButtons.xml";

namespace {

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string Trimmed(const std::string& text) {
  size_t b = text.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  return text.substr(b, text.find_last_not_of(" \t\r\n") - b + 1);
}

// "0x" hexadecimal or decimal, whole and at most 0xFFFF; anything else is refused rather than
// read as 0, which is a real CEC code ("Select").
bool ParseNumber(const std::string& raw, int& value) {
  std::string text = Trimmed(raw);
  int base = 10;
  size_t at = 0;
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    at = 2;
  }
  if (at >= text.size() || text.size() - at > 5) return false;
  value = 0;
  for (; at < text.size(); ++at) {
    char c = text[at];
    int d;
    if (c >= '0' && c <= '9') d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') d = c - 'A' + 10;
    else return false;
    value = value * base + d;
  }
  return value <= 0xFFFF;
}

}  // namespace

bool TRemoteKeyMap::Load(const std::string& path, const std::string& rootName, std::vector<std::string>& warnings,
                         std::string& problem, const Rules& rules) {
  byName_.clear();
  byCode_.clear();
  settings_.clear();
  try {
    TKLDXMLHelper xml(path);
    TKLDXmlNode root;
    if (!xml.FindRootNode(rootName, root)) {
      problem = path + " has no " + rootName + " root element";
      return false;
    }
    for (const std::string& setting : rules.settings) {
      std::string value = xml.GetAttribute(setting);
      if (!value.empty()) settings_[setting] = value;
    }
    TKLDXmlNode node;
    while (xml.NextElement(root, node)) {
      const std::string where = path + ": ";
      if (xml.CurrentNodeName() != "Button") {
        warnings.push_back(where + "ignoring the unknown element " + xml.CurrentNodeName());
        continue;
      }
      TRemoteKey key;
      std::string keyText = xml.GetAttribute("key");
      if (!ParseNumber(keyText, key.keyCode) || key.keyCode < 1 || key.keyCode > 255) {
        warnings.push_back(where + "ignoring a button whose key \"" + keyText + "\" is not a key code from 1 to 255");
        continue;
      }
      std::string repeat = xml.GetAttribute("repeat");
      if (!repeat.empty() && repeat != "yes" && repeat != "no") {
        warnings.push_back(where + "ignoring a button whose repeat \"" + repeat + "\" is neither yes nor no");
        continue;
      }
      key.repeats = repeat == "yes";
      std::string codeText = xml.GetAttribute("code");
      std::string name = Trimmed(xml.GetAttribute("name"));
      if (rules.buttonName && codeText.empty() && !name.empty()) {
        std::string known = rules.buttonName(name);
        if (known.empty()) {
          warnings.push_back(where + "ignoring the unknown button \"" + name + "\"");
          continue;
        }
        name = known;
      }
      if (!codeText.empty()) {
        int code = 0;
        if (!ParseNumber(codeText, code)) {
          warnings.push_back(where + "ignoring a button whose code \"" + codeText + "\" is not a number");
          continue;
        }
        byCode_[code] = key;  // the later of two entries wins, as in "KeyBindings.xml"
      } else if (!name.empty()) {
        byName_[Upper(name)] = key;
      } else {
        warnings.push_back(where + "ignoring a button with neither a name nor a code");
      }
    }
  } catch (const std::exception& e) {
    byName_.clear();
    byCode_.clear();
    settings_.clear();
    problem = e.what();
    return false;
  }
  return true;
}

std::string TRemoteKeyMap::Setting(const std::string& name) const {
  auto found = settings_.find(name);
  return found == settings_.end() ? std::string() : found->second;
}

const TRemoteKey* TRemoteKeyMap::Find(const std::string& name) const {
  auto found = byName_.find(Upper(name));
  return found == byName_.end() ? nullptr : &found->second;
}

const TRemoteKey* TRemoteKeyMap::FindCode(int code) const {
  auto found = byCode_.find(code);
  return found == byCode_.end() ? nullptr : &found->second;
}

}  // namespace lorvane
