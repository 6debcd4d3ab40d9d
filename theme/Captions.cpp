#include "theme/Captions.h"

#include "theme/Fills.h"
#include "theme/VisualDescriptor.h"
#include "theme/XmlHelper.h"

namespace lorvane {

namespace {

const char* AlignName(int align) {
  switch (align) {
    case caLeft: return "left";
    case caRight: return "right";
    case caCenter: return "center";
    default: return "";
  }
}

TKLDTextAlign TextAlign(int align) {
  switch (align) {
    case caRight: return TKLDTextAlign::Right;
    case caCenter: return TKLDTextAlign::Centre;
    default: return TKLDTextAlign::Left;
  }
}

}  // namespace

TKLDCaption::TKLDCaption(const std::string& name) : TKLDUIDisplayObject(name) {
  TagName = "Caption";
}

void TKLDCaption::InheritFrom(TKLDUIObject& source) {
  auto& caption = InheritSource<TKLDCaption>(source);
  TKLDUIDisplayObject::InheritFrom(source);
  Font = caption.Font;
  Align = caption.Align;
}

void TKLDCaption::SaveXMLBody(std::vector<std::string>& lines) {
  auto* base = dynamic_cast<TKLDCaption*>(GetAncestor());
  TKLDCaption fresh("");
  const TKLDCaption& a = base ? *base : fresh;
  if (Font && Font != a.Font) lines.push_back(ReferenceLine(2, Font));
  if (Align != caNone && Align != a.Align)
    lines.push_back(IndentText(2) + "<Align text=\"" + AlignName(Align) + "\"/>");
  if (Width != a.Width || Height != a.Height)
    lines.push_back(IndentText(2) + "<Size>" + std::to_string(Width) + "," + std::to_string(Height) +
                    "</Size>");
}

void TKLDCaption::Render(TKLDRenderTarget& control) {
  if (TKLDStyleTarget* target = StyleTargetOf(control)) target->SetTextInk(DrawCaption(*target, nullptr));
}

TKLDRect TKLDCaption::DrawCaption(TKLDStyleTarget& control, const TKLDFont* font) {
  TKLDViewport* viewport = control.TargetViewport();
  if (!viewport || !viewport->Canvas()) return {};
  int x = control.TargetX(), y = control.TargetY();
  if (const TKLDUICaptionedDisplayObject* style = control.InteractiveStyle()) {
    x += style->ScaledCaptionX;
    y += style->ScaledCaptionY;
  }
  const TKLDFont* use = font ? font : Font;
  if (!use) return {};
  int width, height;
  if (ScaledWidth && ScaledHeight) {
    width = ScaledWidth;
    height = ScaledHeight;
  } else {
    width = viewport->Width() - x;
    height = viewport->Height() - y;
  }
  return viewport->Canvas()->TextOut(viewport->ControlRect(x, y, width, height), &use->CanvasFont,
                                     control.TargetText(), TextAlign(Align), &control.TargetColour());
}

TKLDCaptionList::TKLDCaptionList() {
  ListName = "Captions";
  ItemClass = &CreateUIObject<TKLDCaption>;
  ManagedObjects = &ManagedObjectsOf<TKLDCaptionList>();
}

TKLDCaption* TKLDCaptionList::CreateCaption(const std::string& inheritName, const std::string& name) {
  return static_cast<TKLDCaption*>(CreateWithInherit(inheritName, name));
}

}  // namespace lorvane
