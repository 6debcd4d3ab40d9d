#include "theme/MediaGrids.h"

#include <algorithm>
#include <cmath>

#include "base/Logging.h"
#include "render/Graphic.h"
#include "theme/Bitmaps.h"
#include "theme/Captions.h"
#include "theme/Fills.h"
#include "theme/VButtons.h"
#include "theme/VisualDescriptor.h"
#include "theme/XmlHelper.h"

namespace lorvane {

const std::string* FindNameValue(const TKLDNameValues& values, const std::string& name) {
  for (const auto& entry : values)
    if (SameText(entry.first, name)) return &entry.second;
  return nullptr;
}

TKLDGraphic* BitmapGraphic(const std::string& bitmapName, const TKLDUIObjectList* fallback) {
  const TKLDUIObjectList* bitmaps = fallback;
  if (TKLDVisualDescriptor* active = ActiveVisualDescriptor()) bitmaps = &active->Bitmaps;
  if (!bitmaps) return nullptr;
  auto* bitmap = bitmaps->FindAs<TKLDBitmap>(bitmapName);
  return bitmap ? bitmap->Graphic.get() : nullptr;
}

// Saturates instead of overflowing: the quotients of theme lengths can be far outside an int.
int RoundHalfEven(double value) {
  if (!(value == value)) return 0;
  return static_cast<int>(std::nearbyint(std::clamp(value, -2147483520.0, 2147483520.0)));
}

// ---------------------------------------------------------------- grids

TKLDGrid::TKLDGrid(const std::string& name)
    : TKLDUICaptionedDisplayObject(name),
      StateImages(std::make_unique<TKLDUIDisplayObjectList>()),
      StateFonts(std::make_unique<TKLDFontList>()) {
  TagName = "Grid";
  MakeReferenceList(*StateImages);
  MakeReferenceList(*StateFonts);
  SetRowHeight(100);
  SetColumnWidth(100);
  SetImageX(10);
  SetImageY(10);
  SetImageWidth(80);
  SetImageHeight(80);
}

void TKLDGrid::SetRowHeight(int v) { RowHeight = v, ScaledRowHeight = ScaleDesignedY(v); }
void TKLDGrid::SetColumnWidth(int v) { ColumnWidth = v, ScaledColumnWidth = ScaleDesignedX(v); }
void TKLDGrid::SetMarginHeight(int v) { MarginHeight = v, ScaledMarginHeight = ScaleDesignedY(v); }
void TKLDGrid::SetMarginWidth(int v) { MarginWidth = v, ScaledMarginWidth = ScaleDesignedX(v); }
void TKLDGrid::SetImageX(int v) { ImageX = v, ScaledImageX = ScaleDesignedX(v); }
void TKLDGrid::SetImageY(int v) { ImageY = v, ScaledImageY = ScaleDesignedY(v); }
void TKLDGrid::SetImageWidth(int v) { ImageWidth = v, ScaledImageWidth = ScaleDesignedX(v); }
void TKLDGrid::SetImageHeight(int v) { ImageHeight = v, ScaledImageHeight = ScaleDesignedY(v); }

// A cell size of 0 would divide by zero; such a style shows nothing.
// Every visible cell is drawn each frame: a tiny cell in a huge style is held to kMaxVisibleCells
// a side rather than millions of cells a frame.
int TKLDGrid::VisibleRows() const {
  return ScaledRowHeight > 0 ? std::min(kMaxVisibleCells, RoundHalfEven(double(ScaledHeight) / ScaledRowHeight)) : 0;
}

int TKLDGrid::VisibleColumns() const {
  return ScaledColumnWidth > 0 ? std::min(kMaxVisibleCells, RoundHalfEven(double(ScaledWidth) / ScaledColumnWidth))
                               : 0;
}

void TKLDGrid::WarnOfTooManyCells() const {
  if (ScaledRowHeight > 0 && RoundHalfEven(double(ScaledHeight) / ScaledRowHeight) > kMaxVisibleCells)
    LogWarn(TagName + " " + Name + " would show more than " + std::to_string(kMaxVisibleCells) +
            " rows; only " + std::to_string(kMaxVisibleCells) + " are drawn");
  if (ScaledColumnWidth > 0 && RoundHalfEven(double(ScaledWidth) / ScaledColumnWidth) > kMaxVisibleCells)
    LogWarn(TagName + " " + Name + " would show more than " + std::to_string(kMaxVisibleCells) +
            " columns; only " + std::to_string(kMaxVisibleCells) + " are drawn");
}

void TKLDGrid::InheritFrom(TKLDUIObject& source) {
  auto& grid = InheritSource<TKLDGrid>(source);
  TKLDUICaptionedDisplayObject::InheritFrom(source);
  Rows = grid.Rows;
  Columns = grid.Columns;
  SetRowHeight(grid.RowHeight);
  SetColumnWidth(grid.ColumnWidth);
  SetMarginHeight(grid.MarginHeight);
  SetMarginWidth(grid.MarginWidth);
  SetImageX(grid.ImageX);
  SetImageY(grid.ImageY);
  SetImageWidth(grid.ImageWidth);
  SetImageHeight(grid.ImageHeight);
  StateImages->Assign(*grid.StateImages);
  StateFonts->Assign(*grid.StateFonts);
}

void TKLDGrid::SaveXMLBody(std::vector<std::string>& lines) {
  auto* base = dynamic_cast<TKLDGrid*>(GetAncestor());
  TKLDGrid fresh("");
  const TKLDGrid& a = base ? *base : fresh;
  auto pair = [](int x, int y) { return std::to_string(x) + "," + std::to_string(y); };
  if ((Caption && Caption != a.Caption) || CaptionX != a.CaptionX || CaptionY != a.CaptionY) {
    std::string open = IndentText(2) + "<Caption";
    if (Caption) open += " name=\"" + EncodeXml(Caption->Name) + "\"";
    lines.push_back(open + ">");
    lines.push_back(IndentText(3) + "<Position>" + pair(CaptionX, CaptionY) + "</Position>");
    lines.push_back(IndentText(2) + "</Caption>");
  }
  SaveStates(lines, *StateImages, *StateFonts, a.StateImages.get(), a.StateFonts.get());
  if (ImageX != a.ImageX || ImageY != a.ImageY || ImageWidth != a.ImageWidth ||
      ImageHeight != a.ImageHeight) {
    lines.push_back(IndentText(2) + "<Image>");
    lines.push_back(IndentText(3) + "<Position>" + pair(ImageX, ImageY) + "</Position>");
    lines.push_back(IndentText(3) + "<Size>" + pair(ImageWidth, ImageHeight) + "</Size>");
    lines.push_back(IndentText(2) + "</Image>");
  }
  if (Rows != a.Rows || Columns != a.Columns || ColumnWidth != a.ColumnWidth ||
      RowHeight != a.RowHeight || MarginWidth != a.MarginWidth || MarginHeight != a.MarginHeight) {
    lines.push_back(IndentText(2) + "<Properties rows=\"" + std::to_string(Rows) + "\" columns=\"" +
                    std::to_string(Columns) + "\">");
    lines.push_back(IndentText(3) + "<Columns width=\"" + std::to_string(ColumnWidth) + "\"/>");
    lines.push_back(IndentText(3) + "<Rows height=\"" + std::to_string(RowHeight) + "\"/>");
    lines.push_back(IndentText(3) + "<Margins width=\"" + std::to_string(MarginWidth) +
                    "\" height=\"" + std::to_string(MarginHeight) + "\"/>");
    lines.push_back(IndentText(2) + "</Properties>");
  }
  if (Width != a.Width || Height != a.Height)
    lines.push_back(IndentText(2) + "<Size>" + pair(Width, Height) + "</Size>");
}

void TKLDGrid::BuildRenderCache(TKLDRenderTarget&) {
  CellInnerWidth = ScaledColumnWidth - 2 * ScaledMarginWidth;
  CellInnerHeight = ScaledRowHeight - 2 * ScaledMarginHeight;
}

void TKLDGrid::Render(TKLDRenderTarget& control) {
  TKLDUIDisplayObject::Render(control);
  TKLDStyleTarget* target = StyleTargetOf(control);
  if (!target || !target->TargetViewport() || !target->TargetViewport()->Canvas()) return;
  TKLDViewport& viewport = *target->TargetViewport();
  TKLDCanvas& canvas = *viewport.Canvas();
  const int state = target->TargetState();
  if (state == csHidden) return;
  const int x = target->TargetX(), y = target->TargetY();
  const int rows = VisibleRows(), columns = VisibleColumns();
  bool pictureLoaded = false;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      const int row = target->GridTopRow() + r, column = target->GridLeftColumn() + c;
      TKLDGridCell* item = target->GridItem(row, column);
      if (!item) continue;
      const bool selected =
          row == target->GridSelectedRow() && column == target->GridSelectedColumn();
      if (state == csDisabled || state > csDisabled)
        item->SetCellState(state);
      else if (state == csFocussed || state == csPressed)
        item->SetCellState(selected ? state : csIdle);
      else
        item->SetCellState(selected ? csDisabled : csIdle);

      auto* cellImage = dynamic_cast<TKLDBitmap*>(
          lorvane::GetStateObject(*StateImages, item->CellState(), item->CellChecked()));
      auto* cellFont = dynamic_cast<TKLDFont*>(
          lorvane::GetStateObject(*StateFonts, item->CellState(), item->CellChecked()));
      const int cellX = x + ScaledMarginWidth + c * ScaledColumnWidth;
      const int cellY = y + ScaledMarginHeight + r * ScaledRowHeight;
      if (cellImage && cellImage->Graphic)
        canvas.DrawGraphic(viewport.ControlRect(cellX, cellY, CellInnerWidth, CellInnerHeight),
                           cellImage->Graphic.get());

      // Decoding pictures is spread over frames: one successful load per grid per frame.
      TKLDGraphic* picture = item->CellImage();
      if (picture && !picture->Loaded() && !pictureLoaded && !picture->FileName().empty())
        pictureLoaded = picture->LoadFromFile();
      if (picture && picture->Loaded()) {
        TKLDRect rect = viewport.ControlRect(cellX + ScaledImageX, cellY + ScaledImageY,
                                             ScaledImageWidth, ScaledImageHeight);
        if (item->CellImageShared())
          canvas.DrawGraphic(rect, picture);
        else
          canvas.DrawSurface(rect, picture);
      }

      if (Caption) {
        const TKLDFont* font = cellFont ? cellFont : Caption->Font;
        int width = CellInnerWidth - ScaledCaptionX, height = CellInnerHeight - ScaledCaptionY;
        // A caption style with a size of its own keeps long names within it, as on a button,
        // so that they stop inside the card instead of at the cell's very edge.
        if (Caption->ScaledWidth > 0 && Caption->ScaledHeight > 0) {
          width = std::min(width, Caption->ScaledWidth);
          height = std::min(height, Caption->ScaledHeight);
        }
        if (font)
          canvas.TextOut(viewport.ControlRect(cellX + ScaledCaptionX, cellY + ScaledCaptionY, width, height),
                         &font->CanvasFont, item->CellCaption());
      }
    }
  }
}

