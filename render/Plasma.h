#pragma once
#include <memory>
#include <vector>

#include "render/Canvas.h"
#include "render/RenderCache.h"

namespace lorvane {

// One scrolling cloud of a plasma: a pre-rendered 1024 × 1024 cloud in its own render cache,
// shifted sideways a little every drawn frame.
class TKLDPlasmaLayer {
 public:
  static constexpr float kLimit = 1024.0f;

  TKLDPlasmaLayer() : cache_(nullptr) {}

  TKLDRenderCache& Cache() { return cache_; }
  float Limit() const { return limit_; }
  float Offset() const { return offset_; }
  void SetOffset(float offset) { offset_ = offset; }
  float Speed() const { return speed_; }
  void SetSpeed(float speed) { speed_ = speed; }

  // One animation step: Offset moves by Speed and wraps within 0 … Limit.
  void Advance();

 private:
  TKLDRenderCache cache_;
  float limit_ = kLimit;
  float offset_ = 0.0f;
  float speed_ = 0.0f;
};

class TKLDPlasmaLayers {
 public:
  int Count() const { return static_cast<int>(layers_.size()); }
  // None for an index outside the list.
  TKLDPlasmaLayer* Item(int index) const;
  // Frees every layer, then makes count new ones.
  void SetCount(int count);
  // Where the layers are put together at the cloud's own resolution before being stretched
  // over the control (none without a device); made on first use, resized as asked.
  TKLDDXSprite* Composition(int width, int height);

 private:
  std::vector<std::unique_ptr<TKLDPlasmaLayer>> layers_;
  std::unique_ptr<TKLDDXSprite> composition_;
};

// The two pieces of a layer drawn for one frame: together they show the left 512 × 512 of the
// cloud stretched over the control, cut at the layer's offset, one of them mirrored so the two
// meet without a seam. Rectangles are in position-and-size form; destinations are relative to
// the control's top-left corner.
struct TKLDPlasmaStrip {
  TKLDRect Source;
  TKLDRect Dest;
  bool FlipHorizontal = false;
};
struct TKLDPlasmaStrips {
  TKLDPlasmaStrip First;
  TKLDPlasmaStrip Second;
};
TKLDPlasmaStrips PlasmaStrips(float offset, int controlWidth, int controlHeight);

// Generates a cloud in the front colour for every layer whose cache is not valid.
void PreparePlasma(TKLDPlasmaLayers& layers, const TKLDCanvasColour& frontColour);
// Fills the control with the back colour (none: no colour), then draws every layer's strips and
// advances it. With a back colour, a control larger than the shown 512 × 512 of a cloud is
// painted at that size into a composition sprite, which is then stretched over the control in
// one opaque copy: the same picture for a fraction of the blending.
void RenderPlasma(TKLDPlasmaLayers& layers, TKLDCanvas& canvas, const TKLDRect& control,
                  const TKLDCanvasColour* backColour);

}  // namespace lorvane
