#include "theme/Fills.h"

#include "theme/VisualDescriptor.h"
#include "theme/XmlHelper.h"

namespace lorvane {

std::string ReferenceLine(int level, const TKLDUIObject* object) {
  return IndentText(level) + (object ? object->GetReferenceTag() : std::string());
}

std::string WrappedReferenceLine(int level, const std::string& element, const TKLDUIObject* object) {
  return IndentText(level) + "<" + element + ">" + (object ? object->GetReferenceTag() : "") +
         "</" + element + ">";
}

std::string NamedElementLine(int level, const std::string& element, const TKLDUIObject* object) {
  return IndentText(level) + "<" + element + " name=\"" + EncodeXml(object ? object->Name : "") +
         "\"/>";
}

const TKLDCanvasColour* CanvasColourOf(const TKLDColour* colour, TKLDCanvasColour& storage) {
  if (!colour) return nullptr;
  storage = TKLDCanvasColour::FromARGB(colour->Value);
  return &storage;
}

// ---------------------------------------------------------------- fills

TKLDFill::TKLDFill(const std::string& name) : TKLDUIObject(name) { TagName = "Fill"; }

void TKLDFill::InheritFrom(TKLDUIObject& source) {
  auto& fill = InheritSource<TKLDFill>(source);
  TKLDUIObject::InheritFrom(source);
  Colour = fill.Colour;
  ColourName = fill.ColourName;
}

void TKLDFill::SaveXMLBody(std::vector<std::string>& lines) {
  // The loader insists on a "Colour" child even for a fill that inherits, so it is always
  // written; leaving it out when it equals the ancestor's would make the saved file unreadable.
  // A name that matched no colour is written as it was read: an empty one would keep the
  // inherited colour on reload, where this fill has none.
  if (Colour)
    lines.push_back(ReferenceLine(2, Colour));
  else
    lines.push_back(IndentText(2) + "<Colour" + XmlAttribute("name", ColourName) + "/>");
}

TKLDGradedFill::TKLDGradedFill(const std::string& name) : TKLDFill(name) { TagName = "GradedFill"; }

void TKLDGradedFill::InheritFrom(TKLDUIObject& source) {
  auto& fill = InheritSource<TKLDGradedFill>(source);
  TKLDFill::InheritFrom(source);
  TopLeft = fill.TopLeft;
  TopRight = fill.TopRight;
  BotLeft = fill.BotLeft;
  BotRight = fill.BotRight;
}

void TKLDGradedFill::SaveXMLBody(std::vector<std::string>& lines) {
  auto* base = dynamic_cast<TKLDGradedFill*>(GetAncestor());
  auto corner = [&](const char* element, TKLDColour* own, TKLDColour* theirs) {
    if (own && (!base || own != theirs)) lines.push_back(WrappedReferenceLine(2, element, own));
  };
  corner("TopLeft", TopLeft, base ? base->TopLeft : nullptr);
  corner("TopRight", TopRight, base ? base->TopRight : nullptr);
  corner("BotLeft", BotLeft, base ? base->BotLeft : nullptr);
  corner("BotRight", BotRight, base ? base->BotRight : nullptr);
}

TKLDFillList::TKLDFillList() {
  ListName = "Fills";
  ItemClass = &CreateUIObject<TKLDGradedFill>;
  ManagedObjects = &ManagedObjectsOf<TKLDFillList>();
  DefaultObject.reset(new TKLDGradedFill(""));
}

TKLDFill* TKLDFillList::CreateFill(const std::string& inheritName, const std::string& name) {
  ItemClass = &CreateUIObject<TKLDFill>;
  return static_cast<TKLDFill*>(CreateWithInherit(inheritName, name));
}

TKLDGradedFill* TKLDFillList::CreateGradedFill(const std::string& inheritName,
                                               const std::string& name) {
  ItemClass = &CreateUIObject<TKLDGradedFill>;
  return static_cast<TKLDGradedFill*>(CreateWithInherit(inheritName, name));
}

// ---------------------------------------------------------------- plasma clouds

TKLDPlasma::TKLDPlasma(const std::string& name) : TKLDUIDisplayObject(name) {
  TagName = "PlasmaCloud";
  Layers.SetCount(2);
  for (int i = 0; i < Layers.Count(); ++i) Layers.Item(i)->SetSpeed((i + 1) / 2.0f);
}

void TKLDPlasma::InheritFrom(TKLDUIObject& source) {
  auto& plasma = InheritSource<TKLDPlasma>(source);
  TKLDUIDisplayObject::InheritFrom(source);
  BackColour = plasma.BackColour;
  FrontColour = plasma.FrontColour;
}

void TKLDPlasma::SaveXMLBody(std::vector<std::string>& lines) {
  auto* base = dynamic_cast<TKLDPlasma*>(GetAncestor());
  if (BackColour && (!base || BackColour != base->BackColour))
    lines.push_back(NamedElementLine(2, "BackColour", BackColour));
  if (FrontColour && (!base || FrontColour != base->FrontColour))
    lines.push_back(NamedElementLine(2, "FrontColour", FrontColour));
}

void TKLDPlasma::BuildRenderCache(TKLDRenderTarget&) {
  // Without a front colour the cloud is drawn in white, which is what a canvas colour defaults to.
  TKLDCanvasColour front;
  if (FrontColour) front = TKLDCanvasColour::FromARGB(FrontColour->Value);
  PreparePlasma(Layers, front);
}

void TKLDPlasma::Render(TKLDRenderTarget& control) {
  TKLDUIDisplayObject::Render(control);
  // A layer that lost its cloud (device loss) is made again even when the control's own cache
  // survived.
  BuildRenderCache(control);
  TKLDStyleTarget* target = StyleTargetOf(control);
  if (!target || !target->TargetViewport() || !target->TargetViewport()->Canvas()) return;
  TKLDViewport& viewport = *target->TargetViewport();
  TKLDCanvasColour back;
  RenderPlasma(Layers, *viewport.Canvas(),
               viewport.ControlRect(target->TargetX(), target->TargetY(), target->TargetWidth(),
                                    target->TargetHeight()),
               CanvasColourOf(BackColour, back));
}

TKLDPlasmaList::TKLDPlasmaList() {
  ListName = "PlasmaClouds";
  ItemClass = &CreateUIObject<TKLDPlasma>;
  ManagedObjects = &ManagedObjectsOf<TKLDPlasmaList>();
}

TKLDPlasma* TKLDPlasmaList::CreatePlasma(const std::string& inheritName, const std::string& name) {
  return static_cast<TKLDPlasma*>(CreateWithInherit(inheritName, name));
}

}  // namespace lorvane
