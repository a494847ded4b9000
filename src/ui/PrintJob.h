#pragma once
// A print job as the program lays it out: pages of text lines, each placed at
// a position in printer device units with its font. The program computes the
// positions from the page size of the printer the operator chose; the view
// only draws them.
#include <functional>
#include <string>
#include <vector>

namespace ui {

struct PrintFont {
  std::string name;
  int size = 0;  // points
  // Where the named font is missing, the system's monospace font stands in,
  // otherwise its general font.
  bool monospace = false;
  bool operator==(const PrintFont&) const = default;
};

// One line of text; y is the top of the line. Texts are Windows-1250.
struct PrintText {
  int x = 0;
  int y = 0;
  PrintFont font;
  std::string text;
};

struct PrintPage {
  std::vector<PrintText> texts;
};

struct PrintJob {
  std::string title;
  std::vector<PrintPage> pages;
};

// The printable area of a page, in printer device units.
struct PrintPageSize {
  int width = 0;
  int height = 0;
};

// Lays the job out for a page size; called only once a printer is chosen.
using PrintComposer = std::function<PrintJob(const PrintPageSize&)>;

}  // namespace ui
