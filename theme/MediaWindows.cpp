#include "theme/MediaWindows.h"

#include "theme/Fills.h"
#include "theme/VisualDescriptor.h"
#include "theme/XmlHelper.h"

namespace lorvane {

namespace {
TKLDCurrentStreamSource& StreamSource() {
  static TKLDCurrentStreamSource source;
  return source;
}
}  // namespace

void SetCurrentStreamSource(TKLDCurrentStreamSource source) { StreamSource() = std::move(source); }

TKLDMediaWindow::TKLDMediaWindow(const std::string& name) : TKLDUIDisplayObject(name) {
  TagName = "MediaWindow";
}

void TKLDMediaWindow::InheritFrom(TKLDUIObject& source) {
  auto& window = InheritSource<TKLDMediaWindow>(source);
  TKLDUIDisplayObject::InheritFrom(source);
  Colour = window.Colour;
}

void TKLDMediaWindow::SaveXMLBody(std::vector<std::string>& lines) {
  auto* base = dynamic_cast<TKLDMediaWindow*>(GetAncestor());
  TKLDMediaWindow fresh("");
  const TKLDMediaWindow& a = base ? *base : fresh;
  if (Colour && Colour != a.Colour) lines.push_back(ReferenceLine(2, Colour));
  if (Width != a.Width || Height != a.Height)
    lines.push_back(IndentText(2) + "<Size>" + std::to_string(Width) + "," + std::to_string(Height) +
                    "</Size>");
}

void TKLDMediaWindow::Render(TKLDRenderTarget& control) {
  TKLDStyleTarget* target = StyleTargetOf(control);
  if (!target || !StreamSource()) return;
  TKLDMediaWindowSink* stream = StreamSource()();
  if (!stream) return;
  stream->SetWindowTint(Colour ? std::optional<uint32_t>(Colour->Value) : std::nullopt);
  int x = target->TargetX(), y = target->TargetY();
  int width, height;
  TKLDViewport* viewport = target->TargetViewport();
  if (target->TargetWidth() && target->TargetHeight()) {
    width = target->TargetWidth();
    height = target->TargetHeight();
  } else if (ScaledWidth && ScaledHeight) {
    width = ScaledWidth;
    height = ScaledHeight;
  } else {
    width = viewport ? viewport->Width() - x : 0;
    height = viewport ? viewport->Height() - y : 0;
  }
  stream->SetWindowRect(viewport ? viewport->ControlRect(x, y, width, height)
                                 : TKLDRect{x, y, width, height});
}

TKLDMediaWindowList::TKLDMediaWindowList() {
  ListName = "MediaWindows";
  ItemClass = &CreateUIObject<TKLDMediaWindow>;
  ManagedObjects = &ManagedObjectsOf<TKLDMediaWindowList>();
}

TKLDMediaWindow* TKLDMediaWindowList::CreateMediaWindow(const std::string& inheritName,
                                                        const std::string& name) {
  return static_cast<TKLDMediaWindow*>(CreateWithInherit(inheritName, name));
}

}  // namespace lorvane
