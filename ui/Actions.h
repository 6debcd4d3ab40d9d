#pragma once
// Actions tie an event name to one call of a declared function. Firing an action only queues the
// call (the action manager works the queue once per frame).

#include <string>
#include <vector>

#include "theme/UIObjects.h"

namespace lorvane {

class TKLDFunction;

// One queued function call, by name: the function is looked up when the item runs, so a queued
// item survives a switch of descriptors.
struct TKLDActionQueueItem {
  std::string FunctionName;
  std::string Target;
  std::string Parameter;
  bool operator==(const TKLDActionQueueItem&) const = default;
};

class TKLDAction : public TKLDUIObject {
 public:
  explicit TKLDAction(const std::string& name);

  void InheritFrom(TKLDUIObject& source) override;
  void SaveAsXML(std::vector<std::string>& lines) override;

  // The call this action queues; false when it has no function.
  bool MakeQueueItem(TKLDActionQueueItem& item) const;

  TKLDFunction* Function = nullptr;  // not owned; resolved when the action is loaded
  std::string Target;
  std::string Parameter;
  bool Final = false;
  // False only for the built-in "okay" action of interactive controls.
  bool WriteBack = true;
};

class TKLDActionList : public TKLDUIObjectList {
 public:
  // "GlobalActions" for the descriptor's list, "Actions" for a screen's or a control's.
  explicit TKLDActionList(const std::string& listName = "GlobalActions");

  void SaveAsXML(std::vector<std::string>& lines) override;

  TKLDAction* CreateAction(const std::string& inheritName, const std::string& name);
  TKLDAction* ActionAt(int index) const { return dynamic_cast<TKLDAction*>(Object(index)); }
  // Every action of that name in the list itself, in order, then those of the parent list.
  // Names match without regard to letter case, like every theme name.
  std::vector<TKLDAction*> FindActions(const std::string& name) const;
  // Own actions that are written back (the built-in ones are not).
  int WrittenCount() const;
};

}  // namespace lorvane
