#pragma once
#include "media/AVRenderer.h"

namespace lorvane {

// For items nothing can show (info files, unknown files, themes): a full-screen window on it
// raises "onempty" once so the theme can say so.
// Playing such an item fails without an error message. A stream that moved on to one stays
// playing on this renderer, so stopping it must succeed: there is nothing to stop, and the
// user's Stop would otherwise never end the stream.
class TKLDEmptyRenderer : public TKLDAVRenderer {
 public:
  using TKLDAVRenderer::TKLDAVRenderer;
  void Render(const TKLDRect& rect) override;
  bool Stop() override { return true; }
  bool EmptyRaised() const { return emptyRaised_; }

 private:
  bool emptyRaised_ = false;
};

}  // namespace lorvane