TKLDGridList::TKLDGridList() {
  ListName = "Grids";
  ItemClass = &CreateUIObject<TKLDGrid>;
  ManagedObjects = &ManagedObjectsOf<TKLDGridList>();
}

TKLDGrid* TKLDGridList::CreateGrid(const std::string& inheritName, const std::string& name) {
  return static_cast<TKLDGrid*>(CreateWithInherit(inheritName, name));
}

// ---------------------------------------------------------------- media grids

TKLDMediaGrid::TKLDMediaGrid(const std::string& name) : TKLDGrid(name) { TagName = "MediaGrid"; }

void TKLDMediaGrid::InheritFrom(TKLDUIObject& source) {
  auto& grid = InheritSource<TKLDMediaGrid>(source);
  TKLDGrid::InheritFrom(source);
  DefaultImages = grid.DefaultImages;
}

void TKLDMediaGrid::SaveXMLBody(std::vector<std::string>& lines) {
  TKLDGrid::SaveXMLBody(lines);
  auto* base = dynamic_cast<TKLDMediaGrid*>(GetAncestor());
  const TKLDNameValues empty;
  const TKLDNameValues& theirs = base ? base->DefaultImages : empty;
  // Entries beyond the inherited ones are this grid's own.
  bool extends = DefaultImages.size() >= theirs.size() &&
                 std::equal(theirs.begin(), theirs.end(), DefaultImages.begin());
  size_t from = extends ? theirs.size() : 0;
  if (from < DefaultImages.size()) {
    lines.push_back(IndentText(2) + "<DefaultImages>");
    for (size_t i = from; i < DefaultImages.size(); ++i)
      lines.push_back(IndentText(3) + "<Image name=\"" + EncodeXml(DefaultImages[i].first) +
                      "\"><Bitmap name=\"" + EncodeXml(DefaultImages[i].second) + "\"/></Image>");
    lines.push_back(IndentText(2) + "</DefaultImages>");
  }
  // The media kind is not inherited, so it is compared with a fresh grid's.
  if (MediaKind != kMediaTypeAll)
    lines.push_back(IndentText(2) + "<MediaType mode=\"" + MediaTypeName(MediaKind) + "\"/>");
}

TKLDGraphic* TKLDMediaGrid::GetDefaultImage(int mediaType) const {
  const std::string name = MediaTypeName(mediaType >= 0 && mediaType <= 7 ? mediaType : 8);
  const std::string* bitmap = FindNameValue(DefaultImages, name);
  return bitmap ? BitmapGraphic(*bitmap, FallbackBitmaps) : nullptr;
}

TKLDMediaGridList::TKLDMediaGridList() {
  ListName = "MediaGrids";
  ItemClass = &CreateUIObject<TKLDMediaGrid>;
  ManagedObjects = &ManagedObjectsOf<TKLDMediaGridList>();
}

TKLDMediaGrid* TKLDMediaGridList::CreateMediaGrid(const std::string& inheritName,
                                                  const std::string& name) {
  return static_cast<TKLDMediaGrid*>(CreateWithInherit(inheritName, name));
}

}  // namespace lorvane
