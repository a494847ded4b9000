#include "app/PanePrint.h"

#include "app/Round.h"

namespace app {

namespace {

constexpr int kFirstLineY = 40;
// The line counter starts at 1 on the first page and at 0 on later ones; a
// page ends when it passes this.
constexpr int kLastLineCount = 58;
constexpr int kAsciiX = 170;
constexpr int kAsciiOnlyX = 50;

}  // namespace

ui::PrintJob layoutPanePrint(const PanePrintRows& rows, const ui::PrintPageSize& page) {
  const ui::PrintFont mono{"MonoTxt", 9, true};
  const ui::PrintFont sans{"MS Sans Serif", 9, false};
  const int step = page.height / 60;
  const int hexX = R(0.32 * page.width);

  ui::PrintJob job;
  job.pages.emplace_back();
  int y = kFirstLineY;
  int counter = 1;
  auto advance = [&] {
    y += step;
    ++counter;
    if (counter > kLastLineCount) {
      job.pages.emplace_back();
      y = kFirstLineY;
      counter = 0;
    }
  };

  if (rows.withHex) {
    // The pairs end with the HEX rows; missing ASCII rows print empty.
    static const std::string empty;
    for (std::size_t i = 0; i < rows.hex.size(); ++i) {
      auto& texts = job.pages.back().texts;
      texts.push_back({kAsciiX, y, mono, i < rows.ascii.size() ? rows.ascii[i] : empty});
      texts.push_back({hexX, y, mono, rows.hex[i]});
      advance();
    }
  } else {
    for (const std::string& row : rows.ascii) {
      job.pages.back().texts.push_back({kAsciiOnlyX, y, sans, row});
      advance();
    }
  }
  return job;
}

}  // namespace app
