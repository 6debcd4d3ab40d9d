#pragma once
// Theme fonts: typeface, size, styles, outline and shadow, all given in designed units and kept
// scaled to the display in the canvas font that text drawing takes.

#include <string>
#include <vector>

#include "render/Canvas.h"
#include "theme/Colours.h"
#include "theme/UIObjects.h"

namespace lorvane {

class TKLDFont : public TKLDUIObject {
 public:
  explicit TKLDFont(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;

  void SetSize(int size);
  void SetShadowX(int x);
  void SetShadowY(int y);
  void SetOutlineThickness(int thickness);
  void SetColour(TKLDColour* colour);
  void SetShadowColour(TKLDColour* colour);

  TKLDColour* Colour = nullptr;
  bool Outline = false;
  TKLDColour* OutlineColour = nullptr;
  int ScaledOutlineThickness = 0;
  int OutlineThickness = 0;
  int ShadowX = 0;
  int ShadowY = 0;
  int Size = 0;
  TKLDColour* ShadowColour = nullptr;
  TKLDCanvasFont CanvasFont;
};

class TKLDFontList : public TKLDUIObjectList {
 public:
  TKLDFontList();
  TKLDFont* CreateFont(const std::string& inheritName, const std::string& name);
  TKLDFont* FindFont(const std::string& name) const { return FindAs<TKLDFont>(name); }
};

}  // namespace lorvane
