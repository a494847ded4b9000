// An automatic measurement of any order list, run on the manual loop: the
// main window with its serial port on a pty (the scale, which stays silent),
// the orders editor's grid filled from the input (a cell is either a word the
// orders use or any short text), the Ethernet link replaced by a recorder so
// that no connection is ever made (it opens and closes by message, as a device
// server that answers at once would). The virtual clock moves on from tick to
// tick; after each one the run is in exactly one of three states:
// - running: the current order names a row, Timer1 runs at that row's time;
// - ended: "zakończony", the timers stopped, the port name back;
// - failed: one message naming the current order, "przerwany", the timers
//   stopped, the port name back.
// A send is counted at most once a tick; nothing reaches the general error
// report; the run never outlives Stop.
#include <fcntl.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "FuzzInput.h"
#include "app/TForm1.h"
#include "automatic/DecimalNumbers.h"
#include "automatic/Sequencer.h"
#include "automatic/TForm2.h"
#include "automatic/TRemainingForm.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "platform/PortNames.h"
#include "platform/Sound.h"
#include "platform/WholeNumbers.h"
#include "support/DeviceMap.h"
#include "support/Pty.h"
#include "support/RecordingForm.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace {

using platform::pl;

// The recorder's link opens and closes by message at once.
class RecordingForm : public testing_support::RecordingForm {
 public:
  using testing_support::RecordingForm::RecordingForm;
  void EthToggleConnection(const std::string& host, std::int32_t port) override {
    testing_support::RecordingForm::EthToggleConnection(host, port);
    postMessage(app::UM_UPDATE_PORT, LinkState == app::LinkClosed ? app::LinkOpen : app::LinkClosed);
  }
};

// Words each column's cells are most often made of.
const std::vector<std::vector<std::string>> kWords = {
    {"1", "2", "3", "4", "5", "0", "-1", "$2", "x", ""},
    {"SI", "S", "wait", "repeat", "file", "beep", "$1B$40", "$ZZ", ""},
    {"0", "0.5", "1", "2.5", "3", "60", "-1", "1e3", "abc", "", "0,5"},
    {"s", "m", "h", ""},
    {"1", "2", "3", "0", "-1", "2147483647", "x", ""},
    {"7", "8", "127.0.0.1", "dev.example", "0", "-7", "wynik.txt", "a/b.txt", ""},
    {"9600", "4800", "115200", "", "1001", "x"},
};

struct Session {
  Session() {
    automatic::setDecimalSeparator('.');
    platform::SetBeep([] {});
    ::fcntl(scale.master(), F_SETFL, ::fcntl(scale.master(), F_GETFL) | O_NONBLOCK);
    loop.setErrorReport([this](const std::string& message) { dialogs.showError(message); });
    testing_support::buildScaleWindows({loop, dialogs, dir.path(), [] {}}, scale.slavePath(), form, form2,
                                       remaining);
    remaining->BringToFront = [] {};
  }

  // COM7 is the scale's line; every other port a serial link of the list
  // names is a device that does not exist, so no real port is ever opened.
  void writeDevices(const std::vector<std::string>& portNames) {
    testing_support::PortMap ports{{"COM7", scale.slavePath()}};
    for (const std::string& name : portNames)
      if (platform::comPortNumber(name) > 0 && name != "COM7")
        ports.emplace_back(name, (dir / "no-such-device").string());
    testing_support::writeDeviceMap(dir.path(), ports);
  }

  void drainScale() {
    char buffer[4096];
    while (::read(scale.master(), buffer, sizeof buffer) > 0) {
    }
  }

  testing_support::Pty scale;
  testing_support::TempDir dir;
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  std::unique_ptr<RecordingForm> form;
  std::unique_ptr<automatic::TForm2> form2;
  std::unique_ptr<automatic::TRemainingForm> remaining;
};

const std::string& failureStart() {
  static const std::string text = pl("Niepoprawna wartość parametru rozkazu nr ");
  return text;
}

bool startsWith(const std::string& text, const std::string& start) {
  return text.compare(0, start.size(), start) == 0;
}

// The first row numbered n, as the run looks it up; -1 when none is, or when
// a number cell on the way is no whole number.
int rowOf(const ui::StringGrid& grid, std::int32_t n) {
  for (int r = 1; r < grid.rowCount(); ++r) {
    std::int32_t v = 0;
    if (!platform::tryParseInteger(grid.cell(automatic::colNumber, r), v)) return -1;
    if (v == n) return r;
  }
  return -1;
}

