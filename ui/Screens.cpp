#include "ui/Screens.h"

#include <algorithm>

#include "metadata/MetaData.h"
#include "theme/XmlHelper.h"
#include "ui/FunctionList.h"

namespace lorvane {

// ---------------------------------------------------------------- screens

TKLDScreenLayout::TKLDScreenLayout(const std::string& name) : TKLDUIObject(name) { TagName = "Screen"; }

void TKLDScreenLayout::InheritFrom(TKLDUIObject& source) {
  auto& screen = InheritSource<TKLDScreenLayout>(source);
  TKLDUIObject::InheritFrom(source);
  Actions.Assign(screen.Actions);
  Containers = screen.Containers;
  MetaInformation.Assign(screen.MetaInformation);
  SetDefaultControl(screen.DefaultControl ? screen.DefaultControl->Name : std::string());
}

void TKLDScreenLayout::CollectControls() {
  Controls.clear();
  for (TKLDContainer* container : Containers)
    if (container)
      for (TKLDControl* control : container->Contents)
        if (control) Controls.push_back(control);
  CollectFocusable();
}

void TKLDScreenLayout::CollectFocusable() {
  Focusable.clear();
  for (TKLDControl* control : Controls)
    if (auto* interactive = dynamic_cast<TKLDInteractiveControl*>(control); interactive && interactive->Focusable())
      Focusable.push_back(interactive);
}

void TKLDScreenLayout::RebuildControls() {
  CollectControls();
  RebuildFocusable();
}

void TKLDScreenLayout::RebuildFocusableList() {
  CollectFocusable();
  auto focusable = [&](TKLDInteractiveControl* control) {
    return control && std::find(Focusable.begin(), Focusable.end(), control) != Focusable.end();
  };
  if (!focusable(FocusedControl)) {
    FocusedControl = LastFocus = DefaultControl;
    if (!focusable(DefaultControl)) FocusedControl = nullptr;
  }
}

TKLDInteractiveControl* TKLDScreenLayout::RebuildFocusable() {
  TKLDInteractiveControl* old = FocusedControl;
  RebuildFocusableList();
  // The focus moved away from a control that can no longer have it: its look and the hint
  // follow, or a hidden button would show as focused again when it comes back.
  if (old != FocusedControl) {
    if (old) {
      old->Focused = false;
      old->Drawn = false;
    }
    if (FocusedControl) {
      FocusedControl->Focused = true;
      FocusedControl->Drawn = false;
      if (TKLDMetaDataManager* meta = GlobalMetaDataManager())
        meta->SetValue("application.hint", FocusedControl->GetHintText());
    }
  }
  return FocusedControl;
}

void TKLDScreenLayout::SetDefaultControl(const std::string& name) {
  // Only the lists: rebuilding the focus here would hand it to the default set before (an
  // inherited one), whose flag and hint would stay and whose "onunfocus" would follow later.
  CollectControls();
  DefaultControl = nullptr;
  if (!name.empty())
    for (TKLDControl* control : Controls)
      if (SameText(control->Name, name)) {
        DefaultControl = dynamic_cast<TKLDInteractiveControl*>(control);
        break;
      }
  // Only remembered here: the focus itself is given when the screen becomes current, so that
  // the control shows it and its hint is published.
  LastFocus = DefaultControl;
}

void TKLDScreenLayout::SetFocus(TKLDInteractiveControl* control, const ControlEventSink& fire) {
  if (focusGuard_ || control == FocusedControl) return;
  focusGuard_ = true;
  struct Release {
    bool& guard;
    ~Release() { guard = false; }
  } release{focusGuard_};
  if (TKLDInteractiveControl* old = FocusedControl) {
    old->Focused = false;
    old->Drawn = false;
    if (fire) fire(*old, "onunfocus");
    RebuildFocusableList();
  }
  if (control && std::find(Focusable.begin(), Focusable.end(), control) != Focusable.end()) {
    FocusedControl = control;
    control->Focused = true;
    control->Drawn = false;
    if (fire) fire(*control, "onfocus");
    if (TKLDMetaDataManager* meta = GlobalMetaDataManager()) meta->SetValue("application.hint", control->GetHintText());
  } else {
    FocusedControl = nullptr;
  }
  LastFocus = FocusedControl;
}

void TKLDScreenLayout::SetShown(bool shown) {
  if (shown == Shown) return;
  Shown = shown;
  PendingEvents |= shown ? seShow : seHide;
}

void TKLDScreenLayout::SetHasFocus(bool focus) {
  if (focus == HasFocus) return;
  HasFocus = focus;
  PendingEvents |= focus ? seFocus : seUnfocus;
}

TKLDControl* TKLDScreenLayout::FindControl(const std::string& name) const {
  for (TKLDControl* control : Controls)
    if (SameText(control->Name, name)) return control;
  return nullptr;
}

void TKLDScreenLayout::Render() {
  for (TKLDContainer* container : Containers)
    if (container) container->Render();
}

void TKLDScreenLayout::Invalidate() {
  for (TKLDContainer* container : Containers)
    if (container) container->Invalidate();
}

void TKLDScreenLayout::SaveXMLBody(std::vector<std::string>& lines) {
  TKLDScreenLayout fresh("");
  auto* a = dynamic_cast<TKLDScreenLayout*>(Ancestor);
  if (!a) a = &fresh;
  // What the file adds to an inherited screen is appended on reading, so only that is written.
  TKLDActionList actions("Actions");
  actions.Depth = 2;
  for (int i = 0; i < Actions.Count(); ++i)
    if (TKLDAction* action = Actions.ActionAt(i); action && !a->Actions.Contains(action))
      actions.Add(Actions.NameAt(i), action);
  actions.SaveAsXML(lines);
  size_t first = 0;
  if (a->Containers.size() <= Containers.size() &&
      std::equal(a->Containers.begin(), a->Containers.end(), Containers.begin()))
    first = a->Containers.size();
  if (first < Containers.size()) {
    lines.push_back(IndentText(2) + "<Contains>");
    for (size_t i = first; i < Containers.size(); ++i)
      lines.push_back(IndentText(3) + "<Container" + XmlAttribute("name", Containers[i] ? Containers[i]->Name : "") +
                      "/>");
    lines.push_back(IndentText(2) + "</Contains>");
  }
  if (DefaultControl != a->DefaultControl)
    lines.push_back(IndentText(2) + "<DefaultControl" +
                    XmlAttribute("name", DefaultControl ? DefaultControl->Name : std::string()) + "/>");
  TKLDMetaValueList values;
  values.Depth = 2;
  for (int i = 0; i < MetaInformation.Count(); ++i)
    if (TKLDMetaValue* value = MetaInformation.ValueAt(i); value && !a->MetaInformation.Contains(value))
      values.Add(MetaInformation.NameAt(i), value);
  values.SaveAsXML(lines);
}

TKLDScreenLayoutList::TKLDScreenLayoutList() {
  ListName = "Screens";
  ItemClass = &CreateUIObject<TKLDScreenLayout>;
  ManagedObjects = &ManagedObjectsOf<TKLDScreenLayoutList>();
}

}  // namespace lorvane
