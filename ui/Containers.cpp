#include "ui/Containers.h"

#include <algorithm>

#include "base/Logging.h"
#include "theme/XmlHelper.h"
#include "ui/FunctionList.h"

namespace lorvane {

TKLDContainer::TKLDContainer(const std::string& name) : TKLDAbstractControl(name) {
  TagName = "Container";
  Viewport = &OwnViewport;
}

void TKLDContainer::InheritFrom(TKLDUIObject& source) {
  auto& container = InheritSource<TKLDContainer>(source);
  TKLDUIObject::InheritFrom(source);
  Placement = container.Placement;
  Sizing = container.Sizing;
  Layout = container.Layout;
  Background = container.Background;
  Foreground = container.Foreground;
  Contents = container.Contents;
  Clipping = container.Clipping;
  DesignedWidth = container.DesignedWidth;
  DesignedHeight = container.DesignedHeight;
  ScaledWidth = container.ScaledWidth;
  ScaledHeight = container.ScaledHeight;
}

void TKLDContainer::SetWidth(int value) {
  DesignedWidth = value;
  ScaledWidth = ScaleDesignedX(value);
}

void TKLDContainer::SetHeight(int value) {
  DesignedHeight = value;
  ScaledHeight = ScaleDesignedY(value);
}

void TKLDContainer::Resize() {
  TKLDAbstractControl::Resize();
  if (Layout) Layout->NextSlot = 0;
  Width = ScaledWidth;
  Height = ScaledHeight;
  // The display bounds every container.
  TKLDViewport& display = ScreenViewport();
  ApplyPlacement(display.Width(), display.Height());
  OwnViewport.SetWidth(Width);
  OwnViewport.SetHeight(Height);
  OwnViewport.SetOriginX(X);
  OwnViewport.SetOriginY(Y);
  LogDebug("After container resize " + Name + GeometryText());
}

void TKLDContainer::Render(TKLDViewport&) {
  if (!Initialised) Initialise();
  OwnViewport.SetClipping(Clipping);
  if (Background) Background->Render(*this);
  for (TKLDControl* control : Contents)
    if (control) control->Render(OwnViewport);
  if (Foreground) Foreground->Render(*this);
}

void TKLDContainer::Invalidate() {
  TKLDAbstractControl::Invalidate();
  for (TKLDControl* control : Contents)
    if (control) control->Invalidate();
}

bool TKLDContainer::Holds(const TKLDControl* control) const {
  return std::find(Contents.begin(), Contents.end(), control) != Contents.end();
}

void TKLDContainer::SaveXMLBody(std::vector<std::string>& lines) {
  TKLDContainer fresh("");
  auto* a = dynamic_cast<TKLDContainer*>(Ancestor);
  if (!a) a = &fresh;
  auto reference = [&](const char* element, const TKLDUIObject* object) {
    lines.push_back(IndentText(2) + "<" + element + XmlAttribute("name", object ? object->Name : "") + "/>");
  };
  if (Placement != a->Placement) reference("Placement", Placement);
  if (Sizing != a->Sizing) reference("Sizing", Sizing);
  if (Layout != a->Layout) reference("Layout", Layout);
  if (Background != a->Background) reference("Background", Background);
  if (Foreground != a->Foreground) reference("Foreground", Foreground);
  if (DesignedWidth != a->DesignedWidth || DesignedHeight != a->DesignedHeight)
    lines.push_back(IndentText(2) + "<Size>" + std::to_string(DesignedWidth) + "," + std::to_string(DesignedHeight) +
                    "</Size>");
  // Contents read from the file are appended to the inherited ones: only the added ones are written.
  size_t first = 0;
  if (a->Contents.size() <= Contents.size() && std::equal(a->Contents.begin(), a->Contents.end(), Contents.begin()))
    first = a->Contents.size();
  if (first < Contents.size()) {
    lines.push_back(IndentText(2) + "<Contents>");
    for (size_t i = first; i < Contents.size(); ++i)
      lines.push_back(IndentText(3) + "<Control" + XmlAttribute("name", Contents[i] ? Contents[i]->Name : "") + "/>");
    lines.push_back(IndentText(2) + "</Contents>");
  }
  // Clipping can only be switched on by a theme.
  if (Clipping && !a->Clipping) lines.push_back(IndentText(2) + "<Properties clipping=\"yes\"/>");
}

TKLDContainerList::TKLDContainerList() {
  ListName = "Containers";
  ItemClass = &CreateUIObject<TKLDContainer>;
  ManagedObjects = &ManagedObjectsOf<TKLDContainerList>();
}

}  // namespace lorvane
