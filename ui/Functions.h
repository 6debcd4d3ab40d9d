#pragma once
// The verbs of the theme language. A theme declares the functions it uses (name and target
// kind); the program dispatches on the pair and carries them out here.
#include <cstdint>
#include <functional>
#include <string>

#include "ui/FunctionList.h"

namespace lorvane {

class TKLDActionManager;
class TKLDAnimationEngine;
class TKLDInterfaceDescriptor;
class TKLDMediaManager;
class TKLDMetaDataManager;
class TKLDThemeManager;
class TKLDTimer;
class TKLDUIManager;
enum class TKLDDirection;

class TKLDFunctions {
 public:
  // What the functions act on; set by the owner (the application manager, or a test).
  struct Context {
    TKLDUIManager* ui = nullptr;
    TKLDActionManager* actions = nullptr;
    TKLDMetaDataManager* meta = nullptr;
    TKLDTimer* timer = nullptr;
    // The loaded theme, whose active audio descriptor "sound" plays from.
    TKLDThemeManager* themes = nullptr;
    TKLDAnimationEngine* animation = nullptr;
    // Playback, playlists, volume and mute.
    TKLDMediaManager* media = nullptr;
    // The application manager's close and restart (deferred to the end of the frame there).
    std::function<void()> quit;
    std::function<void()> restart;
    // The settings manager's LoadGroup and SaveGroup ("loadmeta", "savemeta").
    std::function<void(const std::string&)> loadGroup;
    std::function<void(const std::string&)> saveGroup;
  };

  void SetContext(Context context) { context_ = std::move(context); }
  const Context& GetContext() const { return context_; }

  // A function without a target. Raises "Target name expected for function NAME" when the
  // function declares a target kind, and "Performing unsupported function: ..." for other names.
  bool Execute(const TKLDFunction& function);
  // A function with a target; false only while "delay" is still waiting.
  bool ExecuteWithTarget(const TKLDFunction& function, const std::string& target, const std::string& parameter);

  // Focus navigation of "focusup", "focusdn", "focuslf" and "focusrt".
  void MoveFocus(TKLDDirection direction);

  bool DelayPending() const { return delayPending_; }
  uint32_t DelayStart() const { return delayStart_; }

 private:
  // The context's collaborators, falling back to the process-wide ones where those exist.
  TKLDMetaDataManager* Meta() const;
  TKLDTimer* Clock() const;
  TKLDInterfaceDescriptor* Descriptor() const;
  // Each returns false when the name is not a function of its target kind.
  bool ScreenFunction(const std::string& name, const std::string& target);
  bool ControlFunction(const std::string& name, const std::string& target, const std::string& parameter);
  bool MetaFunction(const std::string& name, const std::string& target, const std::string& parameter,
                    const std::string& rawParameter);
  void RunMacro(const std::string& target);
  void MediaFunction(const std::string& name, const std::string& target, const std::string& parameter);
  bool Delay(const std::string& target);

  Context context_;
  uint32_t delayStart_ = 0;
  bool delayPending_ = false;
};

// The process-wide function executor (null while the interface is down).
TKLDFunctions* FunctionExecutor();
void SetFunctionExecutor(TKLDFunctions* functions);

}  // namespace lorvane
