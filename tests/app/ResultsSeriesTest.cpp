// The "Wyniki" window over the journal, on the screen: the series listed
// newest first, an earlier one opened (table, statistics, latency, plot),
// exported and deleted after asking; the switch that makes every row with a
// weight a reading, kept in terso.ini; rows with a weight that answered no
// send said not to be readings while it is off.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/TForm1.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "platform/PathText.h"
#include "readings/Journal.h"
#include "readings/ProgramSettings.h"
#include "readings/TResultsForm.h"
#include "support/Csv.h"
#include "support/ProgramValues.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/qt/FormWindow.h"

// Like the readings' other tests, on Linux only.
#ifndef _WIN32
namespace {

using platform::pl;
using testing_support::TempDir;

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST(ResultsSeries, EarlierSeriesAreListedOpenedExportedAndDeletedAfterAsking) {
  TempDir dir;
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  readings::ReadingLog log;
  readings::Journal journal(platform::utf8Path(dir.path()), [](const std::string&) {});
  readings::ProgramSettings settings(platform::utf8Path(dir.path()));
  log.setJournal(&journal);
  log.linkName = [] { return std::string("COM3"); };
  readings::TResultsForm results(log, loop, dialogs);
  results.FastWriteActive = [] { return false; };
  results.attach(&journal, &settings);
  ui::qt::FormWindow window(results, loop);

  log.sent(900);
  log.addRow("S S     10.00 g", 1000);
  log.sent(1050);
  log.addRow("S S     12.00 g", 1250);
  log.addRow("ES", 1300);
  log.clear();
  log.addRow("S S  1.000 kg", 5000);
  journal.flush();
  results.ShowResults();

  ASSERT_EQ(results.SeriesTable.rowCount(), 2);
  EXPECT_TRUE(contains(results.SeriesTable.cell(0, 0), pl("bieżąca")));
  EXPECT_EQ(results.SeriesTable.cell(1, 2), "COM3");
  EXPECT_EQ(results.SeriesTable.cell(1, 3), "3");
  EXPECT_EQ(results.SeriesTable.cell(1, 4), "g");
  EXPECT_EQ(results.SeriesTable.cell(1, 5), "11,0000");
  EXPECT_EQ(results.Table.rowCount(), 1) << "the current series is shown first";

  // Opening the earlier one: its rows, statistics, latency and plot.
  results.SeriesTable.setSelection({1});
  results.btnOpen.click();
  const std::int64_t first = results.shownSeries();
  EXPECT_NE(first, 0);
  ASSERT_EQ(results.Table.rowCount(), 3);
  EXPECT_EQ(results.Table.cell(1, 3), "12,00");
  EXPECT_EQ(results.Table.cell(0, 6), "100");
  EXPECT_EQ(results.Table.cell(1, 6), "200");
  EXPECT_EQ(results.Table.cell(2, 5), pl("nieczytelny"));
  EXPECT_EQ(results.StatsGrid.rowCells(1),
            (std::vector<std::string>{"g", "2", "11,0000", "1,4142", "12,8565", "10,00", "12,00", "2,00"}));
  EXPECT_TRUE(contains(results.LabelLatency.caption(), "150,0")) << results.LabelLatency.caption();
  EXPECT_TRUE(contains(results.LabelLatency.caption(), "200 ms"));
  EXPECT_EQ(results.Chart.points().size(), 3u);
  EXPECT_EQ(results.Chart.yCaption(), pl("Wartość [g]"));
  // A new reading of the current series leaves the earlier one in view.
  log.addRow("S S  1.200 kg", 6000);
  loop.advance(readings::TResultsForm::kRefreshMs);
  EXPECT_EQ(results.Table.rowCount(), 3);

  // "Zapisz CSV" writes the series shown, from the journal.
  const std::string path = platform::utf8Path(dir / "seria.csv");
  dialogs.fileAnswers.push_back(path);
  dialogs.filterAnswers.push_back(1);
  results.btnSave.click();
  const auto rows = testing_support::parseCsv(TempDir::read(path), ',');
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], readings::ColumnCaptions());
  EXPECT_EQ(rows[2][3], "12.00");
  EXPECT_EQ(rows[2][6], "200");

  // The current series is not deleted; an earlier one only when the
  // operator says yes.
  results.SeriesTable.setSelection({0});
  results.btnDelete.click();
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_TRUE(contains(dialogs.messages[0].text, pl("Bieżącej serii nie można usunąć")));
  results.SeriesTable.setSelection({1});
  dialogs.messageAnswers.push_back(ui::ModalResult::No);
  results.btnDelete.click();
  EXPECT_EQ(journal.listSeries().size(), 2u);
  results.SeriesTable.setSelection({1});
  dialogs.messageAnswers.push_back(ui::ModalResult::Yes);
  results.btnDelete.click();
  ASSERT_EQ(journal.listSeries().size(), 1u);
  EXPECT_FALSE(journal.series(first));
  EXPECT_EQ(results.shownSeries(), 0) << "back to the current series";
  EXPECT_EQ(results.SeriesTable.rowCount(), 1);
  EXPECT_EQ(results.Table.rowCount(), 2);
}

