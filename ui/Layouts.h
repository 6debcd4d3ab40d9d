#pragma once
// Layouts put controls in slots: a grid of columns and rows, or a custom list of positions.
// Controls that name no slot take the layout's next free one, counted from 0 by the container
// that resets the layout when it is resized.

#include <string>
#include <vector>

#include "theme/UIObjects.h"

namespace lorvane {

enum class TKLDLayoutKind { None, Grid, Custom };
// Unset, yes or no: absence in the theme is remembered so that it is not written back.
enum class TKLDTriState { Unset, Yes, No };

struct TKLDLayoutPosition {
  int X = 0, Y = 0;
  int ScaledX = 0, ScaledY = 0;
};

struct TKLDLayoutColumn {
  int Width = 0;
  int ScaledWidth = 0;
};

struct TKLDLayoutRow {
  int Height = 0;
  int ScaledHeight = 0;
};

class TKLDLayout : public TKLDUIObject {
 public:
  explicit TKLDLayout(const std::string& name);

  void InheritFrom(TKLDUIObject& source) override;
  void SaveXMLBody(std::vector<std::string>& lines) override;

  void SetColumnCount(int count);
  void SetRowCount(int count);
  void SetDefaultColumnWidth(int width);
  void SetDefaultRowHeight(int height);
  // Numbers are 1-based; numbers outside the list are ignored.
  void SetColumnWidth(int number, int width);
  void SetRowHeight(int number, int height);
  void AddPosition(int x, int y);

  int ColumnCount() const { return static_cast<int>(Columns.size()); }
  int RowCount() const { return static_cast<int>(Rows.size()); }
  // Scaled width of the column at a 0-based index; the default width outside the list.
  int ColumnWidth(int index) const;
  int RowHeight(int index) const;
  // The custom slot at a 0-based index, or null outside the list.
  const TKLDLayoutPosition* PositionAt(int index) const;
  // Pixel offset of a cell (0-based indexes); an axis without entries, or an index outside
  // them, leaves that coordinate as it was.
  void CellOffset(int row, int column, int& x, int& y) const;

  TKLDLayoutKind Kind = TKLDLayoutKind::None;
  std::vector<TKLDLayoutPosition> Positions;
  std::vector<TKLDLayoutColumn> Columns;
  std::vector<TKLDLayoutRow> Rows;
  int DefaultColumnWidth = 0, ScaledDefaultColumnWidth = 0;
  int DefaultRowHeight = 0, ScaledDefaultRowHeight = 0;
  TKLDTriState ScrollHorizontal = TKLDTriState::Unset;
  TKLDTriState ScrollVertical = TKLDTriState::Unset;
  int NextSlot = 0;

  // Rows or columns a layout may declare; more are refused with a warning naming the layout.
  static constexpr int kMaxCells = 10000;

 private:
  int LimitCount(int count, const char* what) const;
};

class TKLDLayoutList : public TKLDUIObjectList {
 public:
  TKLDLayoutList();
  TKLDLayout* FindLayout(const std::string& name) const { return FindAs<TKLDLayout>(name); }
};

// Where one control sits in a layout. Row, Column and Position are 1-based; 0 takes the next
// free slot.
struct TKLDLayoutLocation {
  TKLDLayout* Layout = nullptr;  // not owned
  int Row = 0;
  int Column = 0;
  int Position = 0;

  // Updates x and y to the control's slot; coordinates the slot does not give stay as they were.
  void CalculatePosition(int& x, int& y) const;
  bool operator==(const TKLDLayoutLocation& other) const = default;
};

}  // namespace lorvane
