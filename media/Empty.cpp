#include "media/Empty.h"

#include "media/MediaManager.h"

namespace lorvane {

void TKLDEmptyRenderer::Render(const TKLDRect& rect) {
  TKLDAVRenderer::Render(rect);
  if (!FullScreen()) {
    emptyRaised_ = false;
    return;
  }
  TKLDMediaManager& manager = Stream().Manager();
  if (emptyRaised_ || manager.ActionsBusy()) return;
  emptyRaised_ = true;
  manager.RaiseEvent("onempty");
}

}  // namespace lorvane
