#pragma once
// Screens as the interface descriptor declares them: their containers in drawing order, their
// own actions and metadata values, and the focus bookkeeping the UI manager drives.

#include <functional>
#include <string>
#include <vector>

#include "metadata/MetaValues.h"
#include "theme/UIObjects.h"
#include "ui/Actions.h"
#include "ui/Containers.h"
#include "ui/UIControls.h"

namespace lorvane {

// Pending screen events, run in this order by the UI manager.
enum TKLDScreenEvent : int { seInit = 1, seShow = 2, seHide = 4, seFocus = 8, seUnfocus = 16 };

class TKLDScreenLayout : public TKLDUIObject {
 public:
  // Fires a control's own event ("onfocus", "onunfocus"); supplied by whoever queues actions.
  using ControlEventSink = std::function<void(TKLDInteractiveControl& control, const std::string& event)>;

  explicit TKLDScreenLayout(const std::string& name);

  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;

  // Controls := every control of every container, in container then content order; then
  // RebuildFocusable.
  void RebuildControls();
  // Focusable := the interactive, visible and enabled controls. A focused control that is no
  // longer focusable gives way to the default control (or to none). Returns the focused control.
  TKLDInteractiveControl* RebuildFocusable();
  // Used while loading: the named control becomes the default (and last) focus when it is an
  // interactive control of this screen; otherwise there is none.
  void SetDefaultControl(const std::string& name);
  // Moves the focus; a control that is not focusable leaves no control focused. The old control's
  // "onunfocus" and the new one's "onfocus" go to the sink, and "application.hint" takes the new
  // control's hint text.
  void SetFocus(TKLDInteractiveControl* control, const ControlEventSink& fire = {});
  void SetShown(bool shown);
  void SetHasFocus(bool focus);
  // First control of that name on this screen, or null.
  TKLDControl* FindControl(const std::string& name) const;
  // Every container in order, each through its own viewport.
  void Render();
  // Clears the drawn marks of every container and control (after a device or size change).
  void Invalidate();

  bool Shown = false;
  bool HasFocus = false;
  int PendingEvents = seInit;
  TKLDActionList Actions{"Actions"};
  std::vector<TKLDContainer*> Containers;      // not owned
  std::vector<TKLDControl*> Controls;          // not owned
  std::vector<TKLDInteractiveControl*> Focusable;  // not owned
  TKLDMetaValueList MetaInformation;
  TKLDInteractiveControl* FocusedControl = nullptr;
  TKLDInteractiveControl* DefaultControl = nullptr;
  TKLDInteractiveControl* LastFocus = nullptr;

 private:
  // The list and the fallback to the default control, without touching focus flags.
  void RebuildFocusableList();
  // Controls and Focusable alone; the focus is left as it is.
  void CollectControls();
  void CollectFocusable();

  bool focusGuard_ = false;
};

class TKLDScreenLayoutList : public TKLDUIObjectList {
 public:
  TKLDScreenLayoutList();
  TKLDScreenLayout* FindScreen(const std::string& name) const { return FindAs<TKLDScreenLayout>(name); }
  TKLDScreenLayout* ScreenAt(int index) const { return dynamic_cast<TKLDScreenLayout*>(Object(index)); }
};

}  // namespace lorvane
