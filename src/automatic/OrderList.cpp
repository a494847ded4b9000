// The order list: rows of seven text cells in the editor's grid, the row
// operations with their numbering, and the validation before a save.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "automatic/DecimalNumbers.h"
#include "automatic/TForm2.h"
#include "platform/WholeNumbers.h"

namespace automatic {

std::string TForm2::currentPortNumber() const {
  // "COM3" gives 3. A port named by its device path keeps the whole path,
  // which "COM" followed by it names again.
  const std::string port = host_.serialPortName();
  if (port.rfind("COM", 0) == 0) return port.substr(3);
  return port;
}

std::vector<std::string> TForm2::newOrder(int number) const {
  return {std::to_string(number), "SI", "5", "s", "1", currentPortNumber(), ""};
}

void TForm2::setNumber(int row, int number) {
  StringGrid1.setCell(colNumber, row, std::to_string(number));
}

int TForm2::AddStringGridRow(bool insert) {
  try {
    ui::StringGrid& grid = StringGrid1;
    // The list ends at the first row without a time; rows beyond the count
    // are empty, so the walk stops at the count at the latest.
    int r = 1;
    while (!grid.cell(colTime, r).empty()) ++r;
    std::vector<std::string> inHand = newOrder(r);
    grid.setRowCount(r + 1);

    const int p = grid.row() + 1;
    if (!insert || p > r) {
      grid.setRowCells(r, inHand);
      setNumber(r, r);
    } else {
      // The new order goes into row p and pushes the rows below it down; the
      // old content of row r drops out.
      for (int i = p; i <= r; ++i) {
        std::vector<std::string> displaced = grid.rowCells(i);
        grid.setRowCells(i, inHand);
        setNumber(i, i);
        inHand = std::move(displaced);
      }
    }
    grid.setFixedRows(1);
    return grid.rowCount() - 1;
  } catch (const std::out_of_range&) {
    return -1;
  }
}

void TForm2::DeleteStringGridRow() {
  try {
    ui::StringGrid& grid = StringGrid1;
    if (grid.rowCount() <= 2) {
      grid.setRowCells(1, {});
      return;
    }
    const int c = grid.row();
    for (int i = c; i <= grid.rowCount() - 2; ++i) {
      grid.setRowCells(i, grid.rowCells(i + 1));
      setNumber(i, i);
    }
    grid.setCell(colTime, grid.rowCount() - 1, "");
    grid.setRowCount(grid.rowCount() - 1);
  } catch (const std::out_of_range&) {
    // The grid stays as far as the deletion got.
  }
}

bool TForm2::CheckOrders() {
  ui::StringGrid& grid = StringGrid1;
  for (int r = 1; r < grid.rowCount(); ++r) {
    for (int c = 0; c < grid.colCount(); ++c) {
      const std::string& text = grid.cell(c, r);
      std::int32_t whole = 0;
      double decimal = 0;
      bool valid = true;
      switch (c) {
        case colNumber:
        case colRepeats:
          valid = platform::tryParseInteger(text, whole);
          break;
        case colOrder:
          valid = !text.empty();
          break;
        case colTime:
          valid = tryParseDecimal(text, decimal);
          break;
        case colUnit:
          valid = text == "s" || text == "m" || text == "h";
          break;
        default:
          break;
      }
      if (valid) continue;
      grid.setRow(r);
      grid.setCol(c);
      focusGrid();
      return false;
    }
  }
  return true;
}

void TForm2::BitBtnAddClick() {
  AddStringGridRow(true);
  focusGrid();
}

void TForm2::BitBtnDeleteClick() {
  DeleteStringGridRow();
  focusGrid();
}

void TForm2::BitBtnUpClick() {
  ui::StringGrid& grid = StringGrid1;
  try {
    if (grid.rowCount() > 2 && grid.row() > 1) {
      const int c = grid.row();
      std::int32_t n = 1;
      if (!platform::tryParseInteger(grid.cell(colNumber, c), n)) n = 1;
      grid.exchangeRows(c - 1, c);
      const std::int64_t moved = std::int64_t{n} - 1;
      grid.setCell(colNumber, c - 1, std::to_string(moved));
      grid.setCell(colNumber, c, std::to_string(moved + 1));
      grid.setRow(c - 1);
    }
  } catch (const std::out_of_range&) {
    // The grid stays as far as the move got.
  }
  focusGrid();
}

void TForm2::BitBtnDownClick() {
  ui::StringGrid& grid = StringGrid1;
  try {
    if (grid.rowCount() > 2 && grid.row() < grid.rowCount() - 1) {
      const int c = grid.row();
      std::int32_t n = -1;
      if (!platform::tryParseInteger(grid.cell(colNumber, c), n)) n = -1;
      grid.exchangeRows(c, c + 1);
      const std::int64_t moved = std::int64_t{n} + 1;
      grid.setCell(colNumber, c + 1, std::to_string(moved));
      grid.setCell(colNumber, c, std::to_string(moved - 1));
      grid.setRow(c + 1);
    }
  } catch (const std::out_of_range&) {
    // The grid stays as far as the move got.
  }
  focusGrid();
}

void TForm2::BitBtn1Click() {
  ui::StringGrid& grid = StringGrid1;
  const std::string link = grid.cell(colLink, 1);
  const std::string speed = grid.cell(colSpeed, 1);
  for (int r = 2; r < grid.rowCount(); ++r) {
    grid.setCell(colLink, r, link);
    grid.setCell(colSpeed, r, speed);
  }
}

}  // namespace automatic
