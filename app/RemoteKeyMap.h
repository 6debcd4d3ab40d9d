#pragma once
// What a button of a remote control means: the virtual-key code it stands for, the same numbers
// "KeyBindings.xml" binds. Read from a small file in the configuration folder, one per kind of
// remote: "LircButtons.xml" names lircd's buttons, "CecKeys.xml" numbers the TV's user control
// codes.
//
//   <LircButtons>
//     <Button name="KEY_UP" key="0x26" repeat="yes"/>
//   </LircButtons>
//   <CecKeys>
//     <Button code="0x01" name="Up" key="0x26" repeat="yes"/>
//   </CecKeys>
//   <GamepadButtons deadzone="30" threshold="60">
//     <Button name="leftx-" key="0x25" repeat="yes"/>
//   </GamepadButtons>
//
// "key" is read as "KeyBindings.xml" reads key codes (0x hexadecimal or decimal). "repeat" says
// whether holding the button down repeats the key (navigation and volume) or not (play/pause).
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace lorvane {

struct TRemoteKey {
  int keyCode = 0;
  bool repeats = false;
};

class TRemoteKeyMap {
 public:
  static const char* const kLircFile;
  static const char* const kCecFile;
  static const char* const kGamepadFile;

  // What a kind of remote asks of its file beyond the common rules.
  struct Rules {
    // The name a button is known by, or empty when the remote has no such button (the entry is
    // then skipped with a warning). Without it any name goes, as given.
    std::function<std::string(const std::string&)> buttonName;
    // Attributes of the root element that are kept (see Setting).
    std::vector<std::string> settings;
  };

  // Reads `path`, whose root element must be `rootName`. Entries that cannot be used (no name
  // or code, a key outside 1-255, a "repeat" other than yes or no, a name `rules` refuses) are
  // skipped with a line in `warnings`. False with the reason when the file is missing or is not
  // such a file.
  bool Load(const std::string& path, const std::string& rootName, std::vector<std::string>& warnings,
            std::string& problem, const Rules& rules = {});

  // The text of a root attribute named in the rules; empty when the file does not give it.
  std::string Setting(const std::string& name) const;

  // The button named `name` (lircd's names, compared without regard to case); null when unknown.
  const TRemoteKey* Find(const std::string& name) const;
  // The button with the numeric code `code` (CEC's user control codes); null when unknown.
  const TRemoteKey* FindCode(int code) const;
  size_t Size() const { return byName_.size() + byCode_.size(); }

 private:
  std::map<std::string, TRemoteKey> byName_;  // upper-cased names
  std::map<int, TRemoteKey> byCode_;
  std::map<std::string, std::string> settings_;
};

}  // namespace lorvane
