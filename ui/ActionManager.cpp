#include "ui/ActionManager.h"

#include "base/Logging.h"
#include "base/FileSystem.h"
#include "ui/Functions.h"
#include "ui/InterfaceDescriptor.h"
#include "ui/Macros.h"
#include "ui/Screens.h"
#include "ui/UIManager.h"

namespace lorvane {

TKLDActionManager::TKLDActionManager() = default;
TKLDActionManager::~TKLDActionManager() = default;

void TKLDActionManager::LoadKeyBindings(const std::string& configFolder) {
  profiles_.Clear();
  primary_ = native_ = nullptr;
  std::string fileName = configFolder + kFileName;
  if (!FileExists(fileName)) {
    LogWarn("No key bindings: " + fileName + " does not exist, so no key does anything");
    return;
  }
  SetNativeProfile(parser_.Parse(fileName, profiles_));
}

void TKLDActionManager::SetPrimaryProfile(const std::string& name) {
  primary_ = profiles_.Find(name);
  if (!primary_ && profiles_.Count() > 0)
    LogInfo("Key binding profile " + name + " is not in " + kFileName + "; keys use the native profile");
}

void TKLDActionManager::SetNativeProfile(const std::string& name) { native_ = profiles_.Find(name); }

bool TKLDActionManager::HandleKey(int keyCode) {
  // A primary binding with an empty action name still counts as a binding: it keeps the native
  // profile's action of that key away.
  const TKLDKeyProfile* profile = primary_ && primary_->IsBound(keyCode) ? primary_ : nullptr;
  if (!profile && native_ && native_->IsBound(keyCode)) profile = native_;
  if (!profile) return false;
  return ProcessAction(profile->ActionFor(keyCode));
}

bool TKLDActionManager::ProcessAction(const std::string& name) {
  if (ui_) ui_->ScreenSaver().ResetIdle();
  bool final = false;
  TKLDScreenLayout* screen = ui_ ? ui_->CurrentScreen() : nullptr;
  if (screen && screen->FocusedControl) final = Fire(screen->FocusedControl->Actions, name);
  if (!final && screen) final = Fire(screen->Actions, name);
  if (!final) {
    if (TKLDInterfaceDescriptor* descriptor = Descriptor()) final = Fire(descriptor->GlobalActions, name);
  }
  return final;
}

bool TKLDActionManager::Fire(const TKLDActionList& list, const std::string& name) {
  bool final = false;
  for (TKLDAction* action : list.FindActions(name))
    if (EnqueueAction(*action) && action->Final) final = true;
  return final;
}

bool TKLDActionManager::EnqueueAction(const TKLDAction& action) {
  TKLDActionQueueItem item;
  if (!action.MakeQueueItem(item)) return false;
  queue_.Append(item);
  return true;
}

bool TKLDActionManager::RunMacro(const TKLDMacro& macro) {
  std::vector<TKLDActionQueueItem> items;
  bool complete = macro.QueueItems(items);
  for (const auto& item : items) queue_.Append(item);
  return complete;
}

void TKLDActionManager::ProcessQueue() {
  for (int worked = 0; !queue_.Empty(); ++worked) {
    if (worked >= kMaxItemsPerFrame) {
      LogWarn("Action queue still busy after " + std::to_string(kMaxItemsPerFrame) +
              " items in one frame; the rest waits for the next frame");
      return;
    }
    // Taken off first, so that an item whose function raises does not raise again every frame.
    TKLDActionQueueItem item = queue_.Front();
    queue_.PopFront();
    TKLDInterfaceDescriptor* descriptor = Descriptor();
    TKLDFunction* function = descriptor ? descriptor->Functions.FindFunction(item.FunctionName) : nullptr;
    bool done = true;
    if (!function) {
      LogWarn("Attempted to process action queue item with unknown function: " + item.FunctionName);
    } else if (functions_) {
      done = item.Target.empty() ? functions_->Execute(*function)
                                 : functions_->ExecuteWithTarget(*function, item.Target, item.Parameter);
    }
    if (!done) {
      queue_.PushFront(item);
      return;
    }
  }
}
}  // namespace lorvane
