// The readings against the pretend scale: an automatic measurement seen in
// the "Wyniki" window, opened with its key, whose statistics and CSV files
// agree with the capture file; and a run with the window open leaves every
// other output byte for byte as a run without it.
#include <QTableView>
#include <cmath>
#include <filesystem>

#include "ScaleThread.h"
#include "WindowFixture.h"
#include "readings/TResultsForm.h"
#include "support/Csv.h"

namespace e2e {
namespace {

using namespace std::chrono_literals;
using platform::pl;
using testing_support::TempDir;

// The main window as the program wires it, with the readings window.
struct ReadingsProgram : WindowFixture {
  void TestBody() override {}

  void startWithResults(const std::string& device, const std::string& ordersFile, bool openResults) {
    start(device, ordersFile);
    results = std::make_unique<readings::TResultsForm>(form1->Readings, loop, dialogs);
    results->FastWriteActive = [this] { return form1->Capture.fastWriteActive(); };
    form1->ResultsForm = results.get();
    resultsWindow = std::make_unique<ui::qt::FormWindow>(*results, loop);
    if (openResults) {
      // The operator's key, on the main window.
      window->activateWindow();
      QTest::keyClick(window.get(), Qt::Key_W, Qt::ControlModifier);
      ASSERT_TRUE(serveUntil([&] { return resultsWindow->isVisible(); }));
    }
  }

  // Runs the list to its end and waits for the replies in the capture file.
  void measure(const std::string& capture, std::size_t replies) {
    window->actionFor(form1->Automatyczny1)->trigger();
    const std::string finished = pl("Pomiar automatyczny zakończony");
    ASSERT_TRUE(serveUntil(
        [&] {
          return form1->StaticText5.caption().rfind(finished, 0) == 0 &&
                 fileLines(TempDir::read(capture)).size() >= replies && form1->Readings.size() >= replies;
        },
        30s))
        << form1->StaticText5.caption() << report();
  }

  ~ReadingsProgram() override {
    form1->ResultsForm = nullptr;
    resultsWindow.reset();
    results.reset();
  }

  std::unique_ptr<readings::TResultsForm> results;
  std::unique_ptr<ui::qt::FormWindow> resultsWindow;
};

TEST(ReadingsEndToEnd, TwentyWeighingsGiveTheCaptureFilesStatisticsAndACsvThatReadsBack) {
  ScaleThread scale(-1, 30ms);
  ReadingsProgram program;
  const std::string orders = (program.dir / "rozkazy.xml").string();
  const std::string capture = (program.dir / "wyniki.txt").string();
  program.saveOrders(
      orders, {{"1", "file", "0.1", "s", "1", capture, ""}, {"2", "SI", "0.5", "s", "20", "7", "9600"}});
  program.startWithResults(scale.slavePath(), orders, true);
  ASSERT_FALSE(::testing::Test::HasFatalFailure());
  program.measure(capture, 20);
  ASSERT_FALSE(::testing::Test::HasFatalFailure());

  // What the capture file holds, read on its own.
  std::vector<double> weights;
  for (const std::string& line : fileLines(TempDir::read(capture))) {
    ASSERT_EQ(line.rfind("S S", 0), 0u) << line;
    weights.push_back(std::stod(line.substr(3)));
  }
  ASSERT_EQ(weights.size(), 20u);
  double mean = 0;
  for (double w : weights) mean += w / 20;
  double squares = 0;
  for (double w : weights) squares += (w - mean) * (w - mean);
  const double stdDev = std::sqrt(squares / 19);

  readings::ReadingLog& log = program.form1->Readings;
  ASSERT_EQ(log.size(), 20u);
  const readings::Summary s = log.stats(log.mainUnit(), false);
  EXPECT_EQ(s.count, 20);
  EXPECT_NEAR(s.mean, mean, 1e-9 * mean);
  EXPECT_NEAR(s.stdDev, stdDev, 1e-9 * std::max(stdDev, 1e-6));
  EXPECT_GT(stdDev, 0) << "the weight should have moved";
  // The window shows them: 20 rows, 20 points, the count in the statistics.
  EXPECT_TRUE(serveUntil([&] { return program.results->StatsGrid.cell(1, 1) == "20"; }));
  auto* table = qobject_cast<QTableView*>(program.resultsWindow->widgetFor(program.results->Table));
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->model()->rowCount(), 20);
  EXPECT_EQ(program.results->Chart.points().size(), 20u);

