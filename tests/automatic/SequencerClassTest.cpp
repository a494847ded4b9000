// The sequencer on its own, behind a recording window: the link decisions a
// step takes (which the main window shows only by their effects), the run's
// state belonging to each sequencer, never shared between two, and what it
// reports, which a run without a window prints.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "automatic/DecimalNumbers.h"
#include "automatic/Sequencer.h"
#include "automatic/TForm2.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "platform/WholeNumbers.h"

namespace automatic_test {
namespace {

TEST(SequencerRules, OrderTimeSpeedAndCountdownText) {
  automatic::setDecimalSeparator(',');
  EXPECT_EQ(automatic::OrderInterval("5", "s"), 5000);
  EXPECT_EQ(automatic::OrderInterval("2,5", "m"), 150000);
  EXPECT_EQ(automatic::OrderInterval("0.5", "s"), 500);
  EXPECT_EQ(automatic::OrderInterval("1", "h"), 3600000);
  // Any other unit counts as seconds; halves go to the even neighbour.
  EXPECT_EQ(automatic::OrderInterval("1", "min"), 1000);
  EXPECT_EQ(automatic::OrderInterval("0,0625", "s"), 62);
  EXPECT_EQ(automatic::OrderInterval("0,1875", "s"), 188);
  EXPECT_EQ(automatic::OrderInterval("0", "s"), 0);
  // Not a time: no decimal number, negative, beyond the timer's range.
  for (const char* bad : {"abc", "2;5", "-1", "-0,001", "1000", ""})
    EXPECT_THROW(automatic::OrderInterval(bad, bad == std::string("1000") ? "h" : "s"),
                 platform::ConversionError)
        << bad;
  automatic::setDecimalSeparator('.');

  EXPECT_EQ(automatic::IntervalSeconds(2500), 2);
  EXPECT_EQ(automatic::IntervalSeconds(3500), 4);
  EXPECT_EQ(automatic::IntervalSeconds(2999), 3);

  EXPECT_EQ(automatic::OrderSpeed("9600"), serial::br9600);
  EXPECT_EQ(automatic::OrderSpeed("19200"), serial::br19200);
  EXPECT_EQ(automatic::OrderSpeed("38400"), serial::br38400);
  EXPECT_EQ(automatic::OrderSpeed("57600"), serial::br57600);
  EXPECT_EQ(automatic::OrderSpeed("115200"), serial::br115200);
  for (const char* other : {"4800", "2400", "", "fast", "14400"})
    EXPECT_EQ(automatic::OrderSpeed(other), serial::br4800) << other;

  EXPECT_EQ(automatic::CountdownText(3725, 2, 3), "Kolejny pomiar za: 1 h 2 min 5 s (Odpowiedzi: 2 / 3 )");
  EXPECT_EQ(automatic::CountdownText(3600, 0, 0), "Kolejny pomiar za: 1 h 0 s (Odpowiedzi: 0 / 0 )");
  EXPECT_EQ(automatic::CountdownText(59, 0, 1), "Kolejny pomiar za: 59 s (Odpowiedzi: 0 / 1 )");
  EXPECT_EQ(automatic::CountdownText(60, 0, 1), "Kolejny pomiar za: 1 min 0 s (Odpowiedzi: 0 / 1 )");
  EXPECT_EQ(automatic::CountdownText(-4, 0, 1), "Kolejny pomiar za: 0 s (Odpowiedzi: 0 / 1 )");

  EXPECT_EQ(automatic::FolderPart("/home/op/pomiary/wynik.txt"), "/home/op/pomiary/");
  EXPECT_EQ(automatic::FolderPart("C:\\pomiary\\wynik.txt"), "C:\\pomiary\\");
  EXPECT_EQ(automatic::FolderPart("D:wynik.txt"), "D:");
  EXPECT_EQ(automatic::FolderPart("wynik.txt"), "");
}

// What a run needs and what it reports, recorded: the link it asks for, the
// sends, and the reports as a run without a window would print them.
struct RecordingWindow : automatic::SequencerWindow, automatic::RunStatus {
  const ui::StringGrid* orderGrid() const override { return &grid; }
  void sendOrder() override { sent.push_back(orderText); }
  std::int32_t replyCount() const override { return replyTotal; }
  std::int32_t sentCount() const override { return static_cast<std::int32_t>(sent.size()); }
  void resetReplyCounts() override { sent.clear(); }
  void runStarted() override {}
  void orderSending(std::int16_t, std::int32_t) override {}
  std::string captureFileName() const override { return captureFile; }
  void chooseCaptureFile(const std::string& name) override { captureFile = name; }
  bool serialLinkIs(const std::string& port, serial::TBaudRate) const override { return link == port; }
  void switchToSerial(const std::string& port, serial::TBaudRate) override {
    switches.push_back(link = port);
  }
  bool ethernetLinkIs(const std::string& host, std::int32_t port) const override {
    return link == host + ":" + std::to_string(port);
  }
  void switchToEthernet(const std::string& host, std::int32_t port) override {
    switches.push_back(link = host + ":" + std::to_string(port));
  }
  void restoreSavedPort() override {}
  std::string serialPortName() const override { return link; }
  bool serialDeviceGone() const override { return false; }

