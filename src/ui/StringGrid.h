#pragma once
// A grid of text cells with a fixed title row: cells addressed as
// [column, row], the current cell, whole-row reads and writes, column widths
// and row heights. Rows at and beyond the row count are empty: a row that
// leaves the grid keeps nothing. The view is told precisely what changed (a
// cell, the shape, the current cell) so it never rebuilds the whole table for
// one cell.
#include <functional>
#include <string>
#include <vector>

#include "ui/Control.h"

namespace ui {

class StringGridListener {
 public:
  virtual ~StringGridListener() = default;
  virtual void gridCellChanged(int col, int row) = 0;
  // Row or column count, fixed rows, widths, heights or options changed.
  virtual void gridShapeChanged() = 0;
  virtual void gridCurrentChanged() = 0;
  // A handler gave the grid the input focus.
  virtual void gridFocusRequested() = 0;
};

class StringGrid : public Control {
 public:
  explicit StringGrid(std::string name, int colCount = 5, int rowCount = 5);

  int colCount() const { return colCount_; }
  int rowCount() const { return static_cast<int>(cells_.size()); }
  // Never below fixedRows() + 1. Rows cut off lose their cells; the current
  // row stays within the new count.
  void setRowCount(int count);
  void setColCount(int count);
  int fixedRows() const { return fixedRows_; }
  // Below the row count; the current row moves below the fixed rows.
  void setFixedRows(int count);

  // Empty for a cell outside the grid.
  const std::string& cell(int col, int row) const;
  // Throws std::out_of_range for a cell outside the grid.
  void setCell(int col, int row, const std::string& text);

  // All cells of a row, colCount() of them (empty ones outside the grid).
  std::vector<std::string> rowCells(int row) const;
  // Writes a whole row: missing cells become empty, extra ones are dropped.
  // Throws std::out_of_range for a row outside the grid.
  void setRowCells(int row, const std::vector<std::string>& cells);
  // Exchanges two whole rows. Throws std::out_of_range outside the grid.
  void exchangeRows(int a, int b);

  // The current cell. Setting a row among the fixed ones or at or beyond the
  // row count (a column likewise) throws std::out_of_range.
  int row() const { return row_; }
  int col() const { return col_; }
  void setRow(int row);
  void setCol(int col);

  // Widths of the columns and the height of every row, in pixels.
  int colWidth(int col) const;
  void setColWidth(int col, int width);
  int defaultColWidth() const { return defaultColWidth_; }
  int defaultRowHeight() const { return defaultRowHeight_; }
  void setDefaultRowHeight(int height);

  // Options: cells edited in place, the editor shown without a click, rows
  // and columns resized by the operator.
  bool editing() const { return editing_; }
  void setEditing(bool on) { setOption(editing_, on); }
  bool alwaysShowEditor() const { return alwaysShowEditor_; }
  void setAlwaysShowEditor(bool on) { setOption(alwaysShowEditor_, on); }
  bool rowSizing() const { return rowSizing_; }
  void setRowSizing(bool on) { setOption(rowSizing_, on); }
  bool colSizing() const { return colSizing_; }
  void setColSizing(bool on) { setOption(colSizing_, on); }

  // Gives the grid the input focus (the view does it).
  void setFocus();

  // The operator's actions, as the view reports them.
  // The editor changed a cell's text: the cell takes it, then onSetEditText runs.
  void editCell(int col, int row, const std::string& text);
  // The operator moved the current cell (no handler runs).
  void selectCell(int col, int row);
  // The grid lost the input focus: onExit runs.
  void exit();

  std::function<void(int col, int row, const std::string& text)> onSetEditText;
  std::function<void()> onExit;

  void setGridListener(StringGridListener* listener) { gridListener_ = listener; }
  StringGridListener* gridListener() const { return gridListener_; }

 private:
  void setOption(bool& option, bool on);
  void checkCell(int col, int row) const;
  void shapeChanged();
  void currentChanged();

  int colCount_;
  int fixedRows_ = 1;
  std::vector<std::vector<std::string>> cells_;
  int row_ = 1;
  int col_ = 0;
  int defaultColWidth_ = 64;
  int defaultRowHeight_ = 24;
  std::vector<int> colWidths_;
  bool editing_ = false;
  bool alwaysShowEditor_ = false;
  bool rowSizing_ = false;
  bool colSizing_ = false;
  StringGridListener* gridListener_ = nullptr;
};

}  // namespace ui
