// The string grid model: rows that leave the grid keep nothing, the current
// cell stays inside it, whole rows, and what the view and the handlers are told.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "ui/StringGrid.h"

namespace {

using Row = std::vector<std::string>;

struct Recorder : ui::StringGridListener {
  std::vector<std::string> events;
  void gridCellChanged(int col, int row) override {
    events.push_back("cell " + std::to_string(col) + "," + std::to_string(row));
  }
  void gridShapeChanged() override { events.push_back("shape"); }
  void gridCurrentChanged() override { events.push_back("current"); }
  void gridFocusRequested() override { events.push_back("focus"); }
};

TEST(StringGridTest, RowsThatLeaveTheGridKeepNothingAndTheCurrentRowStaysInside) {
  ui::StringGrid grid("g", 3, 2);
  EXPECT_EQ(grid.rowCount(), 2);
  EXPECT_EQ(grid.fixedRows(), 1);
  EXPECT_EQ(grid.row(), 1);

  grid.setRowCount(5);
  grid.setRowCells(4, {"a", "b", "c"});
  grid.setRow(4);
  grid.setRowCount(3);
  EXPECT_EQ(grid.row(), 2);
  grid.setRowCount(5);
  EXPECT_EQ(grid.rowCells(4), (Row{"", "", ""}));

  // Never fewer rows than the fixed ones and one more.
  grid.setRowCount(0);
  EXPECT_EQ(grid.rowCount(), 2);

  // Reading outside gives empty cells; writing or moving there is refused.
  EXPECT_EQ(grid.cell(1, 7), "");
  EXPECT_EQ(grid.cell(-1, 1), "");
  EXPECT_EQ(grid.rowCells(9), (Row{"", "", ""}));
  EXPECT_THROW(grid.setCell(0, 2, "x"), std::out_of_range);
  EXPECT_THROW(grid.setCell(3, 1, "x"), std::out_of_range);
  EXPECT_THROW(grid.setRow(0), std::out_of_range);
  EXPECT_THROW(grid.setRow(2), std::out_of_range);
  EXPECT_THROW(grid.setCol(3), std::out_of_range);
  EXPECT_THROW(grid.setFixedRows(2), std::out_of_range);
}

TEST(StringGridTest, WholeRowsAreWrittenPaddedAndExchangedTogether) {
  ui::StringGrid grid("g", 3, 3);
  grid.setRowCells(1, {"1", "SI"});
  grid.setRowCells(2, {"2", "wait", "5", "extra"});
  EXPECT_EQ(grid.rowCells(1), (Row{"1", "SI", ""}));
  EXPECT_EQ(grid.rowCells(2), (Row{"2", "wait", "5"}));
  grid.exchangeRows(1, 2);
  EXPECT_EQ(grid.rowCells(1), (Row{"2", "wait", "5"}));
  EXPECT_EQ(grid.rowCells(2), (Row{"1", "SI", ""}));
  EXPECT_THROW(grid.exchangeRows(2, 3), std::out_of_range);

  // Fewer columns drop the cells beyond them for good.
  grid.setColCount(2);
  grid.setColCount(3);
  EXPECT_EQ(grid.rowCells(1), (Row{"2", "wait", ""}));
}

TEST(StringGridTest, TheViewIsToldWhatChangedAndTheOperatorsEditsReachTheHandlers) {
  ui::StringGrid grid("g", 2, 3);
  Recorder view;
  grid.setGridListener(&view);
  std::vector<std::string> handled;
  grid.onSetEditText = [&](int col, int row, const std::string& text) {
    // The cell holds the text by the time the handler runs.
    handled.push_back(std::to_string(col) + "," + std::to_string(row) + "=" + text + "/" +
                      grid.cell(col, row));
  };
  grid.onExit = [&] { handled.push_back("exit"); };

  grid.setCell(1, 2, "x");
  grid.setCell(1, 2, "x");  // no change, nothing told
  grid.setRow(2);
  grid.setRowCount(2);  // the current row moves up with the cut
  grid.setColWidth(0, 40);
  grid.setFocus();
  EXPECT_EQ(view.events,
            (std::vector<std::string>{"cell 1,2", "current", "shape", "current", "shape", "focus"}));
  EXPECT_EQ(grid.colWidth(0), 40);
  EXPECT_EQ(grid.colWidth(1), grid.defaultColWidth());

  view.events.clear();
  grid.editCell(0, 1, "12");
  grid.selectCell(1, 1);
  grid.selectCell(1, 0);  // a fixed row cannot be selected
  grid.exit();
  EXPECT_EQ(handled, (std::vector<std::string>{"0,1=12/12", "exit"}));
  EXPECT_EQ(view.events, (std::vector<std::string>{"cell 0,1", "current"}));
  EXPECT_EQ(grid.col(), 1);
  EXPECT_EQ(grid.row(), 1);
}

}  // namespace
