#include "ui/Layouts.h"

#include <algorithm>

#include "base/Logging.h"
#include "theme/XmlHelper.h"

namespace lorvane {

TKLDLayout::TKLDLayout(const std::string& name) : TKLDUIObject(name) { TagName = "Layout"; }

void TKLDLayout::InheritFrom(TKLDUIObject& source) {
  auto& layout = InheritSource<TKLDLayout>(source);
  TKLDUIObject::InheritFrom(source);
  Kind = layout.Kind;
  Positions = layout.Positions;
  Columns = layout.Columns;
  Rows = layout.Rows;
  // Copied as they stand: going through the setters would spread the defaults over the copied
  // widths.
  DefaultColumnWidth = layout.DefaultColumnWidth;
  ScaledDefaultColumnWidth = layout.ScaledDefaultColumnWidth;
  DefaultRowHeight = layout.DefaultRowHeight;
  ScaledDefaultRowHeight = layout.ScaledDefaultRowHeight;
  ScrollHorizontal = layout.ScrollHorizontal;
  ScrollVertical = layout.ScrollVertical;
}

int TKLDLayout::LimitCount(int count, const char* what) const {
  // Every row and column is held and walked: millions of them from a theme would take gigabytes.
  if (count <= kMaxCells) return count;
  LogWarn("Layout " + Name + " declares " + std::to_string(count) + " " + what + "; only " +
          std::to_string(kMaxCells) + " are used");
  return kMaxCells;
}

void TKLDLayout::SetColumnCount(int count) {
  // A negative count from a theme means no columns rather than a failed allocation.
  if (count < 0) count = 0;
  count = LimitCount(count, "columns");
  if (count == ColumnCount()) return;
  Columns.assign(count, TKLDLayoutColumn{});
}

void TKLDLayout::SetRowCount(int count) {
  // As for columns.
  if (count < 0) count = 0;
  count = LimitCount(count, "rows");
  if (count == RowCount()) return;
  Rows.assign(count, TKLDLayoutRow{});
}

void TKLDLayout::SetDefaultColumnWidth(int width) {
  if (width == DefaultColumnWidth) return;
  DefaultColumnWidth = width;
  ScaledDefaultColumnWidth = ScaleDesignedX(width);
  for (auto& column : Columns) column = {width, ScaledDefaultColumnWidth};
}

void TKLDLayout::SetDefaultRowHeight(int height) {
  if (height == DefaultRowHeight) return;
  DefaultRowHeight = height;
  ScaledDefaultRowHeight = ScaleDesignedY(height);
  for (auto& row : Rows) row = {height, ScaledDefaultRowHeight};
}

void TKLDLayout::SetColumnWidth(int number, int width) {
  if (number < 1 || number > ColumnCount()) return;
  Columns[number - 1] = {width, ScaleDesignedX(width)};
}

void TKLDLayout::SetRowHeight(int number, int height) {
  if (number < 1 || number > RowCount()) return;
  Rows[number - 1] = {height, ScaleDesignedY(height)};
}

void TKLDLayout::AddPosition(int x, int y) {
  Positions.push_back({x, y, ScaleDesignedX(x), ScaleDesignedY(y)});
}

int TKLDLayout::ColumnWidth(int index) const {
  if (index < 0 || index >= ColumnCount()) return ScaledDefaultColumnWidth;
  return Columns[index].ScaledWidth;
}

int TKLDLayout::RowHeight(int index) const {
  if (index < 0 || index >= RowCount()) return ScaledDefaultRowHeight;
  return Rows[index].ScaledHeight;
}

const TKLDLayoutPosition* TKLDLayout::PositionAt(int index) const {
  if (index < 0 || index >= static_cast<int>(Positions.size())) return nullptr;
  return &Positions[index];
}

void TKLDLayout::CellOffset(int row, int column, int& x, int& y) const {
  // Summed wide, then held to the largest length kept, as every designed length is.
  auto held = [](long long v) { return static_cast<int>(std::clamp<long long>(v, -kMaxDesignedLength, kMaxDesignedLength)); };
  if (column >= 0 && column < ColumnCount()) {
    long long sum = 0;
    for (int i = 0; i < column; ++i) sum += Columns[i].ScaledWidth;
    x = held(sum);
  }
  if (row >= 0 && row < RowCount()) {
    long long sum = 0;
    for (int i = 0; i < row; ++i) sum += Rows[i].ScaledHeight;
    y = held(sum);
  }
}

namespace {

std::string TriStateText(TKLDTriState state) { return state == TKLDTriState::Yes ? "yes" : "no"; }

}  // namespace

void TKLDLayout::SaveXMLBody(std::vector<std::string>& lines) {
  auto* ancestor = dynamic_cast<TKLDLayout*>(GetAncestor());
  TKLDLayout fresh("");
  if (!ancestor) ancestor = &fresh;
  // Each kind element sets the kind when read back; a layout whose custom positions are kept
  // under a grid kind writes its positions first, so that the grid element, read last, wins.
  bool positionsDiffer = Positions.size() != ancestor->Positions.size();
  for (size_t i = 0; !positionsDiffer && i < Positions.size(); ++i)
    positionsDiffer = Positions[i].X != ancestor->Positions[i].X || Positions[i].Y != ancestor->Positions[i].Y;
  bool gridDiffers = ColumnCount() != ancestor->ColumnCount() || RowCount() != ancestor->RowCount() ||
                     DefaultColumnWidth != ancestor->DefaultColumnWidth ||
                     DefaultRowHeight != ancestor->DefaultRowHeight;
  for (int i = 0; !gridDiffers && i < ColumnCount(); ++i)
    gridDiffers = Columns[i].Width != ancestor->Columns[i].Width;
  for (int i = 0; !gridDiffers && i < RowCount(); ++i)
    gridDiffers = Rows[i].Height != ancestor->Rows[i].Height;

  auto writeCustom = [&] {
    lines.push_back(IndentText(2) + "<Custom>");
    // Positions are appended when read, so an inheriting layout writes only those it added.
    size_t first = Positions.size() >= ancestor->Positions.size() &&
                           std::equal(ancestor->Positions.begin(), ancestor->Positions.end(),
                                      Positions.begin(),
                                      [](const TKLDLayoutPosition& a, const TKLDLayoutPosition& b) {
                                        return a.X == b.X && a.Y == b.Y;
                                      })
                       ? ancestor->Positions.size()
                       : 0;
    for (size_t i = first; i < Positions.size(); ++i)
      lines.push_back(IndentText(3) + "<Position>" + std::to_string(Positions[i].X) + "," +
                      std::to_string(Positions[i].Y) + "</Position>");
    lines.push_back(IndentText(2) + "</Custom>");
  };
  auto writeGrid = [&] {
    lines.push_back(IndentText(2) + "<Grid rows=\"" + std::to_string(RowCount()) + "\" columns=\"" +
                    std::to_string(ColumnCount()) + "\">");
    lines.push_back(IndentText(3) + "<Columns width=\"" + std::to_string(DefaultColumnWidth) + "\"/>");
    // Every column is written: a count that changes on reload creates columns of width 0,
    // which an unchanged default would not widen again.
    for (int i = 0; i < ColumnCount(); ++i)
        lines.push_back(IndentText(3) + "<Column number=\"" + std::to_string(i + 1) + "\" width=\"" +
                        std::to_string(Columns[i].Width) + "\"/>");
    lines.push_back(IndentText(3) + "<Rows height=\"" + std::to_string(DefaultRowHeight) + "\"/>");
    for (int i = 0; i < RowCount(); ++i)
        lines.push_back(IndentText(3) + "<Row number=\"" + std::to_string(i + 1) + "\" height=\"" +
                        std::to_string(Rows[i].Height) + "\"/>");
    lines.push_back(IndentText(2) + "</Grid>");
  };

  if (Kind == TKLDLayoutKind::Grid) {
    if (positionsDiffer) writeCustom();
    if (gridDiffers || Kind != ancestor->Kind || positionsDiffer) writeGrid();
  } else {
    if (gridDiffers) writeGrid();
    if (positionsDiffer || (Kind == TKLDLayoutKind::Custom && Kind != ancestor->Kind) ||
        (Kind == TKLDLayoutKind::Custom && gridDiffers))
      writeCustom();
  }
  bool h = ScrollHorizontal != ancestor->ScrollHorizontal && ScrollHorizontal != TKLDTriState::Unset;
  bool v = ScrollVertical != ancestor->ScrollVertical && ScrollVertical != TKLDTriState::Unset;
  if (h || v) {
    std::string line = IndentText(2) + "<Scroll";
    if (h) line += " horizontal=\"" + TriStateText(ScrollHorizontal) + "\"";
    if (v) line += " vertical=\"" + TriStateText(ScrollVertical) + "\"";
    lines.push_back(line + "/>");
  }
}

TKLDLayoutList::TKLDLayoutList() {
  ListName = "Layouts";
  ItemClass = &CreateUIObject<TKLDLayout>;
  ManagedObjects = &ManagedObjectsOf<TKLDLayoutList>();
}

void TKLDLayoutLocation::CalculatePosition(int& x, int& y) const {
  TKLDLayout* layout = Layout;
  if (!layout) return;
  if (layout->Kind == TKLDLayoutKind::Grid) {
    const int columns = layout->ColumnCount();
    int row = Row != 0 ? Row - 1 : (columns == 0 ? layout->NextSlot : layout->NextSlot / columns);
    int column = Column != 0 ? Column - 1 : (columns == 0 ? layout->NextSlot : layout->NextSlot % columns);
    if (!(columns > 0 && layout->RowCount() > 0 && Row != 0 && Column != 0)) ++layout->NextSlot;
    LogDebug("Calculating layout Col=" + std::to_string(column) + ", Row=" + std::to_string(row) +
             ", X=" + std::to_string(x) + ", Y=" + std::to_string(y));
    layout->CellOffset(row, column, x, y);
    LogDebug("Calculated layout Col=" + std::to_string(column) + ", Row=" + std::to_string(row) +
             ", X=" + std::to_string(x) + ", Y=" + std::to_string(y));
  } else if (layout->Kind == TKLDLayoutKind::Custom) {
    int index = Position != 0 ? Position - 1 : layout->NextSlot++;
    if (const TKLDLayoutPosition* position = layout->PositionAt(index)) {
      x = position->ScaledX;
      y = position->ScaledY;
    }
  }
}

}  // namespace lorvane
