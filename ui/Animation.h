#pragma once
// The animation engine: running copies of the theme's animators, one script per control and
// animator, stepped once a frame on the frame clock's time.
//
// Nothing here keeps a control, an animator or a place from one frame to the next: a script
// names its control and animator, and every step looks the control up again. A function step
// may relink the descriptors and free everything it pointed at.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ui/Animators.h"

namespace lorvane {

class TKLDActionManager;
class TKLDControl;
class TKLDFunctions;
class TKLDInterfaceDescriptor;
class TKLDTimer;
class TKLDUIManager;

// What running animations act through while they are set up and applied.
struct TKLDAnimationServices {
  TKLDInterfaceDescriptor* descriptor = nullptr;
  TKLDActionManager* actions = nullptr;
  TKLDFunctions* functions = nullptr;
  // Function steps carried out so far: after one, every control may have been freed.
  int functionsRun = 0;
};

class TKLDAbstractAnimation {
 public:
  virtual ~TKLDAbstractAnimation() = default;

  virtual void Setup(const TKLDAnimation& animation, const TKLDAnimationServices& services);
  virtual void Start() {}
  virtual void Apply(TKLDAnimationServices&) {}

  int Duration = 0;
  bool Concurrent = false;
  bool Persistent = false;
  TKLDControl* Target = nullptr;  // this frame's only
  uint32_t StartTime = 0;
  bool Started = false;
  bool Finished = false;
  double Progress = 0.0;  // percent
};

class TKLDPauseAnimation : public TKLDAbstractAnimation {
 public:
  // A pause always holds back what follows it, whatever the theme said.
  void Start() override { Concurrent = false; }
};

class TKLDMacroAnimation : public TKLDPauseAnimation {
 public:
  void Setup(const TKLDAnimation& animation, const TKLDAnimationServices& services) override;
  void Apply(TKLDAnimationServices& services) override;
  std::string MacroName;
};

class TKLDFunctionAnimation : public TKLDPauseAnimation {
 public:
  void Setup(const TKLDAnimation& animation, const TKLDAnimationServices& services) override;
  void Apply(TKLDAnimationServices& services) override;
  std::string FunctionName, FunctionTarget, FunctionParameter;
};

class TKLDSlideAnimation : public TKLDAbstractAnimation {
 public:
  void Setup(const TKLDAnimation& animation, const TKLDAnimationServices& services) override;
  void Start() override;
  void Apply(TKLDAnimationServices& services) override;
  int StartX = 0, StartY = 0, FinishX = 0, FinishY = 0;  // relative pixels
  bool StartSet = false, FinishSet = false;
};

class TKLDFadeAnimation : public TKLDAbstractAnimation {
 public:
  void Setup(const TKLDAnimation& animation, const TKLDAnimationServices& services) override;
  void Start() override;
  void Apply(TKLDAnimationServices& services) override;
  uint32_t StartColour = 0xFFFFFFFFu, FinishColour = 0xFFFFFFFFu;  // ARGB
  bool StartSet = false, FinishSet = false;
};

class TKLDFadeInAnimation : public TKLDFadeAnimation {
 public:
  void Apply(TKLDAnimationServices& services) override;
};

class TKLDFadeOutAnimation : public TKLDFadeAnimation {
 public:
  void Apply(TKLDAnimationServices& services) override;
};

// The running animation of a kind; null for none.
std::unique_ptr<TKLDAbstractAnimation> CreateAnimation(TKLDAnimationKind kind);

// round((f × p + (100 − p) × s) ÷ 100), halves to even.
int InterpolateAnimation(int start, int finish, double progress);

// One running script.
struct TKLDAnimationQueue {
  std::string ControlName;
  std::string AnimatorName;
  std::vector<std::unique_ptr<TKLDAbstractAnimation>> Animations;
  TKLDControl* Target = nullptr;  // this frame's only
  bool Finished = false;
  // Replaced by an Animate while the engine was stepping it.
  bool Dropped = false;
};

using TKLDAnimationQueueList = std::vector<std::unique_ptr<TKLDAnimationQueue>>;

class TKLDAnimationEngine {
 public:
  struct Context {
    TKLDUIManager* ui = nullptr;
    TKLDActionManager* actions = nullptr;
    TKLDFunctions* functions = nullptr;
    TKLDTimer* timer = nullptr;  // the process-wide frame clock when none
  };

  void SetContext(Context context) { context_ = context; }

  // Starts the animator on the named control, in place of a run of the same animator there.
  void Animate(const std::string& controlName, const TKLDAnimator* animator);
  // Advances every script by one frame.
  void Step();

  const TKLDAnimationQueueList& Scripts() const { return scripts_; }
  int Count() const { return static_cast<int>(scripts_.size()); }

 private:
  TKLDAnimationServices Services() const;
  TKLDControl* Resolve(const std::string& name) const;
  bool OnTopmostScreen(const TKLDControl* control) const;
  void Advance(TKLDAbstractAnimation& animation, uint32_t now, TKLDAnimationServices& services);

  Context context_;
  TKLDAnimationQueueList scripts_;
  // Scripts started while stepping join the list once the step is over.
  TKLDAnimationQueueList started_;
  bool stepping_ = false;
};

}  // namespace lorvane
