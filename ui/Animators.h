#pragma once
// Animators: named scripts of timed effects (fades, slides, pauses, macro and function calls)
// declared by the theme. These are the templates; the animation engine runs copies of them.

#include <string>
#include <utility>
#include <vector>

#include "theme/UIObjects.h"

namespace lorvane {

enum class TKLDAnimationKind { None, FadeIn, FadeOut, Slide, Pause, Macro, Function };

// "fadein", "fadeout", "slide", "pause", "macro", "function"; any other text is none.
TKLDAnimationKind ParseAnimationKind(const std::string& text);
std::string AnimationKindName(TKLDAnimationKind kind);

struct TKLDAnimation {
  TKLDAnimationKind Kind = TKLDAnimationKind::None;
  int Duration = 0;  // milliseconds
  bool Concurrent = false;
  bool Persistent = false;
  std::vector<std::pair<std::string, std::string>> Parameters;

  // The first parameter of that name, without regard to letter case; empty when none.
  std::string Parameter(const std::string& name) const;
  bool HasParameter(const std::string& name) const;
  bool operator==(const TKLDAnimation&) const = default;
};

class TKLDAnimator : public TKLDUIObject {
 public:
  explicit TKLDAnimator(const std::string& name);

  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;

  std::vector<TKLDAnimation> Animations;
};

class TKLDAnimatorList : public TKLDUIObjectList {
 public:
  TKLDAnimatorList();
  TKLDAnimator* FindAnimator(const std::string& name) const { return FindAs<TKLDAnimator>(name); }
};

}  // namespace lorvane
