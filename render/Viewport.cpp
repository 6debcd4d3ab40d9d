#include "render/Viewport.h"

#include "render/Screen.h"

namespace lorvane {

TKLDViewport::TKLDViewport() : canvas_(&SharedCanvas()) {}

void TKLDViewport::SetClipping(bool on) {
  clipping_ = on;
  if (!canvas_) return;
  if (on) {
    canvas_->SetClip(GetClipRect());
  } else {
    canvas_->ResetClip();
  }
}

TKLDRect TKLDViewport::VisibleRect(int x, int y, int width, int height) const {
  TKLDRect rect = ControlRect(x, y, width, height);
  if (TKLDScreen* screen = Screen()) {
    const TKLDDXRect s = screen->ScreenRect();
    rect = IntersectRect(rect, {s.Left, s.Top, s.Width(), s.Height()});
  }
  if (clipping_) rect = IntersectRect(rect, GetClipRect());
  return rect;
}

TKLDViewport& ScreenViewport() {
  static TKLDViewport viewport;
  return viewport;
}

void FollowScreenSize(TKLDScreen& screen) {
  auto apply = [](int width, int height) {
    SharedDrawBuffer().SetWidth(width);
    SharedDrawBuffer().SetHeight(height);
    ScreenViewport().SetWidth(width);
    ScreenViewport().SetHeight(height);
  };
  apply(screen.ScreenWidth(), screen.ScreenHeight());
  screen.AddSizeListener(apply);
}

}  // namespace lorvane
