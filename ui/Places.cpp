#include "ui/Places.h"

#include "theme/XmlHelper.h"

namespace lorvane {

TKLDAxisAlign AxisOf(TKLDVerticalAlign align) {
  switch (align) {
    case TKLDVerticalAlign::Top: return TKLDAxisAlign::Start;
    case TKLDVerticalAlign::Bottom: return TKLDAxisAlign::End;
    case TKLDVerticalAlign::Center: return TKLDAxisAlign::Center;
    case TKLDVerticalAlign::Parent: return TKLDAxisAlign::Parent;
    default: return TKLDAxisAlign::None;
  }
}

TKLDAxisAlign AxisOf(TKLDHorizontalAlign align) {
  switch (align) {
    case TKLDHorizontalAlign::Left: return TKLDAxisAlign::Start;
    case TKLDHorizontalAlign::Right: return TKLDAxisAlign::End;
    case TKLDHorizontalAlign::Center: return TKLDAxisAlign::Center;
    case TKLDHorizontalAlign::Parent: return TKLDAxisAlign::Parent;
    default: return TKLDAxisAlign::None;
  }
}

bool ParseVerticalAlign(const std::string& text, TKLDVerticalAlign& align) {
  if (text == "top") align = TKLDVerticalAlign::Top;
  else if (text == "bottom") align = TKLDVerticalAlign::Bottom;
  else if (text == "center") align = TKLDVerticalAlign::Center;
  else if (text == "parent") align = TKLDVerticalAlign::Parent;
  else if (text == "none") align = TKLDVerticalAlign::None;
  else return false;
  return true;
}

bool ParseHorizontalAlign(const std::string& text, TKLDHorizontalAlign& align) {
  if (text == "left") align = TKLDHorizontalAlign::Left;
  else if (text == "right") align = TKLDHorizontalAlign::Right;
  else if (text == "center") align = TKLDHorizontalAlign::Center;
  else if (text == "parent") align = TKLDHorizontalAlign::Parent;
  else if (text == "none") align = TKLDHorizontalAlign::None;
  else return false;
  return true;
}

std::string VerticalAlignName(TKLDVerticalAlign align) {
  switch (align) {
    case TKLDVerticalAlign::Top: return "top";
    case TKLDVerticalAlign::Bottom: return "bottom";
    case TKLDVerticalAlign::Center: return "center";
    case TKLDVerticalAlign::Parent: return "parent";
    default: return "none";
  }
}

std::string HorizontalAlignName(TKLDHorizontalAlign align) {
  switch (align) {
    case TKLDHorizontalAlign::Left: return "left";
    case TKLDHorizontalAlign::Right: return "right";
    case TKLDHorizontalAlign::Center: return "center";
    case TKLDHorizontalAlign::Parent: return "parent";
    default: return "none";
  }
}

void AlignAxis(TKLDAxisAlign align, int offset, int bounds, int& position, int& size) {
  switch (align) {
    case TKLDAxisAlign::End: position = bounds - size - offset; break;
    // C++ division truncates toward zero, so an object one pixel larger than its bounds sits at 0.
    case TKLDAxisAlign::Center: position = (bounds - size) / 2 + offset; break;
    case TKLDAxisAlign::Parent:
      position = 0;
      size = bounds;
      break;
    default: position = offset; break;
  }
}

void StretchAxis(TKLDAxisAlign sizing, TKLDAxisAlign placed, int offset, int bounds, int& position,
                 int& size) {
  const bool placedStart = placed == TKLDAxisAlign::None || placed == TKLDAxisAlign::Start;
  switch (sizing) {
    case TKLDAxisAlign::Start:
      if (placed == TKLDAxisAlign::End) {
        size = size + position - offset;
        position = offset;
      } else if (placed == TKLDAxisAlign::Center) {
        size = size / 2 + bounds / 2 - offset;
        position = offset;
      }
      break;
    case TKLDAxisAlign::End:
      if (placedStart) size = bounds - position - offset;
      else if (placed == TKLDAxisAlign::Center) size = size / 2 + bounds / 2 - offset;
      break;
    case TKLDAxisAlign::Center:
      if (placedStart) {
        size = bounds / 2 + offset - position;
      } else if (placed == TKLDAxisAlign::End) {
        size = size + position - bounds / 2 - offset;
        position = bounds / 2 + offset;
      }
      break;
    case TKLDAxisAlign::Parent:
      position = 0;
      size = bounds;
      break;
    default: break;
  }
}

TKLDPlace::TKLDPlace(const std::string& name) : TKLDUIObject(name) { TagName = "Place"; }

void TKLDPlace::InheritFrom(TKLDUIObject& source) {
  auto& place = InheritSource<TKLDPlace>(source);
  TKLDUIObject::InheritFrom(source);
  // A copy takes the scaled offsets as they stand, like every other field.
  X = place.X;
  Y = place.Y;
  ScaledX = place.ScaledX;
  ScaledY = place.ScaledY;
  VerticalAlign = place.VerticalAlign;
  HorizontalAlign = place.HorizontalAlign;
}

void TKLDPlace::SetX(int value) {
  X = value;
  ScaledX = ScaleDesignedX(value);
}

void TKLDPlace::SetY(int value) {
  Y = value;
  ScaledY = ScaleDesignedY(value);
}

void TKLDPlace::SaveXMLBody(std::vector<std::string>& lines) {
  auto* ancestor = dynamic_cast<TKLDPlace*>(GetAncestor());
  if (!ancestor || X != ancestor->X || Y != ancestor->Y)
    lines.push_back(IndentText(2) + "<Position>" + std::to_string(X) + "," + std::to_string(Y) +
                    "</Position>");
  bool vertical = !ancestor || VerticalAlign != ancestor->VerticalAlign;
  bool horizontal = !ancestor || HorizontalAlign != ancestor->HorizontalAlign;
  if (vertical || horizontal) {
    std::string line = IndentText(2) + "<Align";
    if (vertical) line += " vertical=\"" + VerticalAlignName(VerticalAlign) + "\"";
    if (horizontal) line += " horizontal=\"" + HorizontalAlignName(HorizontalAlign) + "\"";
    lines.push_back(line + "/>");
  }
}

TKLDPlaceList::TKLDPlaceList() {
  ListName = "Places";
  ItemClass = &CreateUIObject<TKLDPlace>;
  ManagedObjects = &ManagedObjectsOf<TKLDPlaceList>();
}

}  // namespace lorvane
