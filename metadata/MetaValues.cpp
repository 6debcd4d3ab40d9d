#include "metadata/MetaValues.h"

#include "metadata/MetaData.h"
#include "theme/XmlHelper.h"

namespace lorvane {

TKLDMetaValue::TKLDMetaValue(const std::string& name) : TKLDUIObject(name) { TagName = "MetaData"; }

void TKLDMetaValue::InheritFrom(TKLDUIObject& source) {
  auto& value = InheritSource<TKLDMetaValue>(source);
  TKLDUIObject::InheritFrom(source);
  Value = value.Value;
}

void TKLDMetaValue::SaveAsXML(std::vector<std::string>& lines) {
  WriteComment(lines);
  auto* ancestor = dynamic_cast<TKLDMetaValue*>(GetAncestor());
  std::string attributes;
  if (!Value.empty() && (!ancestor || Value != ancestor->Value)) attributes = XmlAttribute("value", Value);
  lines.push_back(IndentText(Depth + 1) + SelfClosingTagAfterName(*this, attributes));
}

TKLDMetaValueList::TKLDMetaValueList() {
  ListName = "MetaInformation";
  ItemClass = &CreateUIObject<TKLDMetaValue>;
  ManagedObjects = &ManagedObjectsOf<TKLDMetaValueList>();
  SpaceObjects = false;
}

void TKLDMetaValueList::Apply(TKLDMetaDataManager* manager) const {
  TKLDMetaData values;
  for (int i = 0; i < Count(); ++i)
    if (TKLDMetaValue* value = ValueAt(i)) values.AddLine(value->Name, value->Value);
  if (manager) values.Publish(*manager);
  else values.Publish();
}

}  // namespace lorvane
