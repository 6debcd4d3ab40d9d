#include "theme/Backgrounds.h"

#include "base/Logging.h"
#include "render/ColourRenderer.h"
#include "theme/VisualDescriptor.h"
#include "theme/XmlHelper.h"

namespace lorvane {

namespace {

// A corner without a colour is transparent rather than a dangling reference.
TKLDCanvasColour CornerColour(const TKLDColour* colour) {
  return colour ? TKLDCanvasColour::FromARGB(colour->Value) : TKLDCanvasColour(0, 0, 0, 0);
}

}  // namespace

void PaintFill(const TKLDFill* fill, TKLDDrawBuffer& buffer) {
  if (auto* graded = dynamic_cast<const TKLDGradedFill*>(fill)) {
    ColourRenderer().GraduatedFill(CornerColour(graded->TopLeft), CornerColour(graded->TopRight),
                                   CornerColour(graded->BotLeft), CornerColour(graded->BotRight),
                                   buffer);
    return;
  }
  TKLDCanvas& canvas = buffer.Canvas();
  TKLDCanvasColour colour;
  canvas.SetPenColour(nullptr);
  canvas.SetBrushColour(fill ? CanvasColourOf(fill->Colour, colour) : nullptr);
  canvas.Clear();
  canvas.FillRect(buffer.GetBounds());
}

void BuildFillCache(const TKLDUIDisplayObject& object, const TKLDFill* fill, TKLDDrawBuffer& buffer,
                    TKLDRenderTarget& control, const std::string& warning) {
  TKLDStyleTarget* target = StyleTargetOf(control);
  if (!target) return;
  buffer.SetWidth(object.ScaledWidth);
  buffer.SetHeight(object.ScaledHeight);
  bool built = false;
  if (buffer.Width() > 0 && buffer.Height() > 0) {
    PaintFill(fill, buffer);
    TKLDRenderCache& cache = target->TargetRenderCache();
    cache.SetDrawBuffer(&buffer);
    built = cache.Build(buffer.GetBounds());
  }
  if (!built) LogWarn(warning + target->TargetName());
}

void DrawFillCache(TKLDRenderTarget& control) {
  TKLDStyleTarget* target = StyleTargetOf(control);
  if (!target || !target->TargetViewport()) return;
  target->TargetRenderCache().Render(
      target->TargetViewport()->ControlRect(target->TargetX(), target->TargetY(),
                                            target->TargetWidth(), target->TargetHeight()),
      nullptr);
}

TKLDBackground::TKLDBackground(const std::string& name) : TKLDUIDisplayObject(name) {
  TagName = "Background";
}

void TKLDBackground::InheritFrom(TKLDUIObject& source) {
  auto& background = InheritSource<TKLDBackground>(source);
  TKLDUIDisplayObject::InheritFrom(source);
  Kind = background.Kind;
  Fill = background.Fill;
  Plasma = background.Plasma;
  Bitmap = background.Bitmap;
}

void TKLDBackground::SaveXMLBody(std::vector<std::string>& lines) {
  auto* base = dynamic_cast<TKLDBackground*>(GetAncestor());
  const TKLDUIObject* own = Kind == bkFill ? static_cast<TKLDUIObject*>(Fill)
                            : Kind == bkPlasma ? static_cast<TKLDUIObject*>(Plasma)
                            : Kind == bkBitmap ? static_cast<TKLDUIObject*>(Bitmap)
                                               : nullptr;
  const TKLDUIObject* theirs = nullptr;
  if (base && base->Kind == Kind)
    theirs = Kind == bkFill ? static_cast<TKLDUIObject*>(base->Fill)
             : Kind == bkPlasma ? static_cast<TKLDUIObject*>(base->Plasma)
                                : static_cast<TKLDUIObject*>(base->Bitmap);
  if (own && (!base || base->Kind != Kind || own != theirs)) lines.push_back(ReferenceLine(2, own));
}

void TKLDBackground::BuildRenderCache(TKLDRenderTarget& control) {
  if (Kind == bkFill) BuildFillCache(*this, Fill, Buffer, control, "Failed to build render cache for background: ");
}

void TKLDBackground::Render(TKLDRenderTarget& control) {
  TKLDStyleTarget* target = StyleTargetOf(control);
  if (!target) return;
  ScaledWidth = target->TargetWidth();
  ScaledHeight = target->TargetHeight();
  TKLDUIDisplayObject::Render(control);
  switch (Kind) {
    case bkBitmap:
      if (Bitmap) Bitmap->Render(control);
      break;
    case bkFill:
      DrawFillCache(control);
      break;
    case bkPlasma:
      if (Plasma) Plasma->Render(control);
      break;
    default:
      break;
  }
}

TKLDBackgroundList::TKLDBackgroundList() {
  ListName = "Backgrounds";
  ItemClass = &CreateUIObject<TKLDBackground>;
  ManagedObjects = &ManagedObjectsOf<TKLDBackgroundList>();
}

TKLDBackground* TKLDBackgroundList::CreateBackground(const std::string& inheritName,
                                                     const std::string& name) {
  return static_cast<TKLDBackground*>(CreateWithInherit(inheritName, name));
}

}  // namespace lorvane
