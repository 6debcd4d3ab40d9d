#pragma once
// Macros: named sequences of function calls that a theme runs as one ("macro" function).

#include <string>
#include <vector>

#include "theme/UIObjects.h"
#include "ui/Actions.h"

namespace lorvane {

// One step of a macro; queued as a copy when the macro runs.
struct TKLDMacroFunction : TKLDActionQueueItem {};

class TKLDMacro : public TKLDUIObject {
 public:
  explicit TKLDMacro(const std::string& name);

  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;

  void AddStep(const std::string& functionName, const std::string& target, const std::string& parameter);
  // The steps a run queues: in order, up to (not including) the first step without a function
  // name. False when such a step cut the run short.
  bool QueueItems(std::vector<TKLDActionQueueItem>& items) const;

  std::vector<TKLDMacroFunction> Steps;
};

class TKLDMacroList : public TKLDUIObjectList {
 public:
  TKLDMacroList();
  TKLDMacro* FindMacro(const std::string& name) const { return FindAs<TKLDMacro>(name); }
};

}  // namespace lorvane
