#include "ui/Actions.h"

#include "theme/XmlHelper.h"
#include "ui/FunctionList.h"

namespace lorvane {

TKLDAction::TKLDAction(const std::string& name) : TKLDUIObject(name) { TagName = "Action"; }

void TKLDAction::InheritFrom(TKLDUIObject& source) {
  auto& action = InheritSource<TKLDAction>(source);
  TKLDUIObject::InheritFrom(source);
  Function = action.Function;
  Target = action.Target;
  Parameter = action.Parameter;
  Final = action.Final;
}

void TKLDAction::SaveAsXML(std::vector<std::string>& lines) {
  WriteComment(lines);
  auto* ancestor = dynamic_cast<TKLDAction*>(GetAncestor());
  std::string attributes;
  if (Function && (!ancestor || Function != ancestor->Function))
    attributes += XmlAttribute("function", Function->Name);
  if (!Target.empty() && (!ancestor || Target != ancestor->Target)) attributes += XmlAttribute("target", Target);
  if (!Parameter.empty() && (!ancestor || Parameter != ancestor->Parameter))
    attributes += XmlAttribute("parameter", Parameter);
  if (!ancestor || Final != ancestor->Final) attributes += XmlAttribute("final", YesNo(Final));
  lines.push_back(IndentText(Depth + 1) + SelfClosingTag(*this, attributes));
}

bool TKLDAction::MakeQueueItem(TKLDActionQueueItem& item) const {
  if (!Function) return false;
  item = {Function->Name, Target, Parameter};
  return true;
}

TKLDActionList::TKLDActionList(const std::string& listName) {
  ListName = listName;
  ItemClass = &CreateUIObject<TKLDAction>;
  ManagedObjects = &ManagedObjectsOf<TKLDActionList>();
  SpaceObjects = false;
}

TKLDAction* TKLDActionList::CreateAction(const std::string& inheritName, const std::string& name) {
  return static_cast<TKLDAction*>(CreateWithInherit(inheritName, name));
}

std::vector<TKLDAction*> TKLDActionList::FindActions(const std::string& name) const {
  std::vector<TKLDAction*> found;
  const std::string key = FoldCase(name);
  // The list's own matches come first, then those of the parent list (the same list of the base
  // theme): an overriding descriptor adds to the base's reactions rather than hiding them.
  const TKLDUIObjectList* lists[] = {this, ParentList != this ? ParentList : nullptr};
  for (const TKLDUIObjectList* list : lists) {
    if (!list) continue;
    for (int i = 0; i < list->Count(); ++i)
      if (FoldCase(list->NameAt(i)) == key)
        if (auto* action = dynamic_cast<TKLDAction*>(list->Object(i))) found.push_back(action);
  }
  return found;
}

int TKLDActionList::WrittenCount() const {
  int count = 0;
  for (int i = 0; i < Count(); ++i)
    if (TKLDAction* action = ActionAt(i); action && action->WriteBack) ++count;
  return count;
}

void TKLDActionList::SaveAsXML(std::vector<std::string>& lines) {
  if (WrittenCount() == 0) return;
  // The built-in actions are left out by writing a list of the others only.
  TKLDActionList written(ListName);
  written.Depth = Depth;
  written.Description = Description;
  written.Comment = Comment;
  written.SpaceObjects = SpaceObjects;
  written.ManagedObjects = ManagedObjects;
  for (int i = 0; i < Count(); ++i)
    if (TKLDAction* action = ActionAt(i); action && action->WriteBack) written.Add(NameAt(i), action);
  written.TKLDUIObjectList::SaveAsXML(lines);
}

}  // namespace lorvane
