#pragma once
// Places: a designed offset plus how each axis is measured (from the top or left, from the
// bottom or right, from the centre, or filling the parent). Containers and controls are put on
// the display through them; every offset is scaled to pixels when it is set.

#include <string>
#include <vector>

#include "theme/UIObjects.h"

namespace lorvane {

enum class TKLDVerticalAlign { None, Top, Bottom, Center, Parent };
enum class TKLDHorizontalAlign { None, Left, Right, Center, Parent };

// One axis of either direction: left/top, right/bottom, center, parent.
enum class TKLDAxisAlign { None, Start, End, Center, Parent };
TKLDAxisAlign AxisOf(TKLDVerticalAlign align);
TKLDAxisAlign AxisOf(TKLDHorizontalAlign align);

// Theme words; false when the text names no alignment ("none" is a valid name).
bool ParseVerticalAlign(const std::string& text, TKLDVerticalAlign& align);
bool ParseHorizontalAlign(const std::string& text, TKLDHorizontalAlign& align);
std::string VerticalAlignName(TKLDVerticalAlign align);
std::string HorizontalAlignName(TKLDHorizontalAlign align);

// Position (and, for "parent", size) of an object of size `size` inside bounds of `bounds`.
void AlignAxis(TKLDAxisAlign align, int offset, int bounds, int& position, int& size);
// Stretches an object whose position and size are already set, by a sizing place's alignment
// `sizing` and offset, given how it was placed (`placed`) on that axis.
void StretchAxis(TKLDAxisAlign sizing, TKLDAxisAlign placed, int offset, int bounds, int& position,
                 int& size);

class TKLDPlace : public TKLDUIObject {
 public:
  explicit TKLDPlace(const std::string& name);

  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;

  void SetX(int value);
  void SetY(int value);

  int X = 0, Y = 0;
  int ScaledX = 0, ScaledY = 0;
  TKLDVerticalAlign VerticalAlign = TKLDVerticalAlign::None;
  TKLDHorizontalAlign HorizontalAlign = TKLDHorizontalAlign::None;
};

class TKLDPlaceList : public TKLDUIObjectList {
 public:
  TKLDPlaceList();
  TKLDPlace* FindPlace(const std::string& name) const { return FindAs<TKLDPlace>(name); }
};

}  // namespace lorvane