// The run stopped: the timers off, Stop hidden, the link button back, the
// serial port under its remembered name.
void checkStopped(const Session& s) {
  FUZZ_CHECK(s.form->Timer1->interval() == 0);
  FUZZ_CHECK(s.form->Timer3->interval() == 0);
  FUZZ_CHECK(!s.form->Button6.visible());
  FUZZ_CHECK(s.form->btnOpenPort.enabled());
  FUZZ_CHECK(s.form->ComPort1.port() == s.form->SavedPort);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Session s;
  fuzz::FuzzInput in(data, size);
  const int rows = 1 + in.byte() % 6;
  std::vector<std::vector<std::string>> cells(rows, std::vector<std::string>(kWords.size()));
  std::vector<std::string> portNames;
  for (auto& row : cells) {
    for (std::size_t col = 0; col < kWords.size(); ++col) {
      const std::uint8_t choice = in.byte();
      row[col] = choice & 0x80 ? in.text(6) : kWords[col][choice % kWords[col].size()];
    }
    portNames.push_back("COM" + row[automatic::colLink]);
  }
  s.form->CheckBox1.setChecked(in.flag());
  s.form->CheckBox3.setChecked(in.flag());
  s.writeDevices(portNames);

  ui::StringGrid& grid = s.form2->StringGrid1;
  grid.setRowCount(2);
  grid.setRowCells(1, {});
  grid.setRowCount(rows + 1);
  for (int r = 0; r < rows; ++r) grid.setRowCells(r + 1, cells[r]);

  s.dialogs.messages.clear();
  s.form->Memo1.clear();

  enum class Run { Going, Ended, Failed };
  int steps = 0;
  // The state after the start and after every step.
  const auto check = [&] {
    FUZZ_CHECK(s.dialogs.errors.empty());
    int failures = 0;
    for (const auto& m : s.dialogs.messages)
      if (startsWith(m.text, failureStart())) {
        ++failures;
        FUZZ_CHECK(m.text == failureStart() + std::to_string(s.form->Sequencer.currentOrder()));
      }
    FUZZ_CHECK(failures <= 1);
    if (failures == 1) {
      checkStopped(s);
      FUZZ_CHECK(startsWith(s.form->StaticText5.caption(), pl("Pomiar automatyczny przerwany")));
      return Run::Failed;
    }
    if (!s.form->Button6.visible()) {
      checkStopped(s);
      FUZZ_CHECK(startsWith(s.form->StaticText5.caption(), pl("Pomiar automatyczny zakończony")));
      return Run::Ended;
    }
    // Going: the current order names a row and Timer1 runs at its time. With
    // no order 1 the run waits for Stop from the start.
    const int interval = s.form->Timer1->interval();
    const int row = rowOf(grid, s.form->Sequencer.currentOrder());
    if (row >= 0) {
      int expected = -1;
      try {
        expected =
            automatic::OrderInterval(grid.cell(automatic::colTime, row), grid.cell(automatic::colUnit, row));
      } catch (const platform::ConversionError&) {
      }
      FUZZ_CHECK(interval == expected);
      FUZZ_CHECK(s.form->Sequencer.secondsToNext() == automatic::IntervalSeconds(interval));
    } else {
      FUZZ_CHECK(steps == 0 && interval == 0);
    }
    return Run::Going;
  };
  // Each step sends at most once and leaves the run in one of the states.
  Run state = Run::Going;
  s.form->Timer1->setOnTimer([&] {
    const std::int32_t sentBefore = s.form->SentCount;
    s.form->Timer1Timer();
    ++steps;
    const std::int32_t sent = s.form->SentCount - sentBefore;
    FUZZ_CHECK(sent == 0 || sent == 1);
    state = check();
  });

  s.loop.dispatch([&] { s.form->Automatyczny1.click(); });
  state = check();
  // The clock moves on by the order times, up to ten minutes of run.
  long long elapsedMs = 0;
  for (int i = 0; i < 40 && state == Run::Going; ++i) {
    const int interval = s.form->Timer1->interval();
    if (interval <= 0 || elapsedMs + interval > 600 * 1000) break;
    s.loop.advance(interval);
    elapsedMs += interval;
    s.drainScale();
  }

  // Stop ends whatever still runs, and nothing moves after it.
  if (s.form->Button6.visible()) s.loop.dispatch([&] { s.form->Button6.click(); });
  checkStopped(s);
  const std::int32_t sentAtStop = s.form->SentCount;
  const int stepsAtStop = steps;
  const std::string statusAtStop = s.form->StaticText5.caption();
  s.loop.advance(10000);
  FUZZ_CHECK(s.form->SentCount == sentAtStop);
  FUZZ_CHECK(steps == stepsAtStop);
  FUZZ_CHECK(s.form->StaticText5.caption() == statusAtStop);
  // The scale never answered: nothing was received, so nothing was written
  // to a capture file an order named.
  FUZZ_CHECK(s.form->Memo1.text().empty());
  FUZZ_CHECK(s.dialogs.errors.empty());
  s.drainScale();
  s.form->ethernetSends.clear();
  s.form->toggles.clear();
  s.form->Timer1->setOnTimer([form = s.form.get()] { form->Timer1Timer(); });
  return 0;
}
