#pragma once
// A read-only table over rows the form keeps itself: the form gives the row
// count and a cell function, so a long series is never copied into the
// control. The view reads the rows it shows and tells the model which rows
// the operator selected.
#include <functional>
#include <string>
#include <vector>

#include "ui/Control.h"

namespace ui {

class ListTable : public Control {
 public:
  using Control::Control;

  const std::vector<std::string>& columns() const { return columns_; }
  void setColumns(const std::vector<std::string>& captions) { set(columns_, captions); }
  int rowCount() const { return rowCount_; }
  // More rows keep the ones before them; fewer start the table afresh.
  void setRowCount(int count) {
    if (count < rowCount_) selection_.clear();
    set(rowCount_, count);
  }
  std::string cell(int row, int col) const { return cellText ? cellText(row, col) : std::string(); }
  std::function<std::string(int row, int col)> cellText;

  // Selected rows in ascending order; set by the view (or a test).
  const std::vector<int>& selection() const { return selection_; }
  void setSelection(std::vector<int> rows) { selection_ = std::move(rows); }

 private:
  std::vector<std::string> columns_;
  int rowCount_ = 0;
  std::vector<int> selection_;
};

}  // namespace ui
