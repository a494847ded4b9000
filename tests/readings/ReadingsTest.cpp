// Readings of the counted reply rows: taken from the byte processor whatever
// the chunks, tagged by an automatic measurement, none in fast write; the
// "Wyniki" window's statistics and its CSV and clipboard exports.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "automatic/SequencerFixture.h"
#include "platform/AtomicFile.h"
#include "readings/ReadingsText.h"
#include "readings/TResultsForm.h"
#include "support/Csv.h"

namespace {

using namespace std::chrono_literals;
using platform::pl;
using readings::State;
using testing_support::TempDir;

struct Tag {
  int order, pass;
  bool operator==(const Tag&) const = default;
};

TEST(Readings, OnlyCountedRowsAreReadWhereverTheChunksSplit) {
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  TempDir dir;
  const std::string bytes = "junk\r\nS S     123.45 g\r\nS D  1.5 g\r\n";
  for (std::size_t split = 0; split <= bytes.size(); ++split) {
    SCOPED_TRACE(split);
    testing_support::ResetProgramValues();
    app::TForm1 form({loop, dialogs, dir.path(), [] {}});
    form.FormCreate();
    form.ProcessReceived("x", 1);  // a row in progress before the send
    // The send: the next LF is the reply.
    form.Bytes.awaitReply();
    form.Readings.sent();
    form.ProcessReceived(bytes.substr(0, split), split);
    form.ProcessReceived(bytes.substr(split), bytes.size() - split);
    ASSERT_EQ(form.Readings.size(), 1u);
    const readings::Reading& r = form.Readings.at(0);
    EXPECT_EQ(form.Readings.rawText(r), "xjunk");
    EXPECT_FALSE(r.hasValue());
    EXPECT_EQ(r.state, State::Unknown);
  }

  // With the wrap character starting rows, the counted row is the one the LF
  // ends; the panes are as they were.
  testing_support::ResetProgramValues();
  app::TForm1 form({loop, dialogs, dir.path(), [] {}});
  form.FormCreate();
  form.WindRows.setChecked(true);
  form.EditWindRowsString.setText("S");
  form.rgWindRowsString.setItemIndex(0);
  form.Bytes.awaitReply();
  form.ProcessReceived("ab S  7.25 kg ?\r\n", 17);
  ASSERT_EQ(form.Readings.size(), 1u);
  EXPECT_EQ(form.Readings.rawText(form.Readings.at(0)), "S  7.25 kg ?");
  EXPECT_EQ(form.Readings.at(0).value, 7.25);
  EXPECT_EQ(form.Readings.at(0).state, State::Unstable);
  EXPECT_EQ(form.Memo1.text(), "ab \r\nS  7.25 kg ?\r\n");
}

struct ReadingsRun : automatic_test::SequencerFixture {};

TEST_F(ReadingsRun, AnAutomaticMeasurementTagsItsReadingsAndStartsANewSeries) {
  // Order 1 twice, order 2 once, two passes in all.
  fill({{"1", "SI", "1", "s", "2", "7", "9600"},
        {"2", "SI", "1", "s", "1", "7", "9600"},
        {"3", "repeat", "1", "s", "2", "", ""}});
  answer = "S S     100.05 g\r\n";
  // A reading from before the run goes with the old series.
  form->Readings.addRow("S S 1 g", 0);
  start();
  EXPECT_EQ(form->Readings.size(), 0u);
  for (int step = 1; step <= 7; ++step) {
    advanceTo(step * 1000);
    ASSERT_TRUE(loop.runUntil([&] { return form->Bytes.replyCount() == std::min(step, 6); }, 2s)) << step;
  }
  std::vector<Tag> tags;
  for (std::size_t i = 0; i < form->Readings.size(); ++i)
    tags.push_back({form->Readings.at(i).order, form->Readings.at(i).pass});
  EXPECT_EQ(tags, (std::vector<Tag>{{1, 1}, {1, 1}, {2, 1}, {1, 2}, {1, 2}, {2, 2}}));
  EXPECT_EQ(form->Readings.stats(form->Readings.mainUnit(), false).count, 6);
  EXPECT_EQ(form->Readings.at(0).timeMs - form->Readings.at(5).timeMs, -5000);

  // A manual send afterwards carries no tag.
  form->Edit1.setText("SI");
  form->btnWyslijClick();
  ASSERT_TRUE(loop.runUntil([&] { return form->Bytes.replyCount() == 7; }, 2s));
  EXPECT_EQ(form->Readings.at(6).order, 0);

  // Fast write to a file: no rows, no readings, and the window says why.
  readings::TResultsForm results(form->Readings, loop, dialogs);
  results.FastWriteActive = [this] { return form->Capture.fastWriteActive(); };
  form->Capture.choose((dir / "szybki.txt").string());
  results.ShowResults();
  EXPECT_FALSE(results.LabelFastWrite.visible());
  // Switched on while the window is open: no reading comes, the window still says so.
  form->FastWrite.setChecked(true);
  loop.advance(readings::TResultsForm::kIdleRefreshMs);
  EXPECT_TRUE(results.LabelFastWrite.visible());
  form->btnWyslijClick();
  ASSERT_TRUE(loop.runUntil([&] { return form->Capture.isOpen(); }, 2s));
  form->Capture.CloseCaptureFile();
  EXPECT_EQ(TempDir::read(dir / "szybki.txt"), answer);
  EXPECT_EQ(form->Readings.size(), 7u);
}

struct ResultsWindow : ::testing::Test {
  ResultsWindow() {
    results.FastWriteActive = [] { return false; };
  }
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  TempDir dir;
  readings::ReadingLog log;
  readings::TResultsForm results{log, loop, dialogs};
};

TEST_F(ResultsWindow, StatisticsFollowTheReadingsAndTheSwitch) {
  // Closed, the window does not follow the readings; shown, it catches up.
  log.addRow("S S     9.00 g", 500);
  loop.advance(readings::TResultsForm::kRefreshMs);
  EXPECT_EQ(results.Table.rowCount(), 0);
  results.ShowResults();
  EXPECT_EQ(results.Table.rowCount(), 1);
  results.btnClear.click();

  log.addRow("S S     10.00 g", 1000);
  log.addRow("S D     13.00 g", 2000);
  log.addRow("S S     12.00 g", 3000);
  log.addRow("S +", 4000);
  log.addRow("S S  1.500 kg", 5000);
  // Nothing moves until the window's short refresh period is over.
  EXPECT_EQ(results.Table.rowCount(), 0);
  loop.advance(readings::TResultsForm::kRefreshMs);
  EXPECT_EQ(results.Table.rowCount(), 5);
  EXPECT_EQ(results.Table.cell(1, 3), "13,00");
  EXPECT_EQ(results.Table.cell(1, 5), "niestabilny");
  EXPECT_EQ(results.StatsGrid.rowCells(1),
            (std::vector<std::string>{"g", "2", "11,0000", "1,4142", "12,8565", "10,00", "12,00", "2,00"}));
  EXPECT_EQ(results.StatsGrid.rowCells(2),
            (std::vector<std::string>{"kg", "1", "1,50000", "-", "-", "1,500", "1,500", "0,000"}));
  results.cbUnstable.click();
  EXPECT_EQ(results.StatsGrid.rowCells(1)[1], "3");
  EXPECT_EQ(results.StatsGrid.rowCells(1)[2], "11,6667");

  // The plot: one unit, unstable and unreadable points marked, the axis in g.
  const auto& points = results.Chart.points();
  ASSERT_EQ(points.size(), 4u);
  EXPECT_EQ(points[1].kind, ui::PointKind::Marked);
  EXPECT_EQ(points[3].kind, ui::PointKind::Unreadable);
  EXPECT_EQ(points[3].x, 3.0);
  EXPECT_EQ(results.Chart.yCaption(), pl("Wartość [g]"));

  results.btnClear.click();
  EXPECT_EQ(results.Table.rowCount(), 0);
  EXPECT_TRUE(results.Chart.points().empty());
  EXPECT_EQ(results.StatsGrid.rowCount(), 2);
  EXPECT_EQ(log.stats(1, true).count, 0);
}

TEST_F(ResultsWindow, CsvReadsBackInBothFlavoursAndAFailedSaveKeepsTheOldFile) {
  log.addRow("ST,GS,+00123.45  g", 1000);
  log.addRow("\"S\"; S, -1,5 g", 2000);
  log.addRow("ES", 3000);
  const std::string path = (dir / "wyniki.csv").string();
  for (const auto& [filter, separator, decimal] : {std::tuple{0, ';', ','}, std::tuple{1, ',', '.'}}) {
    dialogs.fileAnswers.push_back(path);
    dialogs.filterAnswers.push_back(filter);
    results.btnSave.click();
    const auto rows = testing_support::parseCsv(TempDir::read(path), separator);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], readings::ColumnCaptions());
    EXPECT_EQ(rows[1][3], std::string("123") + decimal + "45");
    EXPECT_EQ(rows[1][4], "g");
    EXPECT_EQ(rows[2][3], std::string("-1") + decimal + "5");
    EXPECT_EQ(rows[2][7], "\"S\"; S, -1,5 g");
    EXPECT_EQ(rows[3][3], "");
    EXPECT_EQ(rows[3][5], pl("nieczytelny"));
    EXPECT_EQ(rows[1][0], readings::TimeText(1000));
  }
  EXPECT_EQ(
      dialogs.fileRequests.back().filter,
      pl("CSV ze średnikiem i przecinkiem dziesiętnym|*.csv|CSV z przecinkiem i kropką dziesiętną|*.csv"));

  const std::string before = TempDir::read(path);
  platform::setAtomicWriteFaultForTesting(
      [](platform::AtomicWriteStep step) { return step == platform::AtomicWriteStep::Write; });
  log.addRow("S S 1 g", 4000);
  dialogs.fileAnswers.push_back(path);
  results.btnSave.click();
  platform::setAtomicWriteFaultForTesting({});
  EXPECT_EQ(TempDir::read(path), before);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text.rfind(pl("Nie można zapisać pliku ") + path, 0), 0u);

  // "Kopiuj": the selected rows, tab-separated, or all of them.
  results.Refresh();
  results.Table.setSelection({0, 2});
  results.btnCopy.click();
  EXPECT_EQ(dialogs.clipboard,
            pl("Czas\tRozkaz\tPrzebieg\tWartość\tJednostka\tStan\tOpóźnienie [ms]\tTekst\n") +
                readings::TimeText(1000) + "\t\t\t123,45\tg\tstabilny\t\tST,GS,+00123.45  g\n" +
                readings::TimeText(3000) + "\t\t\t\t\t" + pl("nieczytelny") + "\t\tES\n");
  // With nothing selected, every row.
  results.Table.setSelection({});
  results.btnCopy.click();
  EXPECT_EQ(dialogs.clipboard, readings::ReadingsText(log, readings::TextFlavour::Tabs));
  EXPECT_NE(dialogs.clipboard.find("\tS S 1 g\n"), std::string::npos);
}

}  // namespace
