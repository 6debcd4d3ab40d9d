#pragma once
// Metadata values a theme declares in its interface descriptor.

#include <string>
#include <vector>

#include "theme/UIObjects.h"

namespace lorvane {

class TKLDMetaDataManager;

// A metadata value a theme declares ("MetaInformation"): applied when the interface starts, or
// for a screen's own values whenever the screen becomes current.
class TKLDMetaValue : public TKLDUIObject {
 public:
  explicit TKLDMetaValue(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveAsXML(std::vector<std::string>& lines) override;

  std::string Value;
};

class TKLDMetaValueList : public TKLDUIObjectList {
 public:
  TKLDMetaValueList();
  TKLDMetaValue* FindValue(const std::string& name) const { return FindAs<TKLDMetaValue>(name); }
  TKLDMetaValue* ValueAt(int index) const { return dynamic_cast<TKLDMetaValue*>(Object(index)); }
  // Publishes every own value into the manager (the process-wide one when none is given).
  void Apply(TKLDMetaDataManager* manager = nullptr) const;
};

}  // namespace lorvane
