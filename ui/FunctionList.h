#pragma once
// The theme functions a theme declares: a name that selects one of the program's verbs and the
// kind of target it takes. Running them is the function executor's business (ui/Functions.h).

#include <string>
#include <vector>

#include "theme/UIObjects.h"

namespace lorvane {

enum class TKLDTargetKind { None, Screen, Descriptor, Text, Control, Sound, Value, Meta, Macro, Playlist };

// "screen", "descriptor", ... ; false for any other text (none has no word).
bool ParseTargetKind(const std::string& text, TKLDTargetKind& kind);
std::string TargetKindName(TKLDTargetKind kind);

class TKLDFunction : public TKLDUIObject {
 public:
  explicit TKLDFunction(const std::string& name);

  void InheritFrom(TKLDUIObject& source) override;
  void SaveAsXML(std::vector<std::string>& lines) override;

  TKLDTargetKind TargetKind = TKLDTargetKind::None;
};

class TKLDFunctionList : public TKLDUIObjectList {
 public:
  TKLDFunctionList();
  TKLDFunction* FindFunction(const std::string& name) const { return FindAs<TKLDFunction>(name); }
  // One line per own function: name, " - ", description (the console's listing).
  void ListFunctions(std::vector<std::string>& lines) const;
};

}  // namespace lorvane
