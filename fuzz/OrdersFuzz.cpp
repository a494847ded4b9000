// An orders file of any content: the load leaves at least the header and one
// order row, numbers the rows 1.. in order, and CheckOrders either accepts
// every row or puts the cursor on a cell in the grid.
#include <cstdio>
#include <string>

#include "FuzzInput.h"
#include "app/TForm1.h"
#include "automatic/DecimalNumbers.h"
#include "automatic/TForm2.h"
#include "platform/ManualEventLoop.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  // One main window and orders editor for the whole run, as the operator's:
  // each input is another file loaded into the same editor.
  struct Editor {
    Editor() { automatic::setDecimalSeparator('.'); }
    platform::ManualEventLoop loop;
    testing_support::ScriptedDialogs dialogs;
    testing_support::TempDir dir;
    app::TForm1 form1{app::MainWindowServices{loop, dialogs, dir.path(), [] {}}};
    automatic::TForm2 form2{form1};
  };
  static Editor editor;
  static unsigned long long files = 0;
  automatic::TForm2& form2 = editor.form2;

  const std::string path = (editor.dir / ("orders-" + std::to_string(++files) + ".xml")).string();
  testing_support::TempDir::write(path, content);
  form2.LoadXMLOrders(path);
  ui::StringGrid& grid = form2.StringGrid1;
  FUZZ_CHECK(grid.rowCount() >= 2);
  FUZZ_CHECK(editor.form1.ConfigOptions.OrdersFileName == path);
  // A file with orders replaces the grid, numbered from 1; one without keeps it.
  const bool replaced =
      form2.XMLOrders.isOpen() && form2.XMLOrders.root() && !form2.XMLOrders.root().childElements().empty();
  if (replaced)
    for (int r = 1; r < grid.rowCount(); ++r) FUZZ_CHECK(grid.cell(0, r) == std::to_string(r));

  if (!form2.CheckOrders()) {
    FUZZ_CHECK(grid.row() >= 1 && grid.row() < grid.rowCount());
    FUZZ_CHECK(grid.col() >= 0 && grid.col() < grid.colCount());
  }
  // The same file loaded twice gives the same grid.
  std::vector<std::vector<std::string>> first;
  for (int r = 0; r < grid.rowCount(); ++r) first.push_back(grid.rowCells(r));
  form2.LoadXMLOrders(path);
  FUZZ_CHECK(grid.rowCount() == static_cast<int>(first.size()));
  for (int r = 0; r < grid.rowCount(); ++r) FUZZ_CHECK(grid.rowCells(r) == first[r]);
  editor.loop.processPending();
  editor.dialogs.messages.clear();
  std::remove(path.c_str());
  return 0;
}