  // "Zapisz CSV" in both flavours reads back with the same values.
  const std::string csv = (program.dir / "odczyty.csv").string();
  for (const auto& [filter, separator] : {std::pair{0, ';'}, std::pair{1, ','}}) {
    program.dialogs.fileAnswers.push_back(csv);
    program.dialogs.filterAnswers.push_back(filter);
    QTest::mouseClick(
        qobject_cast<QAbstractButton*>(program.resultsWindow->widgetFor(program.results->btnSave)),
        Qt::LeftButton);
    const auto rows = testing_support::parseCsv(TempDir::read(csv), separator);
    ASSERT_EQ(rows.size(), 21u);
    for (std::size_t i = 0; i < 20; ++i) {
      std::string value = rows[i + 1][3];
      std::replace(value.begin(), value.end(), ',', '.');
      EXPECT_EQ(std::stod(value), weights[i]) << i;
      EXPECT_EQ(rows[i + 1][1], "2");
      EXPECT_EQ(rows[i + 1][5], "stabilny");
    }
  }
  EXPECT_TRUE(program.dialogs.errors.empty()) << program.report();
}

// The panes, the counts, the capture file, config.xml and "Kestrel.ini" after a
// run and the window's close.
struct Outputs {
  std::string ascii, hex, counts, capture, config, ini;
  bool operator==(const Outputs&) const = default;
};

Outputs runAndClose(bool openResults) {
  ScaleThread scale;
  ReadingsProgram program;
  const std::string orders = (program.dir / "rozkazy.xml").string();
  const std::string capture = (program.dir / "wyniki.txt").string();
  program.saveOrders(
      orders, {{"1", "file", "0.1", "s", "1", capture, ""}, {"2", "SI", "0.3", "s", "5", "7", "9600"}});
  program.startWithResults(scale.slavePath(), orders, openResults);
  program.measure(capture, 5);
  Outputs out;
  out.ascii = program.form1->Memo1.text();
  out.hex = program.form1->Memo2.text();
  out.counts = program.form1->StaticText5.caption() + program.form1->StaticText6.caption();
  out.capture = TempDir::read(capture);
  // The capture file names the scratch folder; the rest must not differ.
  program.window->close();
  EXPECT_TRUE(serveUntil([&] { return std::filesystem::exists(program.dir / "config.xml"); }));
  out.config = TempDir::read(program.dir / "config.xml");
  out.ini = TempDir::read(program.dir / "Kestrel.ini");
  const std::string folder = program.dir.path().string();
  for (std::string* text : {&out.config, &out.ini})
    for (std::size_t at; (at = text->find(folder)) != std::string::npos;)
      text->replace(at, folder.size(), "DIR");
  for (std::size_t at; (at = out.ini.find(scale.slavePath())) != std::string::npos;)
    out.ini.replace(at, scale.slavePath().size(), "PTY");
  return out;
}

TEST(ReadingsEndToEnd, TheWindowOpenChangesNoOtherOutput) {
  const Outputs closed = runAndClose(false);
  ASSERT_FALSE(::testing::Test::HasFatalFailure());
  const Outputs open = runAndClose(true);
  EXPECT_FALSE(closed.capture.empty());
  EXPECT_EQ(open.ascii, closed.ascii);
  EXPECT_EQ(open.hex, closed.hex);
  EXPECT_EQ(open.counts, closed.counts);
  EXPECT_EQ(open.capture, closed.capture);
  EXPECT_EQ(open.config, closed.config);
  EXPECT_EQ(open.ini, closed.ini);
}

}  // namespace
}  // namespace e2e
