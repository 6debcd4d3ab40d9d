#include "ui/Macros.h"

#include <algorithm>

#include "theme/XmlHelper.h"
#include "ui/FunctionList.h"

namespace lorvane {

TKLDMacro::TKLDMacro(const std::string& name) : TKLDUIObject(name) { TagName = "Macro"; }

void TKLDMacro::InheritFrom(TKLDUIObject& source) {
  auto& macro = InheritSource<TKLDMacro>(source);
  TKLDUIObject::InheritFrom(source);
  Steps = macro.Steps;
}

void TKLDMacro::AddStep(const std::string& functionName, const std::string& target,
                        const std::string& parameter) {
  TKLDMacroFunction step;
  step.FunctionName = functionName;
  step.Target = target;
  step.Parameter = parameter;
  Steps.push_back(step);
}

bool TKLDMacro::QueueItems(std::vector<TKLDActionQueueItem>& items) const {
  for (const TKLDMacroFunction& step : Steps) {
    if (step.FunctionName.empty()) return false;
    items.push_back(step);
  }
  return true;
}

void TKLDMacro::SaveXMLBody(std::vector<std::string>& lines) {
  auto* ancestor = dynamic_cast<TKLDMacro*>(GetAncestor());
  // Steps read from the file are appended to the inherited ones, so only the added ones are written.
  size_t first = 0;
  if (ancestor && ancestor->Steps.size() <= Steps.size() &&
      std::equal(ancestor->Steps.begin(), ancestor->Steps.end(), Steps.begin()))
    first = ancestor->Steps.size();
  for (size_t i = first; i < Steps.size(); ++i) {
    const TKLDMacroFunction& step = Steps[i];
    std::string line = IndentText(2) + "<Function" + XmlAttribute("name", step.FunctionName);
    if (!step.Target.empty()) line += XmlAttribute("target", step.Target);
    if (!step.Parameter.empty()) line += XmlAttribute("parameter", step.Parameter);
    lines.push_back(line + "/>");
  }
}

TKLDMacroList::TKLDMacroList() {
  ListName = "GlobalMacros";
  ItemClass = &CreateUIObject<TKLDMacro>;
  ManagedObjects = &ManagedObjectsOf<TKLDMacroList>();
}

}  // namespace lorvane
