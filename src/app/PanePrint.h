#pragma once
// The printout of the panes: the ASCII rows alone, or each ASCII row beside
// its HEX row, paged as the printer's page height allows.
#include <string>
#include <vector>

#include "ui/PrintJob.h"

namespace app {

// Rows of the panes taken before the print dialog, so bytes received while
// it is open do not change the printout. Without hex the ASCII rows print
// alone; with it, as many row pairs as there are HEX rows.
struct PanePrintRows {
  std::vector<std::string> ascii;
  std::vector<std::string> hex;
  bool withHex = false;
};

// Line step: page height / 60; the first line at y = 40; 58 lines on the
// first page and 59 on every later one. A page that the last line fills is
// still followed by a new, empty page.
ui::PrintJob layoutPanePrint(const PanePrintRows& rows, const ui::PrintPageSize& page);

}  // namespace app
