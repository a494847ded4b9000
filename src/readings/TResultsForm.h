#pragma once
// The "Wyniki" window: the readings of the reply rows in a table (newest
// row kept in view), their statistics per unit, a plot of the value against
// time, and export as CSV or to the clipboard. Not modal; the main window
// shows it from its menu. It catches up with the log on a short timer, so a
// flood of replies costs one refresh per period, not one per row.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/EventLoop.h"
#include "readings/ReadingLog.h"
#include "ui/Chart.h"
#include "ui/Control.h"
#include "ui/Dialogs.h"
#include "ui/Form.h"
#include "ui/ListTable.h"
#include "ui/StringGrid.h"

namespace readings {

class TResultsForm : public ui::Form {
 public:
  // The log and the services must outlive the form.
  TResultsForm(ReadingLog& log, platform::EventLoop& loop, ui::Dialogs& dialogs);
  ~TResultsForm() override;

  // Shows the window (or brings it up again) with everything current.
  void ShowResults();
  // Brings the table, statistics and plot up to the log now.
  void Refresh();

  void btnClearClick();
  void btnSaveClick();
  void btnCopyClick();
  void cbUnstableClick();

  // Fast write is on: no rows, so no readings. Set by the main window.
  std::function<bool()> FastWriteActive;
  // Brings the window to the front (nothing without a screen).
  std::function<void()> BringToFront;

  ui::Label LabelFastWrite{"LabelFastWrite"};
  ui::ListTable Table{"Table"};
  ui::StringGrid StatsGrid{"StatsGrid", 8, 2};
  ui::CheckBox cbUnstable{"cbUnstable"};
  ui::Chart Chart{"Chart"};
  ui::Button btnClear{"btnClear"};
  ui::Button btnSave{"btnSave"};
  ui::Button btnCopy{"btnCopy"};

  // How long the window waits after a new reading before it catches up.
  static constexpr int kRefreshMs = 200;
  // How often an open window looks again without new readings.
  static constexpr int kIdleRefreshMs = 1000;

 private:
  void layOut();
  void showStatistics();
  void plotNewReadings();
  void readingAdded();
  void logCleared();

  ReadingLog& log_;
  ui::Dialogs& dialogs_;
  std::unique_ptr<platform::Timer> refresh_;
  // Readings already on the plot, the plot's unit and time origin.
  std::size_t plotted_ = 0;
  int plotUnit_ = -1;
  std::int64_t plotStartMs_ = 0;
  double lastValue_ = 0;
  // Decimals printed by the scale, per unit, for the statistics.
  std::vector<std::uint8_t> decimals_;
};

}  // namespace readings
