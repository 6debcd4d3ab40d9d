#include "render/Plasma.h"

#include <algorithm>
#include <cmath>

#include "render/DirectXHelper.h"

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

TKLDDXSprite* TKLDPlasmaLayers::Composition(int width, int height) {
  TKLDDirectXHelper* helper = DirectXHelper();
  if (!helper || width <= 0 || height <= 0) return nullptr;
  if (!composition_) {
    composition_ = helper->SpriteManager().CreateSprite(width, height);
    if (!composition_) return nullptr;
    composition_->SetRenderTarget(true);
  }
  composition_->SetSize(width, height);
  return composition_.get();
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

namespace {

// Every layer's two strips over a control of the given size at the given origin, each layer
// then advanced.
void DrawLayers(TKLDPlasmaLayers& layers, int originX, int originY, int width, int height) {
  for (int i = 0; i < layers.Count(); ++i) {
    TKLDPlasmaLayer* layer = layers.Item(i);
    const TKLDPlasmaStrips strips = PlasmaStrips(layer->Offset(), width, height);
    layer->Advance();
    for (const TKLDPlasmaStrip* strip : {&strips.First, &strips.Second}) {
      if (strip->Source.Width <= 0 || strip->Dest.Width <= 0) continue;
      TKLDRect dest = strip->Dest;
      dest.X += originX;
      dest.Y += originY;
      layer->Cache().RenderPart(strip->Source, dest, 0.0f, false, strip->FlipHorizontal, nullptr);
    }
  }
}

}  // namespace

void RenderPlasma(TKLDPlasmaLayers& layers, TKLDCanvas& canvas, const TKLDRect& control,
                  const TKLDCanvasColour* backColour) {
  // The cloud shows 512 source pixels across, so a larger control gains nothing from being
  // blended at its full size. Without a back colour the strips blend with what lies beneath,
  // and a control reaching off the top or left is clamped piece by piece: both drawn directly.
  const int width = std::min(control.Width, kShown), height = std::min(control.Height, kShown);
  TKLDDirectXHelper* helper = DirectXHelper();
  if (backColour && helper && control.X >= 0 && control.Y >= 0 && width > 0 && height > 0 &&
      (width < control.Width || height < control.Height)) {
    TKLDDXSprite* composition = layers.Composition(width, height);
    if (composition && helper->BeginSpriteTarget(composition, true)) {
      // The back buffer has no alpha: the fill there is opaque whatever the colour's alpha.
      helper->FillRect({0, 0, width, height}, backColour->Value() | 0xFF000000u);
      DrawLayers(layers, 0, 0, width, height);
      helper->EndSpriteTarget();
      helper->RenderSprite(composition, composition->GetBounds(), std::nullopt,
                           {control.X, control.Y, control.X + control.Width, control.Y + control.Height});
      return;
    }
  }
  canvas.SetBrushColour(backColour);
  canvas.FillRectDirect(control);
  DrawLayers(layers, control.X, control.Y, control.Width, control.Height);
}

}  // namespace lorvane
