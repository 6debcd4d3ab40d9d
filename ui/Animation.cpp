#include "ui/Animation.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "base/KLDTypes.h"
#include "base/Logging.h"
#include "base/Timing.h"
#include "theme/VisualDescriptor.h"
#include "ui/ActionManager.h"
#include "ui/Functions.h"
#include "ui/InterfaceDescriptor.h"
#include "ui/Macros.h"
#include "ui/Screens.h"
#include "ui/UIControls.h"
#include "ui/UIManager.h"

namespace lorvane {

namespace {

uint8_t Channel(uint32_t argb, int shift) { return static_cast<uint8_t>(argb >> shift); }

// A place's scaled offset, when the name is a place; otherwise the end stays unset.
void ReadPlace(const TKLDAnimation& animation, const char* parameter, const TKLDAnimationServices& services,
               int& x, int& y, bool& set) {
  const std::string name = animation.Parameter(parameter);
  TKLDPlace* place = services.descriptor && !name.empty() ? services.descriptor->Places.FindPlace(name) : nullptr;
  if (!place) return;
  x = place->ScaledX;
  y = place->ScaledY;
  set = true;
}

// Any name sets the end; only a colour that exists changes it from opaque white.
void ReadColour(const TKLDAnimation& animation, const char* parameter, const TKLDAnimationServices& services,
                uint32_t& colour, bool& set) {
  const std::string name = animation.Parameter(parameter);
  if (name.empty()) return;
  set = true;
  TKLDVisualDescriptor* visual = services.descriptor ? services.descriptor->VisualDescriptor() : nullptr;
  if (TKLDColour* found = visual ? visual->Colours.FindColour(name) : nullptr) colour = found->Value;
}

}  // namespace

int InterpolateAnimation(int start, int finish, double progress) {
  return static_cast<int>(std::nearbyint((finish * progress + (100.0 - progress) * start) / 100.0));
}

std::unique_ptr<TKLDAbstractAnimation> CreateAnimation(TKLDAnimationKind kind) {
  switch (kind) {
    case TKLDAnimationKind::FadeIn: return std::make_unique<TKLDFadeInAnimation>();
    case TKLDAnimationKind::FadeOut: return std::make_unique<TKLDFadeOutAnimation>();
    case TKLDAnimationKind::Slide: return std::make_unique<TKLDSlideAnimation>();
    case TKLDAnimationKind::Pause: return std::make_unique<TKLDPauseAnimation>();
    case TKLDAnimationKind::Macro: return std::make_unique<TKLDMacroAnimation>();
    case TKLDAnimationKind::Function: return std::make_unique<TKLDFunctionAnimation>();
    default: return nullptr;
  }
}

// ---------------------------------------------------------------- running animations

void TKLDAbstractAnimation::Setup(const TKLDAnimation& animation, const TKLDAnimationServices&) {
  Duration = animation.Duration;
  Concurrent = animation.Concurrent;
  Persistent = animation.Persistent;
}

void TKLDMacroAnimation::Setup(const TKLDAnimation& animation, const TKLDAnimationServices& services) {
  TKLDPauseAnimation::Setup(animation, services);
  MacroName = animation.Parameter("macro.name");
}

void TKLDMacroAnimation::Apply(TKLDAnimationServices& services) {
  if (!Finished || MacroName.empty() || !services.descriptor) return;
  TKLDMacro* macro = services.descriptor->GlobalMacros.FindMacro(MacroName);
  if (macro && services.actions) services.actions->RunMacro(*macro);
}

void TKLDFunctionAnimation::Setup(const TKLDAnimation& animation, const TKLDAnimationServices& services) {
  TKLDPauseAnimation::Setup(animation, services);
  FunctionName = animation.Parameter("function.name");
  FunctionTarget = animation.Parameter("function.target");
  FunctionParameter = animation.Parameter("function.parameter");
}

void TKLDFunctionAnimation::Apply(TKLDAnimationServices& services) {
  if (!Finished || FunctionName.empty() || !services.descriptor) return;
  TKLDFunction* function = services.descriptor->Functions.FindFunction(FunctionName);
  TKLDFunctions* executor = services.functions ? services.functions : FunctionExecutor();
  if (!function || !executor) return;
  ++services.functionsRun;
  // A theme's mistake in a script is logged like any other failure inside a frame; it must not
  // take the interface down from the middle of the engine's step.
  try {
    if (FunctionTarget.empty()) executor->Execute(*function);
    else executor->ExecuteWithTarget(*function, FunctionTarget, FunctionParameter);
  } catch (const std::exception& e) {
    LogError("Animation function " + FunctionName + " failed: " + e.what());
  }
}

void TKLDSlideAnimation::Setup(const TKLDAnimation& animation, const TKLDAnimationServices& services) {
  TKLDAbstractAnimation::Setup(animation, services);
  ReadPlace(animation, "start.position", services, StartX, StartY, StartSet);
  ReadPlace(animation, "finish.position", services, FinishX, FinishY, FinishSet);
}

void TKLDSlideAnimation::Start() {
  if (!Target) return;
  if (!StartSet) {
    StartX = Target->X;
    StartY = Target->Y;
  }
  if (!FinishSet) {
    FinishX = Target->X;
    FinishY = Target->Y;
  }
}

void TKLDSlideAnimation::Apply(TKLDAnimationServices&) {
  if (!Target) return;
  if (Finished) Target->SetPosition(FinishX, FinishY);
  else Target->SetPosition(InterpolateAnimation(StartX, FinishX, Progress), InterpolateAnimation(StartY, FinishY, Progress));
}

void TKLDFadeAnimation::Setup(const TKLDAnimation& animation, const TKLDAnimationServices& services) {
  TKLDAbstractAnimation::Setup(animation, services);
  ReadColour(animation, "start.gamma", services, StartColour, StartSet);
  ReadColour(animation, "finish.gamma", services, FinishColour, FinishSet);
}

void TKLDFadeAnimation::Start() {
  if (!Target) return;
  if (!StartSet) StartColour = Target->Colour.Value();
  if (!FinishSet) FinishColour = Target->Colour.Value();
}

void TKLDFadeAnimation::Apply(TKLDAnimationServices&) {
  if (!Target) return;
  uint32_t value = FinishColour;
  if (!Finished) {
    value = 0;
    for (int shift = 24; shift >= 0; shift -= 8) {
      const int channel = InterpolateAnimation(Channel(StartColour, shift), Channel(FinishColour, shift), Progress);
      value |= static_cast<uint32_t>(std::clamp(channel, 0, 255)) << shift;
    }
  }
  Target->Colour = TKLDCanvasColour::FromARGB(value);
}

void TKLDFadeInAnimation::Apply(TKLDAnimationServices& services) {
  TKLDFadeAnimation::Apply(services);
  if (Target) Target->SetVisible(true);
}

void TKLDFadeOutAnimation::Apply(TKLDAnimationServices& services) {
  TKLDFadeAnimation::Apply(services);
  if (Target && Finished) Target->SetVisible(false);
}

// ---------------------------------------------------------------- engine

TKLDAnimationServices TKLDAnimationEngine::Services() const {
  TKLDAnimationServices services;
  if (context_.ui) services.descriptor = context_.ui->Descriptor();
  if (!services.descriptor && context_.actions) services.descriptor = context_.actions->Descriptor();
  services.actions = context_.actions;
  services.functions = context_.functions;
  return services;
}

TKLDControl* TKLDAnimationEngine::Resolve(const std::string& name) const {
  if (context_.ui) return context_.ui->FindControl(name, false);
  TKLDInterfaceDescriptor* descriptor = Services().descriptor;
  return descriptor ? descriptor->Controls.FindControl(name) : nullptr;
}

bool TKLDAnimationEngine::OnTopmostScreen(const TKLDControl* control) const {
  if (!control) return false;
  TKLDUIManager* ui = context_.ui;
  if (ui && ui->Stack().Count() > 0) {
    TKLDScreenLayout* top = ui->Stack().ScreenAt(ui->Stack().Count() - 1);
    return top && std::find(top->Controls.begin(), top->Controls.end(), control) != top->Controls.end();
  }
  TKLDInterfaceDescriptor* descriptor = Services().descriptor;
  return descriptor && descriptor->Controls.FindControl(control->Name) == control;
}

void TKLDAnimationEngine::Animate(const std::string& controlName, const TKLDAnimator* animator) {
  if (!animator) return;
  auto same = [&](const std::unique_ptr<TKLDAnimationQueue>& script) {
    return SameText(script->AnimatorName, animator->Name) && SameText(script->ControlName, controlName);
  };
  // A script being stepped right now is only marked; the step drops it when it is done.
  if (stepping_) {
    for (auto& script : scripts_)
      if (same(script)) script->Dropped = true;
  } else {
    scripts_.erase(std::remove_if(scripts_.begin(), scripts_.end(), same), scripts_.end());
  }
  started_.erase(std::remove_if(started_.begin(), started_.end(), same), started_.end());

  auto script = std::make_unique<TKLDAnimationQueue>();
  script->ControlName = controlName;
  script->AnimatorName = animator->Name;
  const TKLDAnimationServices services = Services();
  for (const TKLDAnimation& animation : animator->Animations) {
    std::unique_ptr<TKLDAbstractAnimation> running = CreateAnimation(animation.Kind);
    if (!running) continue;
    running->Setup(animation, services);
    script->Animations.push_back(std::move(running));
  }
  (stepping_ ? started_ : scripts_).push_back(std::move(script));
}

void TKLDAnimationEngine::Advance(TKLDAbstractAnimation& animation, uint32_t now, TKLDAnimationServices& services) {
  if (!animation.Started) {
    // Not laid out yet: its clock does not run until it is.
    if (!animation.Target->Resized) return;
    animation.StartTime = now;
    animation.Start();
    animation.Started = true;
  }
  if (!animation.Persistent && !OnTopmostScreen(animation.Target)) {
    animation.Finished = true;
    return;
  }
  const uint64_t end = static_cast<uint64_t>(animation.StartTime) + static_cast<uint64_t>(std::max(animation.Duration, 0));
  if (animation.Duration <= 0 || now > end || now < animation.StartTime) {
    animation.Finished = true;
    animation.Progress = 100.0;
  } else {
    animation.Progress = static_cast<double>(now - animation.StartTime) * 100.0 / animation.Duration;
  }
  animation.Apply(services);
}

void TKLDAnimationEngine::Step() {
  if (stepping_) return;
  TKLDTimer* timer = context_.timer ? context_.timer : Timer();
  const uint32_t now = timer ? timer->Now() : SystemMilliseconds();

  for (size_t i = scripts_.size(); i-- > 0;) {
    TKLDAnimationQueue& script = *scripts_[i];
    script.Target = script.Finished ? nullptr : Resolve(script.ControlName);
    if (!script.Target) scripts_.erase(scripts_.begin() + static_cast<std::ptrdiff_t>(i));
  }

  // However the step ends, replaced scripts go, new ones join and no control pointer is kept.
  struct StepScope {
    TKLDAnimationEngine& engine;
    explicit StepScope(TKLDAnimationEngine& e) : engine(e) { engine.stepping_ = true; }
    ~StepScope() {
      engine.stepping_ = false;
      auto& scripts = engine.scripts_;
      scripts.erase(std::remove_if(scripts.begin(), scripts.end(), [](const auto& s) { return s->Dropped; }),
                    scripts.end());
      for (auto& script : scripts) {
        script->Target = nullptr;
        for (auto& animation : script->Animations) animation->Target = nullptr;
      }
      for (auto& script : engine.started_) scripts.push_back(std::move(script));
      engine.started_.clear();
    }
  } scope(*this);

  TKLDAnimationServices services = Services();
  // After a function step the descriptors may have been relinked: look everything up again.
  auto refresh = [&] {
    const int run = services.functionsRun;
    services = Services();
    services.functionsRun = run;
  };
  // Indexes, not iterators: nothing is added to or taken from scripts_ while stepping.
  for (size_t i = 0; i < scripts_.size(); ++i) {
    TKLDAnimationQueue& script = *scripts_[i];
    if (script.Dropped) continue;
    const int before = services.functionsRun;
    int seen = before;
    script.Finished = true;
    for (auto& animation : script.Animations) {
      if (animation->Finished) continue;
      if (services.functionsRun != seen) {
        seen = services.functionsRun;
        refresh();
        script.Target = Resolve(script.ControlName);
      }
      if (!script.Target) {
        // Gone in this frame's own step; the next step finds it again or removes the script.
        script.Finished = false;
        break;
      }
      animation->Target = script.Target;
      Advance(*animation, now, services);
      script.Finished = false;
      if (script.Dropped) break;
      if (!animation->Finished && !animation->Concurrent) break;
    }
    if (services.functionsRun != before) {
      refresh();
      for (size_t j = i + 1; j < scripts_.size(); ++j) scripts_[j]->Target = Resolve(scripts_[j]->ControlName);
    }
  }
}

}  // namespace lorvane
