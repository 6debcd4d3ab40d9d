#include "theme/Fonts.h"

#include "theme/Fills.h"
#include "theme/XmlHelper.h"

namespace lorvane {

TKLDFont::TKLDFont(const std::string& name) : TKLDUIObject(name) { TagName = "Font"; }

void TKLDFont::SetSize(int size) {
  Size = size;
  CanvasFont.Size = ScaleDesignedX(size);
}

void TKLDFont::SetShadowX(int x) {
  ShadowX = x;
  CanvasFont.ShadowOffsetX = ScaleDesignedX(x);
}

void TKLDFont::SetShadowY(int y) {
  ShadowY = y;
  CanvasFont.ShadowOffsetY = ScaleDesignedY(y);
}

void TKLDFont::SetOutlineThickness(int thickness) {
  OutlineThickness = thickness;
  ScaledOutlineThickness = ScaleDesignedX(thickness);
}

void TKLDFont::SetColour(TKLDColour* colour) {
  Colour = colour;
  TKLDCanvasColour value;
  CanvasFont.Colour.Assign(CanvasColourOf(colour, value));
}

void TKLDFont::SetShadowColour(TKLDColour* colour) {
  ShadowColour = colour;
  TKLDCanvasColour value;
  CanvasFont.ShadowColour.Assign(CanvasColourOf(colour, value));
}

void TKLDFont::InheritFrom(TKLDUIObject& source) {
  auto& font = InheritSource<TKLDFont>(source);
  TKLDUIObject::InheritFrom(source);
  CanvasFont = font.CanvasFont;
  SetColour(font.Colour);
  Outline = font.Outline;
  OutlineColour = font.OutlineColour;
  SetOutlineThickness(font.OutlineThickness);
  SetShadowX(font.ShadowX);
  SetShadowY(font.ShadowY);
  SetSize(font.Size);
  SetShadowColour(font.ShadowColour);
}

void TKLDFont::SaveXMLBody(std::vector<std::string>& lines) {
  auto* base = dynamic_cast<TKLDFont*>(GetAncestor());
  TKLDFont fresh("");
  const TKLDFont& a = base ? *base : fresh;
  const TKLDCanvasFont& own = CanvasFont;
  const TKLDCanvasFont& theirs = a.CanvasFont;

  if (!own.Name.empty() && own.Name != theirs.Name)
    lines.push_back(IndentText(2) + "<Typeface>" + EncodeXml(own.Name) + "</Typeface>");
  if (Size != a.Size)
    lines.push_back(IndentText(2) + "<Size>" + std::to_string(Size) + "</Size>");
  if (Colour && Colour != a.Colour) lines.push_back(ReferenceLine(2, Colour));
  // A group of flags is written whole whenever any flag differs: writing it only when a set flag
  // differs would lose a flag cleared against the ancestor.
  if (own.Bold != theirs.Bold || own.Italic != theirs.Italic || own.Underline != theirs.Underline)
    lines.push_back(IndentText(2) + "<Characteristics bold=\"" + YesNo(own.Bold) + "\" italic=\"" +
                    YesNo(own.Italic) + "\" underline=\"" + YesNo(own.Underline) + "\"/>");
  if (Outline != a.Outline || own.Shadow != theirs.Shadow)
    lines.push_back(IndentText(2) + "<Features outline=\"" + YesNo(Outline) + "\" shadow=\"" +
                    YesNo(own.Shadow) + "\"/>");
  if (Outline) {
    std::vector<std::string> body;
    if (OutlineColour && OutlineColour != a.OutlineColour)
      body.push_back(ReferenceLine(3, OutlineColour));
    // The thickness always goes with an outline: a font that does not inherit would otherwise
    // read back as 1 instead of what it had.
    body.push_back(IndentText(3) + "<Thickness>" + std::to_string(OutlineThickness) +
                   "</Thickness>");
    lines.push_back(IndentText(2) + "<Outline>");
    lines.insert(lines.end(), body.begin(), body.end());
    lines.push_back(IndentText(2) + "</Outline>");
  }
  if (own.Shadow) {
    std::vector<std::string> body;
    if (ShadowColour && ShadowColour != a.ShadowColour) body.push_back(ReferenceLine(3, ShadowColour));
    if (ShadowX != a.ShadowX || ShadowY != a.ShadowY)
      body.push_back(IndentText(3) + "<Offset>" + std::to_string(ShadowX) + "," +
                     std::to_string(ShadowY) + "</Offset>");
    if (!body.empty()) {
      lines.push_back(IndentText(2) + "<Shadow>");
      lines.insert(lines.end(), body.begin(), body.end());
      lines.push_back(IndentText(2) + "</Shadow>");
    }
  }
}

TKLDFontList::TKLDFontList() {
  ListName = "Fonts";
  ItemClass = &CreateUIObject<TKLDFont>;
  ManagedObjects = &ManagedObjectsOf<TKLDFontList>();
}

TKLDFont* TKLDFontList::CreateFont(const std::string& inheritName, const std::string& name) {
  return static_cast<TKLDFont*>(CreateWithInherit(inheritName, name));
}

}  // namespace lorvane
