#include "ui/FunctionList.h"

#include "theme/XmlHelper.h"

namespace lorvane {

namespace {

struct KindName {
  TKLDTargetKind kind;
  const char* name;
};

constexpr KindName kKindNames[] = {
    {TKLDTargetKind::Screen, "screen"},   {TKLDTargetKind::Descriptor, "descriptor"},
    {TKLDTargetKind::Text, "text"},       {TKLDTargetKind::Control, "control"},
    {TKLDTargetKind::Sound, "sound"},     {TKLDTargetKind::Value, "value"},
    {TKLDTargetKind::Meta, "meta"},       {TKLDTargetKind::Macro, "macro"},
    {TKLDTargetKind::Playlist, "playlist"},
};

}  // namespace

bool ParseTargetKind(const std::string& text, TKLDTargetKind& kind) {
  for (const auto& entry : kKindNames)
    if (text == entry.name) {
      kind = entry.kind;
      return true;
    }
  return false;
}

std::string TargetKindName(TKLDTargetKind kind) {
  for (const auto& entry : kKindNames)
    if (entry.kind == kind) return entry.name;
  return std::string();
}

TKLDFunction::TKLDFunction(const std::string& name) : TKLDUIObject(name) { TagName = "Function"; }

void TKLDFunction::InheritFrom(TKLDUIObject& source) {
  auto& function = InheritSource<TKLDFunction>(source);
  TKLDUIObject::InheritFrom(source);
  TargetKind = function.TargetKind;
}

void TKLDFunction::SaveAsXML(std::vector<std::string>& lines) {
  WriteComment(lines);
  auto* ancestor = dynamic_cast<TKLDFunction*>(GetAncestor());
  std::string attributes;
  if (TargetKind != TKLDTargetKind::None && (!ancestor || TargetKind != ancestor->TargetKind))
    attributes = XmlAttribute("target", TargetKindName(TargetKind));
  lines.push_back(IndentText(Depth + 1) + SelfClosingTagAfterName(*this, attributes));
}

TKLDFunctionList::TKLDFunctionList() {
  ListName = "Functions";
  ItemClass = &CreateUIObject<TKLDFunction>;
  ManagedObjects = &ManagedObjectsOf<TKLDFunctionList>();
  SpaceObjects = false;
}

void TKLDFunctionList::ListFunctions(std::vector<std::string>& lines) const {
  for (int i = 0; i < Count(); ++i)
    if (TKLDUIObject* function = Object(i)) lines.push_back(function->Name + " - " + function->Description);
}

}  // namespace lorvane
