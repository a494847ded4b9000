#pragma once
// The "Wyniki" window: the readings of the reply rows in a table (newest
// row kept in view), their statistics per unit, a plot of the value against
// time, and export as CSV or to the clipboard. Not modal; the main window
// shows it from its menu. It catches up with the log on a short timer, so a
// flood of replies costs one refresh per period, not one per row. With a
// journal it lists the series kept there; an earlier series opens from the
// journal, a page of rows and a thinned-out plot at a time.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/EventLoop.h"
#include "readings/Journal.h"
#include "readings/PlantLink.h"
#include "readings/ProgramSettings.h"
#include "readings/ReadingLog.h"
#include "readings/TPlantLinkForm.h"
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

  // The journal, the settings file and the plant link, when the program has
  // them; they must outlive the form.
  void attach(Journal* journal, ProgramSettings* settings, PlantLink* plantLink = nullptr);

  // Shows the window (or brings it up again) with everything current.
  void ShowResults();
  // Brings the table, statistics and plot up to the log now.
  void Refresh();

  void btnClearClick();
  void btnSaveClick();
  void btnCopyClick();
  void cbUnstableClick();
  void cbEveryRowClick();
  // Opens the series selected in the list; the newest is the one being read.
  void btnOpenClick();
  // Deletes the series selected in the list, after asking.
  void btnDeleteClick();
  // The plant link's settings dialog; saved settings restart the link.
  void btnPlantLinkClick();
  // The series shown: 0 for the one being read now.
  std::int64_t shownSeries() const { return shown_ ? shown_->id : 0; }

  // Fast write is on: no rows, so no readings. Set by the main window.
  std::function<bool()> FastWriteActive;
  // Brings the window to the front (nothing without a screen).
  std::function<void()> BringToFront;

  ui::Label LabelFastWrite{"LabelFastWrite"};
  ui::Label LabelNotReadings{"LabelNotReadings"};
  ui::ListTable SeriesTable{"SeriesTable"};
  ui::Button btnOpen{"btnOpen"};
  ui::Button btnDelete{"btnDelete"};
  ui::Label LabelShown{"LabelShown"};
  ui::Label LabelLatency{"LabelLatency"};
  ui::CheckBox cbEveryRow{"cbEveryRow"};
  ui::ListTable Table{"Table"};
  ui::StringGrid StatsGrid{"StatsGrid", 8, 2};
  ui::CheckBox cbUnstable{"cbUnstable"};
  ui::Chart Chart{"Chart"};
  ui::Button btnClear{"btnClear"};
  ui::Button btnSave{"btnSave"};
  ui::Button btnCopy{"btnCopy"};
  // The plant link: its state, and its settings.
  ui::Label LabelPlantLink{"LabelPlantLink"};
  ui::Button btnPlantLink{"btnPlantLink"};
  TPlantLinkForm PlantLinkForm;

  // How long the window waits after a new reading before it catches up.
  static constexpr int kRefreshMs = 200;
  // How often an open window looks again without new readings.
  static constexpr int kIdleRefreshMs = 1000;
  // Rows of an earlier series read from the journal at a time, and the
  // points of its plot.
  static constexpr int kPageRows = 200;
  static constexpr std::size_t kPlotPoints = ReadingLog::kPlotPoints;

 private:
  void layOut();
  void showStatistics();
  void plotCurrentSeries();
  void readingAdded();
  void logCleared();
  void showSeriesList();
  void showPlantLinkState(const std::string& text);
  void showEarlierSeries();
  std::string shownCell(int row, int col);
  // The reading at a row of the series shown: from the log, or from a page
  // of the journal (valid until the next call).
  std::optional<ReadingFields> fieldsAt(int row);
  std::optional<std::int64_t> selectedSeries() const;

  ReadingLog& log_;
  ui::Dialogs& dialogs_;
  Journal* journal_ = nullptr;
  ProgramSettings* settings_ = nullptr;
  PlantLink* plantLink_ = nullptr;
  std::vector<SeriesInfo> series_;
  // An earlier series opened from the journal, and the page of the series
  // shown in hand (of the current one, rows that left the log's memory).
  std::optional<SeriesInfo> shown_;
  std::vector<StoredReading> page_;
  std::int64_t pageStart_ = 0;
  std::unique_ptr<platform::Timer> refresh_;
  // The readings of the current series on the plot; -1 for none shown.
  std::int64_t plotted_ = -1;
};

}  // namespace readings
