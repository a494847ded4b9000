// The sequencer on its own, behind a recording window: the link decisions a
// step takes (which the main window shows only by their effects), and the
// run's state belonging to each sequencer, never shared between two.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "automatic/Sequencer.h"
#include "automatic/TForm2.h"
#include "platform/ManualEventLoop.h"

namespace automatic_test {
namespace {

struct RecordingWindow : automatic::SequencerWindow {
  const ui::StringGrid* orderGrid() const override { return &grid; }
  void sendOrder() override { sent.push_back(edit->text()); }
  std::int32_t replyCount() const override { return 0; }
  std::int32_t sentCount() const override { return static_cast<std::int32_t>(sent.size()); }
  void resetReplyCounts() override { sent.clear(); }
  void runStarted() override {}
  void orderSending(std::int16_t, std::int32_t) override {}
  std::string captureFileName() const override { return {}; }
  void chooseCaptureFile(const std::string&) override {}
  void showNotification() override {}
  void showError(const std::string& text) override { errors.push_back(text); }
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

  ui::StringGrid grid{"StringGrid1", automatic::kOrderColumns, 2};
  const ui::Edit* edit = nullptr;
  std::string link;
  std::vector<std::string> sent, switches, errors;
};

// One sequencer with the controls and timers a main window would lend it.
struct SequencerRun {
  SequencerRun(platform::EventLoop& loop, const std::vector<std::vector<std::string>>& rows) {
    window.edit = &Edit1;
    window.grid.setRowCount(static_cast<int>(rows.size()) + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) window.grid.setRowCells(static_cast<int>(i) + 1, rows[i]);
    Timer1 = loop.createTimer();
    Timer3 = loop.createTimer();
    Timer1->setOnTimer([this] { sequencer.step(); });
    Timer3->setOnTimer([this] { sequencer.countDown(); });
  }

  RecordingWindow window;
  ui::Button btnOpenPort{"btnOpenPort"}, Button6{"Button6"};
  ui::Edit Edit1{"Edit1"};
  ui::Label StaticText5{"StaticText5"}, StaticText6{"StaticText6"}, StaticText7{"StaticText7"};
  ui::Memo Memo1{"Memo1"};
  std::unique_ptr<platform::Timer> Timer1, Timer3;
  automatic::Sequencer sequencer{
      window, {btnOpenPort, Button6, Edit1, StaticText5, StaticText6, StaticText7, Memo1, Timer1, Timer3}};
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
  EXPECT_EQ(serial.sequencer.RepeatCounter, 2);
  EXPECT_EQ(ethernet.sequencer.RepeatCounter, -1);
  EXPECT_EQ(ethernet.sequencer.CurrentOrder, 3);
  loop.advance(5000);

  EXPECT_EQ(serial.window.sent, (std::vector<std::string>{"A", "B", "A", "B", "A", "B", "C"}));
  EXPECT_EQ(serial.window.switches, (std::vector<std::string>{"COM7"}));
  EXPECT_EQ(ethernet.window.sent, (std::vector<std::string>{"X", "X", "Y", "Z"}));
  EXPECT_EQ(ethernet.window.switches, (std::vector<std::string>{"10.0.0.1:1001", "10.0.0.1:1001"}));
  for (const SequencerRun* run : {&serial, &ethernet}) {
    EXPECT_TRUE(run->window.errors.empty());
    EXPECT_EQ(run->StaticText5.caption().rfind("Pomiar automatyczny zako", 0), 0u)
        << run->StaticText5.caption();
    EXPECT_FALSE(run->Timer1->running() || run->Timer3->running() || run->Button6.visible());
  }
}

}  // namespace
}  // namespace automatic_test
