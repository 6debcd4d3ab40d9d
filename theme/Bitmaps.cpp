#include "theme/Bitmaps.h"

#include "theme/Fills.h"
#include "theme/VisualDescriptor.h"
#include "theme/XmlHelper.h"

namespace lorvane {

TKLDBitmap::TKLDBitmap(const std::string& name)
    : TKLDUIDisplayObject(name), Graphic(std::make_unique<TKLDGraphic>()) {
  TagName = "Bitmap";
}

TKLDBitmap::~TKLDBitmap() = default;

void TKLDBitmap::InheritFrom(TKLDUIObject& source) {
  auto& bitmap = InheritSource<TKLDBitmap>(source);
  TKLDUIDisplayObject::InheritFrom(source);
  FileName = bitmap.FileName;
  Stretch = bitmap.Stretch;
  Graphic->Assign(bitmap.Graphic.get());
}

void TKLDBitmap::SaveXMLBody(std::vector<std::string>& lines) {
  auto* base = dynamic_cast<TKLDBitmap*>(GetAncestor());
  TKLDBitmap fresh("");
  const TKLDBitmap& a = base ? *base : fresh;
  if (!FileName.empty() && FileName != a.FileName)
    lines.push_back(IndentText(2) + "<Filename>" + EncodeXml(FileName) + "</Filename>");
  if (Stretch != a.Stretch || Width != a.Width || Height != a.Height)
    lines.push_back(IndentText(2) + "<Size stretch=\"" + YesNo(Stretch) + "\">" +
                    std::to_string(Width) + "," + std::to_string(Height) + "</Size>");
  if (Colour && Colour != a.Colour) lines.push_back(ReferenceLine(2, Colour));
}

void TKLDBitmap::LoadImage(const std::string& fileName, const std::string& resourcesDir) {
  FileName = fileName;
  if (Loaded) return;
  Loaded = true;
  Graphic->SetRequestedWidth(ScaledWidth);
  Graphic->SetRequestedHeight(ScaledHeight);
  Graphic->SetStretch(Stretch);
  if (FileName.empty()) return;
  Graphic->LoadFromFile(resourcesDir + FileName);
}

void TKLDBitmap::Render(TKLDRenderTarget& control) {
  TKLDStyleTarget* target = StyleTargetOf(control);
  if (!target || !Graphic->HasImage()) return;
  TKLDCanvasColour own;
  const TKLDCanvasColour* tint = CanvasColourOf(Colour, own);
  Draw(*target, *Graphic, tint ? *tint : target->TargetColour());
}

bool TKLDBitmap::DrawSize(const TKLDStyleTarget& target, int& width, int& height) const {
  if (target.TargetWidth() && target.TargetHeight()) {
    width = target.TargetWidth();
    height = target.TargetHeight();
  } else if (ScaledWidth && ScaledHeight) {
    width = ScaledWidth;
    height = ScaledHeight;
  } else {
    width = Graphic->Width();
    height = Graphic->Height();
  }
  return width > 0 && height > 0;
}

void TKLDBitmap::RenderPicture(TKLDStyleTarget& target, TKLDGraphic& picture) {
  Draw(target, picture, target.TargetColour());
}

void TKLDBitmap::Draw(TKLDStyleTarget& target, TKLDGraphic& graphic, const TKLDCanvasColour& tint) {
  TKLDViewport* viewport = target.TargetViewport();
  int width, height;
  if (!viewport || !viewport->Canvas() || !DrawSize(target, width, height)) return;
  viewport->Canvas()->DrawGraphic(viewport->ControlRect(target.TargetX(), target.TargetY(), width, height),
                                  &graphic, &tint);
}

TKLDBitmapList::TKLDBitmapList() {
  ListName = "Bitmaps";
  ItemClass = &CreateUIObject<TKLDBitmap>;
  ManagedObjects = &ManagedObjectsOf<TKLDBitmapList>();
}

TKLDBitmap* TKLDBitmapList::CreateBitmap(const std::string& inheritName, const std::string& name) {
  return static_cast<TKLDBitmap*>(CreateWithInherit(inheritName, name));
}

void TKLDBitmapList::LoadImages(const std::string& resourcesDir) {
  for (int i = 0; i < Count(); ++i)
    if (auto* bitmap = dynamic_cast<TKLDBitmap*>(Object(i)))
      bitmap->LoadImage(bitmap->FileName, resourcesDir);
}

}  // namespace lorvane