  void runStarting() override { reports.push_back("starting"); }
  void runGoing() override { going = true; }
  void orderSetUp(std::int16_t order, const std::string& text) override {
    orderText = text;
    reports.push_back("order " + std::to_string(order) + " " + text);
  }
  void progress(std::int16_t order, std::int64_t left, std::optional<std::int64_t> passes) override {
    reports.push_back(std::to_string(order) + ": " + automatic::ProgressText(left, passes));
  }
  void replies(std::int32_t replies, std::int32_t sent) override {
    reports.push_back(automatic::RepliesText(replies, sent));
  }
  void countdown(std::int32_t seconds, std::int32_t, std::int32_t) override {
    reports.push_back(std::to_string(seconds) + " s");
  }
  void result(bool finished, std::int32_t replies, std::int32_t sent) override {
    reports.push_back(automatic::RunEndText(finished, replies, sent));
  }
  void runOver(automatic::RunState) override { going = false; }
  void notification() override { reports.push_back("beep"); }
  void failed(const std::string& message) override { errors.push_back(message); }

  ui::StringGrid grid{"StringGrid1", automatic::kOrderColumns, 2};
  std::string orderText, link, captureFile;
  std::int32_t replyTotal = 0;
  bool going = false;
  std::vector<std::string> sent, switches, errors, reports;
};

// One sequencer on its own timers, with an order list.
struct SequencerRun {
  SequencerRun(platform::EventLoop& loop, const std::vector<std::vector<std::string>>& rows)
      : sequencer(loop, window, window) {
    window.grid.setRowCount(static_cast<int>(rows.size()) + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) window.grid.setRowCells(static_cast<int>(i) + 1, rows[i]);
  }

