#pragma once
// Grid and media grid styles: a matrix of cells with per-state cell images and fonts, item
// pictures and captions; media grids add default pictures per media type.

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "theme/Fonts.h"
#include "theme/UIObjects.h"

namespace lorvane {

class TKLDGraphic;
class TKLDStyleTarget;

// Entries "name=value" kept in order; lookups take the first entry of a name, in any case.
using TKLDNameValues = std::vector<std::pair<std::string, std::string>>;
const std::string* FindNameValue(const TKLDNameValues& values, const std::string& name);
// The graphic of the named bitmap in the active visual descriptor (or, before one is active,
// in the given fallback list); none when any step finds nothing.
TKLDGraphic* BitmapGraphic(const std::string& bitmapName, const TKLDUIObjectList* fallback);

// Rounds half to even, as the visible rows and columns are counted.
int RoundHalfEven(double value);

class TKLDGrid : public TKLDUICaptionedDisplayObject {
 public:
  explicit TKLDGrid(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;
  // Works out the inner size of a cell.
  void BuildRenderCache(TKLDRenderTarget& control) override;
  void Render(TKLDRenderTarget& control) override;

  void SetRowHeight(int value);
  void SetColumnWidth(int value);
  void SetMarginHeight(int value);
  void SetMarginWidth(int value);
  void SetImageX(int value);
  void SetImageY(int value);
  void SetImageWidth(int value);
  void SetImageHeight(int value);
  // Rows and columns that fit in the style's size; none when the cell size is 0.
  int VisibleRows() const;
  int VisibleColumns() const;
  // Warns, naming the style, when its cells would be held to kMaxVisibleCells.
  void WarnOfTooManyCells() const;
  static constexpr int kMaxVisibleCells = 256;

  std::unique_ptr<TKLDUIDisplayObjectList> StateImages;
  std::unique_ptr<TKLDFontList> StateFonts;
  int Rows = 10;
  int Columns = 10;
  // Designed lengths with their display twins, kept in step by the setters.
  int RowHeight = 0, ScaledRowHeight = 0;
  int ColumnWidth = 0, ScaledColumnWidth = 0;
  int MarginHeight = 0, ScaledMarginHeight = 0;
  int MarginWidth = 0, ScaledMarginWidth = 0;
  int ImageX = 0, ScaledImageX = 0;
  int ImageY = 0, ScaledImageY = 0;
  int ImageWidth = 0, ScaledImageWidth = 0;
  int ImageHeight = 0, ScaledImageHeight = 0;
  int CellInnerWidth = 0;
  int CellInnerHeight = 0;
};

class TKLDGridList : public TKLDUIDisplayObjectList {
 public:
  TKLDGridList();
  TKLDGrid* CreateGrid(const std::string& inheritName, const std::string& name);
  TKLDGrid* FindGrid(const std::string& name) const { return FindAs<TKLDGrid>(name); }
};

class TKLDMediaGrid : public TKLDGrid {
 public:
  explicit TKLDMediaGrid(const std::string& name);
  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;
  // The picture for items of a media type that bring none of their own.
  TKLDGraphic* GetDefaultImage(int mediaType) const;

  TKLDNameValues DefaultImages;  // media-type name, bitmap name
  int MediaKind = 9;             // "all"
  // Where bitmaps are looked up while no visual descriptor is active.
  const TKLDUIObjectList* FallbackBitmaps = nullptr;
};

class TKLDMediaGridList : public TKLDUIDisplayObjectList {
 public:
  TKLDMediaGridList();
  TKLDMediaGrid* CreateMediaGrid(const std::string& inheritName, const std::string& name);
  TKLDMediaGrid* FindMediaGrid(const std::string& name) const {
    return FindAs<TKLDMediaGrid>(name);
  }
};

}  // namespace lorvane
