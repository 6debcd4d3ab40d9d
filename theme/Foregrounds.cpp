#include "theme/Foregrounds.h"

#include "theme/Backgrounds.h"
#include "theme/VisualDescriptor.h"
#include "theme/XmlHelper.h"

namespace lorvane {

TKLDForeground::TKLDForeground(const std::string& name) : TKLDUIDisplayObject(name) {
  TagName = "Foreground";
}

void TKLDForeground::InheritFrom(TKLDUIObject& source) {
  auto& foreground = InheritSource<TKLDForeground>(source);
  TKLDUIDisplayObject::InheritFrom(source);
  Kind = foreground.Kind;
  Fill = foreground.Fill;
  Bitmap = foreground.Bitmap;
}

void TKLDForeground::SaveXMLBody(std::vector<std::string>& lines) {
  auto* base = dynamic_cast<TKLDForeground*>(GetAncestor());
  const TKLDUIObject* own = Kind == bkFill     ? static_cast<TKLDUIObject*>(Fill)
                            : Kind == bkBitmap ? static_cast<TKLDUIObject*>(Bitmap)
                                               : nullptr;
  const TKLDUIObject* theirs = nullptr;
  if (base && base->Kind == Kind)
    theirs = Kind == bkFill ? static_cast<TKLDUIObject*>(base->Fill)
                            : static_cast<TKLDUIObject*>(base->Bitmap);
  if (own && (!base || base->Kind != Kind || own != theirs)) lines.push_back(ReferenceLine(2, own));
}

void TKLDForeground::BuildRenderCache(TKLDRenderTarget& control) {
  if (Kind == bkFill) BuildFillCache(*this, Fill, Buffer, control, "Failed to build render cache for foreground: ");
}

void TKLDForeground::Render(TKLDRenderTarget& control) {
  TKLDStyleTarget* target = StyleTargetOf(control);
  if (!target) return;
  ScaledWidth = target->TargetWidth();
  ScaledHeight = target->TargetHeight();
  TKLDUIDisplayObject::Render(control);
  if (Kind == bkBitmap && Bitmap)
    Bitmap->Render(control);
  else if (Kind == bkFill)
    DrawFillCache(control);
}

TKLDForegroundList::TKLDForegroundList() {
  ListName = "Foregrounds";
  ItemClass = &CreateUIObject<TKLDForeground>;
  ManagedObjects = &ManagedObjectsOf<TKLDForegroundList>();
}

TKLDForeground* TKLDForegroundList::CreateForeground(const std::string& inheritName,
                                                     const std::string& name) {
  return static_cast<TKLDForeground*>(CreateWithInherit(inheritName, name));
}

}  // namespace lorvane