  RecordingWindow window;
  automatic::Sequencer sequencer;
};

TEST(SequencerClass, TwoRunsKeepTheirOwnStateAndSwitchOnlyWhenTheLinkDiffers) {
  platform::ManualEventLoop loop;
  // A repeat stretch over a serial port that stays open: one switch only.
  SequencerRun serial(loop, {{"1", "A", "1", "s", "1", "7", "9600"},
                             {"2", "B", "1", "s", "1", "7", "9600"},
                             {"3", "repeat", "1", "s", "3", "", ""},
                             {"4", "C", "1", "s", "1", "7", "9600"}});
  // A device server order without a port connects anew (to 1001) each time
  // it becomes current; the same address with its port given does not.
  SequencerRun ethernet(loop, {{"1", "X", "1", "s", "2", "10.0.0.1", ""},
                               {"2", "Y", "1", "s", "1", "10.0.0.1", ""},
                               {"3", "Z", "1", "s", "1", "10.0.0.1", "1001"}});
  serial.sequencer.start();
  loop.advance(500);
  ethernet.sequencer.start();
  loop.advance(3000);
  // Mid-stretch the one run counts its passes; the other has no repeat.
  EXPECT_EQ(serial.sequencer.repeatCounter(), 2);
  EXPECT_EQ(ethernet.sequencer.repeatCounter(), -1);
  EXPECT_EQ(ethernet.sequencer.currentOrder(), 3);
  loop.advance(5000);

  EXPECT_EQ(serial.window.sent, (std::vector<std::string>{"A", "B", "A", "B", "A", "B", "C"}));
  EXPECT_EQ(serial.window.switches, (std::vector<std::string>{"COM7"}));
  EXPECT_EQ(ethernet.window.sent, (std::vector<std::string>{"X", "X", "Y", "Z"}));
  EXPECT_EQ(ethernet.window.switches, (std::vector<std::string>{"10.0.0.1:1001", "10.0.0.1:1001"}));
  for (SequencerRun* run : {&serial, &ethernet}) {
    EXPECT_TRUE(run->window.errors.empty());
    EXPECT_EQ(run->window.reports.back().rfind("Pomiar automatyczny zako", 0), 0u)
        << run->window.reports.back();
    EXPECT_EQ(run->sequencer.state(), automatic::RunState::Ended);
    EXPECT_FALSE(run->sequencer.stepTimer().running() || run->sequencer.countdownTimer().running() ||
                 run->window.going);
  }
}

std::vector<std::string> inCp1250(std::initializer_list<const char*> texts) {
  std::vector<std::string> result;
  for (const char* text : texts) result.push_back(platform::pl(text));
  return result;
}

// The reports of a run in their order: the countdown only for steps of 3 s
// or more, the passes of a repeat stretch, a file order's name in the
// current file's folder, the result; a reply afterwards tells the result
// again until the status is cleared.
TEST(SequencerClass, ReportsWhatHappensAndWhoOwnsTheCounts) {
  platform::ManualEventLoop loop;
  SequencerRun run(loop, {{"1", "A", "1", "s", "1", "", ""},
                          {"2", "file", "1", "s", "1", "b.txt", ""},
                          {"3", "B", "3", "s", "1", "", ""},
                          {"4", "repeat", "3", "s", "2", "", ""},
                          {"5", "beep", "1", "s", "1", "", ""}});
  run.window.captureFile = "/dane/a.txt";
  run.sequencer.start();
  EXPECT_EQ(run.sequencer.state(), automatic::RunState::Running);
  EXPECT_TRUE(run.window.going);
  loop.advance(1500);
  // A reply during a step under 3 s: the counts, no result.
  run.window.replyTotal = 1;
  run.sequencer.countsChanged();
  loop.advance(1500);
  // During a step of 3 s the countdown owns the counts. (At 5 s the step
  // comes before the countdown's tick.)
  run.sequencer.countsChanged();
  loop.advance(7000);
  EXPECT_EQ(run.window.captureFile, "/dane/b.txt");
  EXPECT_EQ(run.window.sent, (std::vector<std::string>{"A", "B", "B"}));
  EXPECT_EQ(run.window.reports, inCp1250({"starting",
                                          "order 1 A",
                                          "1: Automatyczny, pozostało: 0 pomiarów",
                                          "Odpowiedzi: 0 / 1",
                                          "order 2 file",
                                          "Odpowiedzi: 1 / 1",
                                          "2: Automatyczny, pozostało: 0 pomiarów",
                                          "Odpowiedzi: 1 / 1",
                                          "order 3 B",
                                          "2 s",
                                          "1 s",
                                          "3: Automatyczny, pozostało: 0 pomiarów",
                                          "order 3 B",
                                          "2 s",
                                          "1 s",
                                          "0 s",
                                          "3: Automatyczny, pozostało: 0 pomiarów,0 powtórzeń",
                                          "order 5 beep",
                                          "beep",
                                          "5: Automatyczny, pozostało: 0 pomiarów",
                                          "Odpowiedzi: 1 / 3",
                                          "Pomiar automatyczny zakończony (Odpowiedzi: 1 / 3 )"}));
  EXPECT_EQ(run.sequencer.state(), automatic::RunState::Ended);

  // Outside a run a reply tells the result again; cleared, it is no longer
  // a finished one.
  run.window.reports.clear();
  run.window.replyTotal = 2;
  run.sequencer.countsChanged();
  run.sequencer.forgetResult();
  EXPECT_EQ(run.sequencer.state(), automatic::RunState::Idle);
  run.sequencer.countsChanged();
  EXPECT_EQ(run.window.reports,
            inCp1250({"Odpowiedzi: 2 / 3", "Pomiar automatyczny zakończony (Odpowiedzi: 2 / 3 )",
                      "Odpowiedzi: 2 / 3", "Pomiar automatyczny przerwany (Odpowiedzi: 2 / 3 )"}));
  EXPECT_TRUE(run.window.errors.empty());
}

}  // namespace
}  // namespace automatic_test
