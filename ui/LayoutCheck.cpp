#include "ui/LayoutCheck.h"

#include "render/Viewport.h"
#include "ui/Screens.h"
#include "ui/UIControls.h"

namespace lorvane {

namespace {
struct TShown {
  const TKLDControl* control;
  TKLDRect rect;
  bool text;
};

bool Contains(const TKLDRect& outer, const TKLDRect& inner) {
  return inner.X >= outer.X && inner.Y >= outer.Y && inner.Right() <= outer.Right() &&
         inner.Bottom() <= outer.Bottom();
}

bool IsBackdrop(const TShown& below, const TShown& above) {
  const TKLDControlKind kind = below.control->Kind();
  return !below.text && above.text && (kind == TKLDControlKind::Shape || kind == TKLDControlKind::Image) &&
         Contains(below.rect, above.rect);
}
}  // namespace

std::vector<TKLDOverlap> FindTextOverlaps(const TKLDScreenLayout& screen) {
  std::vector<TShown> shown;
  for (const TKLDControl* control : screen.Controls) {
    // A control is placed when first drawn: one with no viewport yet is not on the screen, and a
    // faded-out one shows nothing.
    if (!control || !control->Visible || !control->Style || !control->Viewport || control->Colour.Alpha() == 0)
      continue;
    const bool text = control->Kind() == TKLDControlKind::Caption && !control->GetText().empty();
    // A caption style without a size draws to the container's edges: its text is where it lies.
    const TKLDRect& ink = control->TextInk;
    const TKLDViewport& viewport = *control->Viewport;
    TKLDRect rect = text && ink.Width > 0 && ink.Height > 0
                        ? viewport.VisibleRect(ink.X - viewport.OriginX(), ink.Y - viewport.OriginY(), ink.Width,
                                               ink.Height)
                        : viewport.VisibleRect(control->X, control->Y, control->Width, control->Height);
    if (rect.Width <= 0 || rect.Height <= 0) continue;
    shown.push_back({control, rect, text});
  }
  std::vector<TKLDOverlap> overlaps;
  for (size_t i = 0; i < shown.size(); ++i) {
    for (size_t j = i + 1; j < shown.size(); ++j) {
      const TShown& below = shown[i];
      const TShown& above = shown[j];
      if (!below.text && !above.text) continue;
      TKLDRect common = IntersectRect(below.rect, above.rect);
      if (common.Width <= 0 || common.Height <= 0 || IsBackdrop(below, above)) continue;
      overlaps.push_back({below.control, above.control});
    }
  }
  return overlaps;
}

std::vector<std::string> DescribeOverlaps(const std::vector<TKLDOverlap>& overlaps) {
  std::vector<std::string> lines;
  for (const TKLDOverlap& overlap : overlaps)
    lines.push_back("overlap " + overlap.first->Name + " " + overlap.second->Name);
  return lines;
}

}  // namespace lorvane
