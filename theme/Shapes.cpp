#include "theme/Shapes.h"

#include "base/Logging.h"
#include "theme/Fills.h"
#include "theme/VisualDescriptor.h"
#include "theme/XmlHelper.h"

namespace lorvane {

namespace {
const char* const kGeometryNames[] = {"", "roundrect", "rectangle", "ellipse", "line", "arc", "pie"};
}

int ParseGeometryType(const std::string& text) {
  for (int i = 1; i <= gtPie; ++i)
    if (text == kGeometryNames[i]) return i;
  return gtNone;
}

std::string GeometryTypeName(int type) {
  return type >= gtNone && type <= gtPie ? kGeometryNames[type] : "";
}

TKLDShape::TKLDShape(const std::string& name) : TKLDUIDisplayObject(name) { TagName = "Shape"; }

void TKLDShape::SetRadius(int radius) {
  Radius = radius;
  ScaledRadius = ScaleDesignedX(radius);
}

void TKLDShape::SetPenWidth(int width) {
  PenWidth = width;
  ScaledPenWidth = ScaleDesignedX(width);
}

void TKLDShape::InheritFrom(TKLDUIObject& source) {
  auto& shape = InheritSource<TKLDShape>(source);
  TKLDUIDisplayObject::InheritFrom(source);
  GeometryType = shape.GeometryType;
  SetRadius(shape.Radius);
  Angle = shape.Angle;
  Sweep = shape.Sweep;
  SetPenWidth(shape.PenWidth);
  Pen = shape.Pen;
  Brush = shape.Brush;
}

void TKLDShape::SaveXMLBody(std::vector<std::string>& lines) {
  auto* base = dynamic_cast<TKLDShape*>(GetAncestor());
  TKLDShape fresh("");
  const TKLDShape& a = base ? *base : fresh;
  bool typeDiffers = GeometryType != a.GeometryType;
  bool radiusDiffers = GeometryType == gtRoundRect && Radius != a.Radius;
  bool angleDiffers = (GeometryType == gtArc || GeometryType == gtPie) &&
                      (Angle != a.Angle || Sweep != a.Sweep);
  // The type attribute must come with any change: the loader reads the extra attributes only
  // for the type named on the element.
  if (GeometryType != gtNone && (typeDiffers || radiusDiffers || angleDiffers)) {
    std::string line = IndentText(2) + "<Geometry type=\"" + GeometryTypeName(GeometryType) + "\"";
    if (GeometryType == gtRoundRect) line += " radius=\"" + std::to_string(Radius) + "\"";
    if (GeometryType == gtArc || GeometryType == gtPie)
      line += " angle=\"" + std::to_string(Angle) + "\" sweep=\"" + std::to_string(Sweep) + "\"";
    lines.push_back(line + "/>");
  }
  // A "Pen" element without a width gives a shape that does not inherit width 1, so the width
  // goes with every pen that is written.
  if (PenWidth != a.PenWidth || (Pen && Pen != a.Pen)) {
    lines.push_back(IndentText(2) + "<Pen>");
    lines.push_back(IndentText(3) + "<Width>" + std::to_string(PenWidth) + "</Width>");
    if (Pen && Pen != a.Pen) lines.push_back(ReferenceLine(3, Pen));
    lines.push_back(IndentText(2) + "</Pen>");
  }
  if (Brush && Brush != a.Brush) {
    lines.push_back(IndentText(2) + "<Brush>");
    lines.push_back(ReferenceLine(3, Brush));
    lines.push_back(IndentText(2) + "</Brush>");
  }
  if (Width != a.Width || Height != a.Height)
    lines.push_back(IndentText(2) + "<Size>" + std::to_string(Width) + "," + std::to_string(Height) +
                    "</Size>");
}

namespace {

// A shape's rectangle in its viewport; a shape without a size fills the viewport from its place.
TKLDRect ShapeArea(TKLDStyleTarget& target, const TKLDViewport& viewport, bool bothZero) {
  const int x = target.TargetX(), y = target.TargetY();
  int width = target.TargetWidth(), height = target.TargetHeight();
  if (bothZero ? (width == 0 && height == 0) : !(width && height)) {
    width = viewport.Width() - x;
    height = viewport.Height() - y;
  }
  return {x, y, width, height};
}

}  // namespace

// The shape is painted whole at the buffer's corner, wherever it stands and however much of it
// shows: a shape that slides into view, or is clipped by its container, keeps one picture, and
// each frame draws the part of it that can be seen.
void TKLDShape::BuildRenderCache(TKLDRenderTarget& control) {
  TKLDStyleTarget* target = StyleTargetOf(control);
  if (!target) return;
  TKLDViewport* viewport = target->TargetViewport();
  if (!viewport || !viewport->Canvas()) return;
  TKLDCanvas& canvas = *viewport->Canvas();
  TKLDCanvasColour pen, brush;
  canvas.SetLineWidth(ScaledPenWidth);
  canvas.SetPenColour(CanvasColourOf(Pen, pen));
  canvas.SetBrushColour(CanvasColourOf(Brush, brush));
  canvas.Clear();

  const TKLDRect area = ShapeArea(*target, *viewport, true);
  const TKLDRect rect{0, 0, area.Width, area.Height};
  switch (GeometryType) {
    case gtRoundRect:
      if (ScaledRadius > 0)
        canvas.RoundRect(rect, ScaledRadius);
      else
        canvas.Rectangle(rect);
      break;
    case gtRectangle: canvas.Rectangle(rect); break;
    case gtEllipse: canvas.Ellipse(rect); break;
    case gtLine: canvas.Line(rect); break;
    case gtArc: canvas.Arc(rect, Angle, Sweep); break;
    case gtPie: canvas.Pie(rect, Angle, Sweep); break;
    default: break;
  }
  TKLDRenderCache& cache = target->TargetRenderCache();
  TKLDDrawBuffer* buffer = canvas.DrawBuffer();
  cache.SetDrawBuffer(buffer);
  const TKLDRect held = buffer ? IntersectRect(rect, {0, 0, buffer->Width(), buffer->Height()}) : rect;
  if (!cache.Build(held)) LogWarn("Failed to build render cache for shape: " + target->TargetName());
}

void TKLDShape::Render(TKLDRenderTarget& control) {
  TKLDUIDisplayObject::Render(control);
  TKLDStyleTarget* target = StyleTargetOf(control);
  if (!target || !target->TargetViewport()) return;
  TKLDViewport& viewport = *target->TargetViewport();
  const TKLDRect area = ShapeArea(*target, viewport, false);
  const TKLDRect whole = viewport.ControlRect(area.X, area.Y, area.Width, area.Height);
  const TKLDRect visible = viewport.VisibleRect(area.X, area.Y, area.Width, area.Height);
  if (visible.Width <= 0 || visible.Height <= 0) return;
  target->TargetRenderCache().RenderVisible(whole, visible, &target->TargetColour());
}

TKLDShapeList::TKLDShapeList() {
  ListName = "Shapes";
  ItemClass = &CreateUIObject<TKLDShape>;
  ManagedObjects = &ManagedObjectsOf<TKLDShapeList>();
}

TKLDShape* TKLDShapeList::CreateShape(const std::string& inheritName, const std::string& name) {
  return static_cast<TKLDShape*>(CreateWithInherit(inheritName, name));
}

}  // namespace lorvane
