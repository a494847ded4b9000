#include "ui/StringGrid.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace ui {

namespace {

const std::string& emptyText() {
  static const std::string empty;
  return empty;
}

}  // namespace

StringGrid::StringGrid(std::string name, int colCount, int rowCount)
    : Control(std::move(name)), colCount_(std::max(1, colCount)) {
  cells_.assign(std::max(fixedRows_ + 1, rowCount), std::vector<std::string>(colCount_));
  colWidths_.assign(colCount_, defaultColWidth_);
}

void StringGrid::setRowCount(int count) {
  count = std::max(count, fixedRows_ + 1);
  if (count == rowCount()) return;
  cells_.resize(count, std::vector<std::string>(colCount_));
  const bool moved = row_ >= count;
  if (moved) row_ = count - 1;
  shapeChanged();
  if (moved) currentChanged();
}

void StringGrid::setColCount(int count) {
  count = std::max(count, 1);
  if (count == colCount_) return;
  colCount_ = count;
  for (auto& r : cells_) r.resize(colCount_);
  colWidths_.resize(colCount_, defaultColWidth_);
  const bool moved = col_ >= count;
  if (moved) col_ = count - 1;
  shapeChanged();
  if (moved) currentChanged();
}

void StringGrid::setFixedRows(int count) {
  if (count < 0 || count >= rowCount()) throw std::out_of_range("fixed rows must leave one row below them");
  if (count == fixedRows_) return;
  fixedRows_ = count;
  const bool moved = row_ < fixedRows_;
  if (moved) row_ = fixedRows_;
  shapeChanged();
  if (moved) currentChanged();
}

const std::string& StringGrid::cell(int col, int row) const {
  if (col < 0 || col >= colCount_ || row < 0 || row >= rowCount()) return emptyText();
  return cells_[row][col];
}

void StringGrid::checkCell(int col, int row) const {
  if (col < 0 || col >= colCount_ || row < 0 || row >= rowCount())
    throw std::out_of_range("grid index out of range");
}

void StringGrid::setCell(int col, int row, const std::string& text) {
  checkCell(col, row);
  std::string& c = cells_[row][col];
  if (c == text) return;
  c = text;
  if (gridListener_) gridListener_->gridCellChanged(col, row);
}

std::vector<std::string> StringGrid::rowCells(int row) const {
  if (row < 0 || row >= rowCount()) return std::vector<std::string>(colCount_);
  return cells_[row];
}

void StringGrid::setRowCells(int row, const std::vector<std::string>& cells) {
  checkCell(0, row);
  for (int c = 0; c < colCount_; ++c)
    setCell(c, row, c < static_cast<int>(cells.size()) ? cells[c] : emptyText());
}

void StringGrid::exchangeRows(int a, int b) {
  checkCell(0, a);
  checkCell(0, b);
  if (a == b) return;
  std::swap(cells_[a], cells_[b]);
  for (int c = 0; c < colCount_; ++c) {
    if (!gridListener_) break;
    gridListener_->gridCellChanged(c, a);
    gridListener_->gridCellChanged(c, b);
  }
}

void StringGrid::setRow(int row) {
  if (row < fixedRows_ || row >= rowCount()) throw std::out_of_range("grid index out of range");
  if (row == row_) return;
  row_ = row;
  currentChanged();
}

void StringGrid::setCol(int col) {
  if (col < 0 || col >= colCount_) throw std::out_of_range("grid index out of range");
  if (col == col_) return;
  col_ = col;
  currentChanged();
}

int StringGrid::colWidth(int col) const {
  return col >= 0 && col < colCount_ ? colWidths_[col] : defaultColWidth_;
}

void StringGrid::setColWidth(int col, int width) {
  if (col < 0 || col >= colCount_) throw std::out_of_range("grid index out of range");
  width = std::max(width, 0);
  if (colWidths_[col] == width) return;
  colWidths_[col] = width;
  shapeChanged();
}

void StringGrid::setDefaultRowHeight(int height) {
  height = std::max(height, 1);
  if (height == defaultRowHeight_) return;
  defaultRowHeight_ = height;
  shapeChanged();
}

void StringGrid::setOption(bool& option, bool on) {
  if (option == on) return;
  option = on;
  shapeChanged();
}

void StringGrid::setFocus() {
  if (gridListener_) gridListener_->gridFocusRequested();
}

void StringGrid::editCell(int col, int row, const std::string& text) {
  setCell(col, row, text);
  if (onSetEditText) onSetEditText(col, row, text);
}

void StringGrid::selectCell(int col, int row) {
  if (col < 0 || col >= colCount_ || row < fixedRows_ || row >= rowCount()) return;
  if (col == col_ && row == row_) return;
  col_ = col;
  row_ = row;
  currentChanged();
}

void StringGrid::exit() {
  if (onExit) onExit();
}

void StringGrid::shapeChanged() {
  if (gridListener_) gridListener_->gridShapeChanged();
}

void StringGrid::currentChanged() {
  if (gridListener_) gridListener_->gridCurrentChanged();
}

}  // namespace ui
