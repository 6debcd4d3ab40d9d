#pragma once
#include "media/AVRenderer.h"

namespace lorvane {

// For items nothing can show (info files, unknown files, themes): a full-screen window on it
// raises "onempty" once so the theme can say so.
// Every other operation is the base's: playing such an item fails without an error message.
class TKLDEmptyRenderer : public TKLDAVRenderer {
 public:
  using TKLDAVRenderer::TKLDAVRenderer;
  void Render(const TKLDRect& rect) override;
  bool EmptyRaised() const { return emptyRaised_; }

 private:
  bool emptyRaised_ = false;
};

}  // namespace lorvane
