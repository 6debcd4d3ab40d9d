#include "render/Plasma.h"

#include <cmath>

#include "render/ColourRenderer.h"

namespace lorvane {

namespace {

constexpr int kShown = 512;  // the left 512 × 512 of each cloud is what shows

int RoundEven(double value) { return static_cast<int>(std::nearbyint(value)); }

}  // namespace

void TKLDPlasmaLayer::Advance() {
  offset_ += speed_;
  if (offset_ > limit_) {
    offset_ = 0.0f;
  } else if (offset_ < 0.0f) {
    offset_ = limit_;
  }
}

TKLDPlasmaLayer* TKLDPlasmaLayers::Item(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return layers_[static_cast<size_t>(index)].get();
}

void TKLDPlasmaLayers::SetCount(int count) {
  layers_.clear();
  for (int i = 0; i < count; ++i) layers_.push_back(std::make_unique<TKLDPlasmaLayer>());
}

TKLDPlasmaStrips PlasmaStrips(float offset, int controlWidth, int controlHeight) {
  const int a = RoundEven(offset);
  const bool mirrored = a >= kShown;
  const int b = mirrored ? a - kShown : a;
  auto scaled = [&](int v) { return RoundEven(double(v) * controlWidth / kShown); };
  TKLDPlasmaStrips strips;
  strips.First.Source = {mirrored ? b : 0, 0, kShown - b, kShown};
  strips.First.Dest = {scaled(b), 0, scaled(kShown - b), controlHeight};
  strips.First.FlipHorizontal = mirrored;
  strips.Second.Source = {mirrored ? kShown - b : 0, 0, b, kShown};
  strips.Second.Dest = {0, 0, scaled(b), controlHeight};
  strips.Second.FlipHorizontal = !mirrored;
  return strips;
}

void PreparePlasma(TKLDPlasmaLayers& layers, const TKLDCanvasColour& frontColour) {
  for (int i = 0; i < layers.Count(); ++i) {
    TKLDPlasmaLayer* layer = layers.Item(i);
    if (layer->Cache().IsValid()) continue;
    TKLDDrawBuffer buffer(TKLDColourRenderer::kMaxPlasmaSize, TKLDColourRenderer::kMaxPlasmaSize,
                          true);
    ColourRenderer().GeneratePlasma(frontColour, buffer);
    layer->Cache().SetDrawBuffer(&buffer);
    layer->Cache().Build(buffer.GetBounds());
    // The buffer goes with this scope; the cache keeps only its sprite.
    layer->Cache().SetDrawBuffer(nullptr);
  }
}

void RenderPlasma(TKLDPlasmaLayers& layers, TKLDCanvas& canvas, const TKLDRect& control,
                  const TKLDCanvasColour* backColour) {
  canvas.SetBrushColour(backColour);
  canvas.FillRectDirect(control);
  for (int i = 0; i < layers.Count(); ++i) {
    TKLDPlasmaLayer* layer = layers.Item(i);
    const TKLDPlasmaStrips strips = PlasmaStrips(layer->Offset(), control.Width, control.Height);
    layer->Advance();
    for (const TKLDPlasmaStrip* strip : {&strips.First, &strips.Second}) {
      if (strip->Source.Width <= 0 || strip->Dest.Width <= 0) continue;
      TKLDRect dest = strip->Dest;
      dest.X += control.X;
      dest.Y += control.Y;
      layer->Cache().RenderPart(strip->Source, dest, 0.0f, false, strip->FlipHorizontal,
                                nullptr);
    }
  }
}

}  // namespace lorvane
