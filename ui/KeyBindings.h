#pragma once
// Key profiles translate key codes into action names. "KeyBindings.xml" declares the supported
// profiles, names the native profile that catches what the chosen one leaves unbound, and
// fills each profile's bindings.
#include <array>
#include <memory>
#include <string>
#include <vector>

namespace lorvane {

class TKLDKeyProfile {
 public:
  static constexpr int kKeyCount = 256;

  std::string Name;
  std::string Description;
  // Each entry is empty or the key's name, "||" and the action name.
  std::array<std::string, kKeyCount> Bindings;

  void Bind(int keyCode, const std::string& keyName, const std::string& actionName);
  // The action bound to the code, or empty (codes outside 0..255 have none).
  std::string ActionFor(int keyCode) const;
  // The code has an entry, even one whose action name is empty.
  bool IsBound(int keyCode) const {
    return keyCode >= 0 && keyCode < kKeyCount && !Bindings[static_cast<size_t>(keyCode)].empty();
  }
};

class TKLDKeyProfileList {
 public:
  TKLDKeyProfile* Add(const std::string& name, const std::string& description);
  // Case-insensitive; the first of equal names wins.
  TKLDKeyProfile* Find(const std::string& name) const;
  size_t Count() const { return profiles_.size(); }
  TKLDKeyProfile* At(size_t i) const { return profiles_[i].get(); }
  void Clear() { profiles_.clear(); }

 private:
  std::vector<std::unique_ptr<TKLDKeyProfile>> profiles_;
};

// Reads "KeyBindings.xml". Errors raise "Encountered error whilst parsing Key Bindings XML: ...".
class TKLDKeyBindingParser {
 public:
  // Fills the list and returns the native profile's name ("" when none is named).
  std::string Parse(const std::string& fileName, TKLDKeyProfileList& profiles);
  std::string ParseText(const std::string& content, TKLDKeyProfileList& profiles);
  // "0x" and up to three hexadecimal digits, or a decimal number; anything else is 0.
  static int ParseKeyCode(const std::string& text);
};

}  // namespace lorvane
