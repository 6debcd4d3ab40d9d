#include "ui/UIManager.h"

#include <algorithm>

#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "base/Timing.h"
#include "metadata/MetaData.h"
#include "render/Screen.h"
#include "theme/ThemeManager.h"
#include "ui/ActionManager.h"
#include "ui/InterfaceDescriptor.h"
#include "ui/Screens.h"

namespace lorvane {

namespace {
// Pending screen events in the fixed order they run.
struct TScreenEventName {
  int bit;
  const char* name;
};
constexpr TScreenEventName kScreenEvents[] = {
    {seInit, "oninit"}, {seShow, "onshow"}, {seHide, "onhide"}, {seFocus, "onfocus"}, {seUnfocus, "onunfocus"}};

// "application.hint" := the hint of the screen's focused control (empty without one).
void PublishHint(TKLDMetaDataManager* meta, TKLDScreenLayout* screen) {
  if (!meta) meta = GlobalMetaDataManager();
  if (!meta) return;
  meta->SetValue("application.hint",
                 screen && screen->FocusedControl ? screen->FocusedControl->GetHintText() : std::string());
}
}  // namespace

// ---- Screen stack ----

std::string TKLDScreenStack::NameAt(int index) const {
  if (index < 0 || index >= Count()) return "";
  return names_[static_cast<size_t>(index)];
}

TKLDScreenLayout* TKLDScreenStack::ScreenAt(int index) const {
  std::string name = NameAt(index);
  return name.empty() ? nullptr : lookup_(name);
}

// Screens are found without regard to case, so names in the stack are compared the same way:
// "B" and "b" are one screen and may stand in the stack only once.
bool TKLDScreenStack::Contains(const std::string& name) const {
  return std::any_of(names_.begin(), names_.end(), [&](const std::string& n) { return SameText(n, name); });
}

bool TKLDScreenStack::Push(const std::string& name) {
  if (Contains(name)) return false;
  TKLDScreenLayout* screen = lookup_(name);
  if (!screen) return false;
  names_.push_back(screen->Name);
  screen->SetShown(true);
  return true;
}

bool TKLDScreenStack::PushScreen(TKLDScreenLayout* screen) { return screen && Push(screen->Name); }

bool TKLDScreenStack::Remove(const std::string& name) {
  auto it = std::find_if(names_.begin(), names_.end(), [&](const std::string& n) { return SameText(n, name); });
  if (it == names_.end()) return false;
  names_.erase(it);
  if (TKLDScreenLayout* screen = lookup_(name)) screen->SetShown(false);
  return true;
}

void TKLDScreenStack::Purge() {
  for (int i = Count() - 1; i >= 0; --i)
    if (!lookup_(names_[static_cast<size_t>(i)])) names_.erase(names_.begin() + i);
}

// ---- UI manager ----

TKLDUIManager::TKLDUIManager() : stack_([this](const std::string& name) { return FindScreen(name); }) {}

TKLDUIManager::~TKLDUIManager() = default;

TKLDScreenLayout* TKLDUIManager::FindScreen(const std::string& name) const {
  TKLDInterfaceDescriptor* descriptor = Descriptor();
  return descriptor && !name.empty() ? descriptor->Screens.FindScreen(name) : nullptr;
}

TKLDScreenLayout* TKLDUIManager::CurrentScreen() const { return FindScreen(currentName_); }

void TKLDUIManager::Start() { ShowFirstScreen(); }

void TKLDUIManager::ShowFirstScreen(bool afterLink) {
  TKLDInterfaceDescriptor* descriptor = Descriptor();
  TKLDScreenLayout* first = nullptr;
  if (descriptor) {
    descriptor->MetaInformation.Apply(meta_);
    if (descriptor->Screens.TotalCount() > 0) first = dynamic_cast<TKLDScreenLayout*>(descriptor->Screens.Object(0));
  }
  ShowScreen(first, afterLink);
}

void TKLDUIManager::FireScreenEvents(TKLDScreenLayout& screen) {
  int pending = screen.PendingEvents;
  screen.PendingEvents = 0;
  if (!actions_) return;
  for (const auto& event : kScreenEvents)
    if (pending & event.bit) actions_->Fire(screen.Actions, event.name);
}

void TKLDUIManager::ChangeScreenFocus(const std::string& oldName, const std::string& newName) {
  TKLDScreenLayout* oldScreen = FindScreen(oldName);
  TKLDScreenLayout* newScreen = FindScreen(newName);
  if (oldScreen == newScreen) return;
  if (oldScreen) oldScreen->SetHasFocus(false);
  if (newScreen) newScreen->SetHasFocus(true);
  // The old screen may no longer be current, so its onunfocus and onhide run now. A screen that
  // has neither (a "close" of a screen that was not shown) keeps its oninit for the first time
  // it is current.
  if (oldScreen && (oldScreen->PendingEvents & (seHide | seUnfocus))) FireScreenEvents(*oldScreen);
}

void TKLDUIManager::SetFocus(TKLDScreenLayout& screen, TKLDInteractiveControl* control) {
  screen.SetFocus(control, [this](TKLDInteractiveControl& target, const std::string& event) {
    if (actions_) actions_->Fire(target.Actions, event);
  });
}

void TKLDUIManager::ActivateCurrentScreen() {
  TKLDScreenLayout* screen = CurrentScreen();
  if (!screen) return;
  SetFocus(*screen, screen->LastFocus ? screen->LastFocus : screen->DefaultControl);
  // A focus that did not move publishes nothing, yet the hint shown is still the last screen's.
  PublishHint(meta_, screen);
  screen->MetaInformation.Apply(meta_);
  currentInitialised_ = false;
}

void TKLDUIManager::ShowScreen(TKLDScreenLayout* screen) { ShowScreen(screen, false); }

void TKLDUIManager::ShowScreen(TKLDScreenLayout* screen, bool afterLink) {
  TKLDScreenLayout* current = CurrentScreen();
  // None while a current name is left that no screen bears any more (a descriptor without
  // screens) still goes on, so that the lost name leaves the stack and nothing is current.
  // After a link the current name may find the new set's screen of that name, which has never
  // been current: the one that was went with the old set, so the new one is shown afresh.
  bool linkedNamesake = afterLink && screen && screen == current && !screen->HasFocus;
  if (screen && screen == current && !linkedNamesake) return;
  stack_.Remove(currentName_);
  stack_.PushScreen(screen);
  std::string newName = screen ? screen->Name : std::string();
  ChangeScreenFocus(linkedNamesake ? std::string() : currentName_, newName);
  stack_.Purge();
  currentName_ = newName;
  ActivateCurrentScreen();
}

void TKLDUIManager::OverlayScreen(const std::string& name) {
  // The stack takes "b" and "B" for one screen, so both spellings of the current screen leave it
  // alone; otherwise it would be taken off and put back, running its onshow and onhide.
  if (SameText(name, currentName_)) return;
  stack_.Remove(name);
  stack_.Push(name);
  ChangeScreenFocus(currentName_, name);
  // The current name is the screen's own spelling, as the stack holds it.
  TKLDScreenLayout* screen = FindScreen(name);
  currentName_ = screen ? screen->Name : name;
  ActivateCurrentScreen();
}

void TKLDUIManager::CloseScreen(const std::string& name) {
  stack_.Remove(name);
  currentName_ = stack_.TopName();
  ChangeScreenFocus(name, currentName_);
  // The screen beneath keeps its focused control, so the hint must come back with it.
  PublishHint(meta_, CurrentScreen());
}

void TKLDUIManager::LinkDescriptorSet(const std::string& name) {
  if (!themes_) return;
  std::string previous = themes_->LinkedName();
  try {
    if (themes_->LinkDescriptors(name)) {
      ShowFirstScreen(true);
    } else if (!previous.empty()) {
      themes_->LinkDescriptors(previous);
      ShowFirstScreen(true);
    }
  } catch (const std::exception& e) {
    throw TKLDException("Error loading theme descriptor " + name + ":\r\n" + e.what());
  }
}

void TKLDUIManager::Update() {
  if (TKLDScreenLayout* screen = CurrentScreen()) {
    if (!currentInitialised_) {
      currentInitialised_ = true;
      screen->RebuildControls();
    }
    FireScreenEvents(*screen);
  }
  if (frameWork_) frameWork_();
  if (actions_) actions_->ProcessQueue();
}

void TKLDUIManager::Render() {
  TKLDTimer* timer = Timer();
  TKLDScreen* screen = Screen();
  if (timer) {
    timer->StartMeasure(kMeasureRendering);
    timer->MarkFrameStart();
  }
  if (!screen || !screen->BeginFrame()) return;
  auto finish = [&] {
    screen->EndFrame();
    if (timer) timer->StartMeasure(kMeasurePresenting);
    screen->PresentFrame();
    if (timer) {
      timer->MarkFrameEnd();
      timer->StopMeasure(kMeasurePresenting);
    }
    ++renderedFrames_;
  };
  try {
    if (screenSaver_.IsActive()) {
      screenSaver_.Render();
    } else {
      for (int i = 0; i < stack_.Count(); ++i)
        if (TKLDScreenLayout* shown = stack_.ScreenAt(i)) shown->Render();
    }
    if (timer) timer->StopMeasure(kMeasureRendering);
    if (diagnostics_) diagnostics_->RenderDiagnostics();
  } catch (...) {
    finish();
    throw;
  }
  finish();
}

TKLDControl* TKLDUIManager::FindControl(const std::string& name, bool topOnly) const {
  for (int i = stack_.Count() - 1; i >= 0; --i) {
    TKLDScreenLayout* screen = stack_.ScreenAt(i);
    if (!screen) return nullptr;
    if (TKLDControl* control = screen->FindControl(name)) return control;
    if (topOnly) return nullptr;
  }
  TKLDInterfaceDescriptor* descriptor = Descriptor();
  return descriptor ? descriptor->Controls.FindAs<TKLDControl>(name) : nullptr;
}

void TKLDUIManager::ShowError(const std::string& text, const std::string& description) {
  if (meta_) {
    meta_->SetValue("system.error.text", text);
    meta_->SetValue("system.error.description", description);
  }
  if (actions_) actions_->ProcessAction("onerror");
}

bool TKLDUIManager::HandleKey(int keyCode) {
  // The diagnostic console takes keys first while it is shown.
  if (showDiagnostics_ && diagnostics_ && diagnostics_->ProcessKey(keyCode)) return true;
  return actions_ ? actions_->HandleKey(keyCode) : false;
}

}  // namespace lorvane
