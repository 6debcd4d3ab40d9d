#include "ui/Animators.h"

#include <algorithm>

#include "theme/XmlHelper.h"
#include "ui/FunctionList.h"

namespace lorvane {

namespace {

struct KindName {
  TKLDAnimationKind kind;
  const char* name;
};

constexpr KindName kKindNames[] = {
    {TKLDAnimationKind::FadeIn, "fadein"}, {TKLDAnimationKind::FadeOut, "fadeout"},
    {TKLDAnimationKind::Slide, "slide"},   {TKLDAnimationKind::Pause, "pause"},
    {TKLDAnimationKind::Macro, "macro"},   {TKLDAnimationKind::Function, "function"},
};

}  // namespace

TKLDAnimationKind ParseAnimationKind(const std::string& text) {
  for (const auto& entry : kKindNames)
    if (text == entry.name) return entry.kind;
  return TKLDAnimationKind::None;
}

std::string AnimationKindName(TKLDAnimationKind kind) {
  for (const auto& entry : kKindNames)
    if (entry.kind == kind) return entry.name;
  return "none";
}

std::string TKLDAnimation::Parameter(const std::string& name) const {
  for (const auto& [key, value] : Parameters)
    if (SameText(key, name)) return value;
  return std::string();
}

bool TKLDAnimation::HasParameter(const std::string& name) const {
  return std::any_of(Parameters.begin(), Parameters.end(),
                     [&](const auto& entry) { return SameText(entry.first, name); });
}

TKLDAnimator::TKLDAnimator(const std::string& name) : TKLDUIObject(name) { TagName = "Animator"; }

void TKLDAnimator::InheritFrom(TKLDUIObject& source) {
  auto& animator = InheritSource<TKLDAnimator>(source);
  TKLDUIObject::InheritFrom(source);
  Animations = animator.Animations;
}

void TKLDAnimator::SaveXMLBody(std::vector<std::string>& lines) {
  auto* ancestor = dynamic_cast<TKLDAnimator*>(GetAncestor());
  // Animations read from the file are appended to the inherited ones.
  size_t first = 0;
  if (ancestor && ancestor->Animations.size() <= Animations.size() &&
      std::equal(ancestor->Animations.begin(), ancestor->Animations.end(), Animations.begin()))
    first = ancestor->Animations.size();
  for (size_t i = first; i < Animations.size(); ++i) {
    const TKLDAnimation& animation = Animations[i];
    std::string open = IndentText(2) + "<Animation" + XmlAttribute("type", AnimationKindName(animation.Kind)) +
                       XmlAttribute("duration", std::to_string(animation.Duration));
    if (animation.Concurrent) open += XmlAttribute("concurrent", "yes");
    if (animation.Persistent) open += XmlAttribute("persistent", "yes");
    if (animation.Parameters.empty()) {
      lines.push_back(open + "/>");
      continue;
    }
    lines.push_back(open + ">");
    for (const auto& [key, value] : animation.Parameters)
      lines.push_back(IndentText(3) + "<Parameter" + XmlAttribute("name", key) + XmlAttribute("value", value) + "/>");
    lines.push_back(IndentText(2) + "</Animation>");
  }
}

TKLDAnimatorList::TKLDAnimatorList() {
  ListName = "Animators";
  ItemClass = &CreateUIObject<TKLDAnimator>;
  ManagedObjects = &ManagedObjectsOf<TKLDAnimatorList>();
}

}  // namespace lorvane