TEST(ResultsSeries, RowsThatAnswerNoSendAreReadingsOnlyWithTheSwitchWhichTersoIniKeeps) {
  testing_support::ResetProgramValues();
  TempDir dir;
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  app::TForm1 form({loop, dialogs, dir.path(), [] {}});
  form.FormCreate();
  readings::TResultsForm results(form.Readings, loop, dialogs);
  results.FastWriteActive = [] { return false; };
  results.attach(form.ReadingsJournal.get(), form.Settings.get());
  results.ShowResults();
  const std::string printed = "S S     1.00 g\r\nS S     2.00 g\r\nno weight\r\n";
  form.Bytes.resetReplies();  // no send awaits a reply

  // A scale printing on its own key: no send, so no readings, and the window
  // says how to make them readings.
  form.ProcessReceived(printed, printed.size());
  EXPECT_EQ(form.Readings.size(), 0u);
  loop.advance(readings::TResultsForm::kRefreshMs);
  EXPECT_TRUE(results.LabelNotReadings.visible());
  EXPECT_TRUE(contains(results.LabelNotReadings.caption(), pl("Odczyty z każdego wiersza")));

  results.cbEveryRow.click();
  EXPECT_FALSE(results.LabelNotReadings.visible());
  // Split anywhere, the rows with a weight are read, the other is not.
  for (std::size_t split : {std::size_t{3}, std::size_t{20}}) {
    form.ProcessReceived(printed.substr(0, split), split);
    form.ProcessReceived(printed.substr(split), printed.size() - split);
  }
  ASSERT_EQ(form.Readings.size(), 4u);
  EXPECT_EQ(form.Readings.at(1).value, 2.0);
  EXPECT_EQ(form.Readings.at(1).latencyMs, -1);
  EXPECT_EQ(form.Readings.at(1).order, 0);
  form.ReadingsJournal->flush();
  EXPECT_EQ(form.ReadingsJournal->listSeries().back().count, 4);

  // Kept in terso.ini, never in config.xml, and read by the next start.
  EXPECT_TRUE(contains(TempDir::read(dir / "terso.ini"), "[Readings]"));
  EXPECT_TRUE(readings::ProgramSettings(platform::utf8Path(dir.path())).readingsFromEveryRow());
  results.cbEveryRow.click();
  EXPECT_FALSE(readings::ProgramSettings(platform::utf8Path(dir.path())).readingsFromEveryRow());
}

// A series far longer than the log keeps in memory: every row still shows,
// copies and counts, read back from the journal; the plot stays a few
// thousand points yet keeps the one spike of the series.
TEST(ResultsSeries, ALongSeriesLeavesMemoryButNotTheWindow) {
  TempDir dir;
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  readings::ReadingLog log;
  readings::Journal journal(platform::utf8Path(dir.path()), [](const std::string&) {});
  log.setJournal(&journal);
  readings::TResultsForm results(log, loop, dialogs);
  results.FastWriteActive = [] { return false; };
  results.attach(&journal, nullptr);
  ui::qt::FormWindow window(results, loop);
  results.ShowResults();

  const int n = 3 * static_cast<int>(readings::ReadingLog::kKeptReadings) + 7;
  auto row = [](int i) {
    return "S S " + std::to_string(i == 12345 ? 900 : 100 + i % 10) + ".0" + std::to_string(i % 10) + " g";
  };
  for (int i = 0; i < n; ++i) log.addRow(row(i), 1000 + i);
  EXPECT_LE(log.size() - log.firstKept(), readings::ReadingLog::kKeptReadings);
  loop.advance(readings::TResultsForm::kRefreshMs);
  ASSERT_EQ(results.Table.rowCount(), n);
  journal.flush();
  for (int i : {0, 12345, n - 1})
    EXPECT_EQ(results.Table.cell(i, 7), row(i)) << i;
  EXPECT_EQ(results.StatsGrid.rowCells(1)[1], std::to_string(n));
  EXPECT_EQ(results.StatsGrid.rowCells(1)[6], "900,05");

  const auto& points = results.Chart.points();
  EXPECT_LE(points.size(), readings::ReadingLog::kPlotPoints + 3);
  EXPECT_GT(points.size(), readings::ReadingLog::kPlotPoints / 3);
  EXPECT_EQ(std::max_element(points.begin(), points.end(),
                             [](const ui::ChartPoint& a, const ui::ChartPoint& b) { return a.y < b.y; })
                ->y,
            900.05);
  EXPECT_TRUE(std::is_sorted(points.begin(), points.end(),
                             [](const ui::ChartPoint& a, const ui::ChartPoint& b) { return a.x < b.x; }));

  // "Kopiuj" with nothing selected: every row, in order.
  results.btnCopy.click();
  std::vector<std::string> copied;
  for (std::size_t at = 0, end; (end = dialogs.clipboard.find('\n', at)) != std::string::npos; at = end + 1)
    copied.push_back(dialogs.clipboard.substr(at, end - at));
  ASSERT_EQ(copied.size(), static_cast<std::size_t>(n) + 1);
  for (int i : {0, 12345, n - 1})
    EXPECT_TRUE(copied[static_cast<std::size_t>(i) + 1].ends_with("\t" + row(i))) << i;
}

}  // namespace
#endif
