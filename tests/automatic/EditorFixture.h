#pragma once
// The orders editor wired to a main window on the manual loop, with scripted
// dialogs and a temporary folder for the orders files.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/TForm1.h"
#include "automatic/DecimalNumbers.h"
#include "automatic/TForm2.h"
#include "platform/ManualEventLoop.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace automatic_test {

using Row = std::vector<std::string>;

struct EditorFixture : ::testing::Test {
  EditorFixture() {
    automatic::setDecimalSeparator('.');
    form1.ComPort1.setPort("COM3");
  }

  // Puts orders into rows 1.. of the grid (replacing what it held).
  void fill(const std::vector<Row>& rows) {
    ui::StringGrid& grid = form2.StringGrid1;
    grid.setRowCount(2);
    grid.setRowCells(1, {});
    grid.setRowCount(static_cast<int>(rows.size()) + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) grid.setRowCells(static_cast<int>(i) + 1, rows[i]);
  }
  // Rows 1.. of the grid.
  std::vector<Row> rows() const {
    std::vector<Row> result;
    for (int r = 1; r < form2.StringGrid1.rowCount(); ++r) result.push_back(form2.StringGrid1.rowCells(r));
    return result;
  }
  // Five numbered orders "A" to "E".
  void fiveOrders() {
    fill({{"1", "A", "5", "s", "1", "3", ""},
          {"2", "B", "5", "s", "1", "3", ""},
          {"3", "C", "5", "s", "1", "3", ""},
          {"4", "D", "5", "s", "1", "3", ""},
          {"5", "E", "5", "s", "1", "3", ""}});
  }
  // Orders file names are Windows-1250; these are ASCII paths.
  std::string path(const std::string& name) const { return (dir / name).string(); }
  std::string read(const std::string& name) const { return testing_support::TempDir::read(dir / name); }
  void write(const std::string& name, const std::string& bytes) const {
    testing_support::TempDir::write(dir / name, bytes);
  }

  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  testing_support::TempDir dir;
  app::TForm1 form1{app::MainWindowServices{loop, dialogs, dir.path(), [] {}}};
  automatic::TForm2 form2{form1};
};

}  // namespace automatic_test
