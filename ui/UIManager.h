#pragma once
// Runs the interface the active interface descriptor describes: the stack of shown screens, the
// current screen and its events, the screen saver, the per-frame update and rendering, and the
// road of a key to the action manager.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/ScreenSaver.h"

namespace lorvane {

class TKLDActionManager;
class TKLDControl;
class TKLDInteractiveControl;
class TKLDInterfaceDescriptor;
class TKLDMetaDataManager;
class TKLDScreenLayout;
class TKLDThemeManager;

// Names of the shown screens, bottom first. Names, not screens: a name whose screen is gone
// after a descriptor change is simply not found.
class TKLDScreenStack {
 public:
  using ScreenLookup = std::function<TKLDScreenLayout*(const std::string& name)>;
  explicit TKLDScreenStack(ScreenLookup lookup) : lookup_(std::move(lookup)) {}

  int Count() const { return static_cast<int>(names_.size()); }
  std::string NameAt(int index) const;
  TKLDScreenLayout* ScreenAt(int index) const;
  std::string TopName() const { return names_.empty() ? std::string() : names_.back(); }
  bool Contains(const std::string& name) const;
  bool Push(const std::string& name);
  bool PushScreen(TKLDScreenLayout* screen);
  bool Remove(const std::string& name);
  void Purge();

 private:
  ScreenLookup lookup_;
  std::vector<std::string> names_;
};

// What the UI manager draws over the screens and offers keys to first: the diagnostic console,
// which belongs to the application core and is handed over when the managers are made.
class TKLDDiagnosticsOverlay {
 public:
  virtual ~TKLDDiagnosticsOverlay() = default;
  // False lets the key go on to the action manager.
  virtual bool ProcessKey(int keyCode) = 0;
  virtual void RenderDiagnostics() = 0;
};

class TKLDUIManager {
 public:
  static constexpr const char* kMeasureRendering = "Rendering UI (except diagnostics)";
  static constexpr const char* kMeasurePresenting = "Presenting render to display device";

  using DescriptorSource = std::function<TKLDInterfaceDescriptor*()>;

  TKLDUIManager();
  ~TKLDUIManager();
  TKLDUIManager(const TKLDUIManager&) = delete;
  TKLDUIManager& operator=(const TKLDUIManager&) = delete;

  // Collaborators, set by the owner (the application manager, or a test).
  void SetDescriptorSource(DescriptorSource source) { descriptor_ = std::move(source); }
  void SetThemeManager(TKLDThemeManager* themes) { themes_ = themes; }
  void SetActionManager(TKLDActionManager* actions) { actions_ = actions; }
  void SetMetaDataManager(TKLDMetaDataManager* meta) { meta_ = meta; }
  // Per-frame work of subsystems that come later (media manager, animation engine), run in
  // the update between the screen events and the action queue.
  void SetFrameWork(std::function<void()> work) { frameWork_ = std::move(work); }
  TKLDInterfaceDescriptor* Descriptor() const { return descriptor_ ? descriptor_() : nullptr; }

  void Start();
  TKLDScreenLayout* CurrentScreen() const;
  const std::string& CurrentScreenName() const { return currentName_; }
  bool CurrentScreenInitialised() const { return currentInitialised_; }
  void ShowScreen(TKLDScreenLayout* screen);
  void OverlayScreen(const std::string& name);
  void CloseScreen(const std::string& name);
  void LinkDescriptorSet(const std::string& name);
  void Update();
  void Render();
  TKLDControl* FindControl(const std::string& name, bool topOnly) const;
  void ShowError(const std::string& text, const std::string& description);
  bool HandleKey(int keyCode);
  static const char* ResourceFolder() { return "../Resources/"; }

  // Moves the focus on the current screen and fires the controls' own focus events.
  void SetFocus(TKLDScreenLayout& screen, TKLDInteractiveControl* control);

  // The overlay is owned from now on and freed with the UI manager.
  void SetDiagnostics(std::unique_ptr<TKLDDiagnosticsOverlay> diagnostics) { diagnostics_ = std::move(diagnostics); }
  TKLDDiagnosticsOverlay* Diagnostics() const { return diagnostics_.get(); }
  bool ShowDiagnostics() const { return showDiagnostics_; }
  void SetShowDiagnostics(bool show) { showDiagnostics_ = show; }
  TKLDScreenStack& Stack() { return stack_; }
  TKLDScreenSaver& ScreenSaver() { return screenSaver_; }
  // Frames that Render drew and presented.
  uint64_t RenderedFrames() const { return renderedFrames_; }

 private:
  TKLDScreenLayout* FindScreen(const std::string& name) const;
  void ChangeScreenFocus(const std::string& oldName, const std::string& newName);
  void ActivateCurrentScreen();
  // After a link (afterLink) the first screen is shown as a newly current screen even when it
  // bears the current screen's name.
  void ShowFirstScreen(bool afterLink = false);
  void ShowScreen(TKLDScreenLayout* screen, bool afterLink);
  void FireScreenEvents(TKLDScreenLayout& screen);

  DescriptorSource descriptor_;
  TKLDThemeManager* themes_ = nullptr;
  TKLDActionManager* actions_ = nullptr;
  TKLDMetaDataManager* meta_ = nullptr;
  std::function<void()> frameWork_;
  std::string currentName_;
  bool currentInitialised_ = false;
  bool showDiagnostics_ = false;
  std::unique_ptr<TKLDDiagnosticsOverlay> diagnostics_;
  TKLDScreenSaver screenSaver_;
  TKLDScreenStack stack_;
  uint64_t renderedFrames_ = 0;
};

}  // namespace lorvane
