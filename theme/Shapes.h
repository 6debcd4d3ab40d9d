#pragma once
// Vector shapes: painted once into the control's render cache, drawn from it every frame.

#include <string>
#include <vector>

#include "theme/Colours.h"
#include "theme/UIObjects.h"

namespace lorvane {

enum TKLDGeometryType : int {
  gtNone = 0, gtRoundRect = 1, gtRectangle = 2, gtEllipse = 3, gtLine = 4, gtArc = 5, gtPie = 6
};
// "roundrect" ... "pie" to the type, 0 for anything else; and back ("" for none).
int ParseGeometryType(const std::string& text);
std::string GeometryTypeName(int type);

class TKLDShape : public TKLDUIDisplayObject {
 public:
  explicit TKLDShape(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;
  void BuildRenderCache(TKLDRenderTarget& control) override;
  void Render(TKLDRenderTarget& control) override;

  void SetRadius(int radius);
  void SetPenWidth(int width);

  int GeometryType = gtNone;
  int ScaledRadius = 0;
  int Radius = 0;
  int Angle = 0;
  int Sweep = 0;
  TKLDColour* Pen = nullptr;
  int ScaledPenWidth = 0;
  int PenWidth = 0;
  TKLDColour* Brush = nullptr;
};

class TKLDShapeList : public TKLDUIDisplayObjectList {
 public:
  TKLDShapeList();
  TKLDShape* CreateShape(const std::string& inheritName, const std::string& name);
  TKLDShape* FindShape(const std::string& name) const { return FindAs<TKLDShape>(name); }
};

}  // namespace lorvane
