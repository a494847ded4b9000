// The automatic measurement: it runs the order list of the orders editor by
// the orders' numbers, one step per tick of Timer1, switching the link each
// order names, and stops on the first bad value with a message naming the
// order. The list is read from the editor's grid at every step, never copied.
#include "automatic/Sequencer.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <limits>
#include <string>

#include "app/StrToInt.h"
#include "app/TForm1.h"
#include "automatic/StrToFloat.h"
#include "automatic/TForm2.h"
#include "automatic/TRemainingForm.h"
#include "config/ConfigOptions.h"
#include "platform/Cp1250.h"
#include "platform/Sound.h"
#include "serial/EComPort.h"

namespace app {

std::int32_t RepeatCounter = 0;

}  // namespace app

namespace automatic {

using platform::pl;

int OrderInterval(const std::string& time, const std::string& unit) {
  const double value = StrToFloat(time);
  const double factor = unit == "m" ? 60000.0 : unit == "h" ? 3600000.0 : 1000.0;
  // The current rounding mode rounds halves to the even neighbour.
  const double ms = std::nearbyint(value * factor);
  // A negative time has no timer interval; one beyond the timer's range would
  // wrap into a wrong one.
  if (value < 0 || !(ms <= std::numeric_limits<int>::max()))
    throw app::EConvertError("'" + time + "' is not a valid order time");
  return static_cast<int>(ms);
}

serial::TBaudRate OrderSpeed(const std::string& speed) {
  std::int32_t value = 0;
  if (!app::TryStrToInt(speed, value)) value = 4800;
  switch (value) {
    case 9600:
      return serial::br9600;
    case 19200:
      return serial::br19200;
    case 38400:
      return serial::br38400;
    case 57600:
      return serial::br57600;
    case 115200:
      return serial::br115200;
    default:
      return serial::br4800;
  }
}

std::int32_t IntervalSeconds(int intervalMs) {
  return static_cast<std::int32_t>(std::nearbyint(intervalMs / 1000.0));
}

std::string CountdownText(std::int32_t seconds, std::int32_t replies, std::int32_t sent) {
  // The reply timeout's warning holds the run while the countdown goes on:
  // the next measurement is then due at once, never "-3 s" ago.
  std::int32_t a = std::max<std::int32_t>(seconds, 0);
  std::string hours;
  std::string minutes;
  if (a >= 3600) {
    const std::int32_t h = a / 3600;
    hours = std::to_string(h) + " h ";
    a -= h * 3600;
  }
  if (a >= 60) {
    const std::int32_t m = a / 60;
    minutes = std::to_string(m) + " min ";
    a -= m * 60;
  }
  return "Kolejny pomiar za: " + hours + minutes + std::to_string(a) +
         " s (Odpowiedzi: " + std::to_string(replies) + " / " + std::to_string(sent) + " )";
}

std::string FolderPart(const std::string& name) {
  const std::size_t separator = name.find_last_of("\\:/");
  return separator == std::string::npos ? std::string() : name.substr(0, separator + 1);
}

}  // namespace automatic

namespace app {

using automatic::colLink;
using automatic::colNumber;
using automatic::colOrder;
using automatic::colRepeats;
using automatic::colSpeed;
using automatic::colTime;
using automatic::colUnit;
using platform::pl;

namespace {

const std::string kWait = "wait";
const std::string kRepeat = "repeat";
const std::string kFile = "file";
const std::string kBeep = "beep";

// Counters wrap as the system's 32-bit integers do, never overflow.
std::int32_t plusOne(std::int32_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) + 1u);
}

std::string counts(const app::TForm1& form) {
  return std::to_string(form.Bytes.ReplyCount) + " / " + std::to_string(form.SentCount);
}

// The order list: the editor's grid, read afresh at every use. Without an
// editor the list has no rows.
class Orders {
 public:
  explicit Orders(const automatic::TForm2* editor) : grid_(editor ? &editor->StringGrid1 : nullptr) {}

  int rowCount() const { return grid_ ? grid_->rowCount() : 1; }
  const std::string& cell(int col, int row) const {
    static const std::string empty;
    return grid_ ? grid_->cell(col, row) : empty;
  }
  std::int32_t number(int row) const { return StrToInt(cell(colNumber, row)); }

  // The first row, from row 1 down, numbered n; -1 when there is none. Every
  // number passed on the way must be a whole number.
  int find(std::int32_t n) const {
    for (int r = 1; r < rowCount(); ++r)
      if (number(r) == n) return r;
    return -1;
  }
  // The first row numbered n that is a "repeat"; rows with that number but
  // another order do not end the search.
  int findRepeat(std::int32_t n) const {
    for (int r = 1; r < rowCount(); ++r)
      if (number(r) == n && cell(colOrder, r) == kRepeat) return r;
    return -1;
  }
  int interval(int row) const { return automatic::OrderInterval(cell(colTime, row), cell(colUnit, row)); }

 private:
  const ui::StringGrid* grid_;
};

// A step that shows a message box lets the loop run on; a tick of Timer1
// meanwhile must not start a second step inside the first.
bool stepRunning = false;

struct StepGuard {
  StepGuard() { stepRunning = true; }
  ~StepGuard() { stepRunning = false; }
  StepGuard(const StepGuard&) = delete;
  StepGuard& operator=(const StepGuard&) = delete;
};

}  // namespace

// The serial port name returns to the one remembered; a port that cannot be
// reopened under it is reported, and the run stays stopped or ended.
static void restoreSavedPort(TForm1& form) {
  try {
    form.ComPort1.setPort(form.SavedPort);
  } catch (const std::exception& e) {
    form.loop().reportError(e.what());
  }
}

// Any failure of a start or a step: the run stops as by Stop, and the
// message names the order that was being run or set up. A serial port whose
// device went away is told as such: no value of the order was wrong.
static void failRun(TForm1& form, bool portLost = false) {
  // Read before Stop, which may reopen the port under its saved name.
  const std::string port = form.ComPort1.port();
  form.Button6Click();
  const std::string order = std::to_string(form.CurrentOrder);
  form.dialogs().messageBox(portLost ? pl("Utracono połączenie z portem ") + port +
                                           pl(" - urządzenie zostało odłączone (rozkaz nr ") + order + ")"
                                     : pl("Niepoprawna wartość parametru rozkazu nr ") + order,
                            pl("Błąd"), ui::MessageIcon::Error, ui::mbOK);
}

static void setCountdown(TForm1& form) {
  form.Timer3->setInterval(form.Timer1->interval() >= 3000 ? 1000 : 0);
}

// No order with the next number: the run is over.
static void endRun(TForm1& form) {
  form.Timer1->setInterval(0);
  form.Timer3->setInterval(0);
  form.StaticText5.setCaption(pl("Pomiar automatyczny zakończony (Odpowiedzi: ") + counts(form) + " )");
  form.StaticText5.repaint();
  form.StaticText6.setCaption({});
  form.Memo1.repaint();
  form.Button6.setVisible(false);
  form.btnOpenPort.setEnabled(true);
  // Speed, link kind and the Ethernet link stay as the last order left them.
  restoreSavedPort(form);
}

void TForm1::Automatyczny1Click() {
  try {
    btnOpenPort.setEnabled(false);
    CurrentOrder = 1;
    Timer1->setEnabled(true);
    // No reply is awaited before the first send.
    Bytes.ReplyCounted = true;
    Bytes.ReplyCount = 0;
    SentCount = 0;
    MeasurementsDone = 0;
    // A new run is a new series of readings.
    Readings.startRun();
    const Orders orders(Form2);
    // Without an order 1 the run stalls here until Stop.
    const int row = orders.find(1);
    if (row >= 0) {
      ChangeConnection(row);
      Timer1->setInterval(orders.interval(row));
      Edit1.setText(orders.cell(colOrder, row));
      StaticText7.setCaption("Rozkaz nr 1");
    }
    // Nothing is sent now: the first send comes one order time later.
    SecondsToNext = automatic::IntervalSeconds(Timer1->interval());
    Button6.setVisible(true);
    setCountdown(*this);
    RepeatCounter = -1;
  } catch (...) {
    failRun(*this);
  }
}

void TForm1::Timer1Timer() {
  if (stepRunning) return;
  const StepGuard guard;
  bool ended = false;
  try {
    const Orders orders(Form2);
    // 1. The current row and its count. A list edited during the run may
    // have lost it: the run ends then, rather than sending Edit1 for ever.
    const int row = orders.find(CurrentOrder);
    if (row < 0) {
      ended = true;
    } else {
      const std::int32_t count = StrToInt(orders.cell(colRepeats, row));
      // 2. What the order does.
      const std::string& order = orders.cell(colOrder, row);
      if (order == kWait || order == kRepeat) {
        // A "repeat" row is current only when reached other than by
        // advancing (as order 1, as a jump target, or straight after another
        // repeat's last pass): it waits like "wait", and the word "repeat"
        // never goes to the scale.
      } else if (order == kFile) {
        const std::string& name = orders.cell(colLink, row);
        if (name.empty()) throw EConvertError("no capture file name");
        LabelFileName.setCaption(automatic::FolderPart(name).empty()
                                     ? automatic::FolderPart(LabelFileName.caption()) + name
                                     : name);
        LabelFileName.setFontColor(ui::clBlack);
        // A file is chosen: the Ethernet link's fast-write mode follows it.
        EthSetFastWriteMode(FastWrite.checked() && CaptureFileChosen());
      } else if (order == kBeep) {
        platform::Beep();
        if (RemainingForm) RemainingForm->ShowNotification();
      } else {
        Readings.armOrder(CurrentOrder, MeasurementsDone);
        btnWyslijClick();
      }
      // 3.-7. Count the step and show it.
      MeasurementsDone = plusOne(MeasurementsDone);
      StaticText5.setCaption(pl("Automatyczny, pozostało: ") +
                             std::to_string(std::int64_t{count} - MeasurementsDone) + pl(" pomiarów"));
      if (Timer1->interval() < 3000) StaticText6.setCaption(pl("Odpowiedzi: ") + counts(*this));
      if (RepeatCounter >= 0)
        StaticText5.setCaption(StaticText5.caption() + "," + std::to_string(std::int64_t{RepeatCounter} - 1) +
                               pl(" powtórzeń"));
      StaticText7.setCaption("Rozkaz nr " + std::to_string(CurrentOrder));
      // 8.-9. The order's count reached: on to the next one.
      if (MeasurementsDone == count) {
        ++CurrentOrder;
        const int repeat = orders.findRepeat(CurrentOrder);
        if (repeat >= 0) {
          if (RepeatCounter > 0)
            --RepeatCounter;
          else if (RepeatCounter < 0)
            RepeatCounter =
                static_cast<std::int32_t>(std::int64_t{StrToInt(orders.cell(colRepeats, repeat))} - 1);
          if (RepeatCounter != 0) {
            // Back to the first order of the stretch.
            const std::int32_t first = StrToInt(orders.cell(colTime, repeat));
            if (first < std::numeric_limits<std::int16_t>::min() ||
                first > std::numeric_limits<std::int16_t>::max())
              throw EConvertError::invalidInteger(orders.cell(colTime, repeat));
            CurrentOrder = static_cast<std::int16_t>(first);
          } else {
            ++CurrentOrder;
            RepeatCounter = -1;
          }
        }
        const int next = orders.find(CurrentOrder);
        if (next >= 0) {
          ChangeConnection(next);
          Timer1->setInterval(orders.interval(next));
          setCountdown(*this);
          Edit1.setText(orders.cell(colOrder, next));
          StaticText7.setCaption("Rozkaz nr " + std::to_string(CurrentOrder));
        } else {
          ended = true;
        }
        // 10.
        MeasurementsDone = 0;
      }
    }
  } catch (const serial::EComPort&) {
    // A send may meet a device gone before its port has closed itself.
    failRun(*this,
            config::ConfigOptions.ConnectionKind == config::kSerialConnection && ComPort1.DeviceGone());
    return;
  } catch (...) {
    failRun(*this);
    return;
  }
  if (ended) {
    endRun(*this);
    MeasurementsDone = 0;
  }
  // 11.
  SecondsToNext = automatic::IntervalSeconds(Timer1->interval());
}

void TForm1::Timer3Timer() {
  if (SecondsToNext > std::numeric_limits<std::int32_t>::min()) --SecondsToNext;
  StaticText6.setCaption(automatic::CountdownText(SecondsToNext, Bytes.ReplyCount, SentCount));
}

void TForm1::Button6Click() {
  Timer1->setInterval(0);
  Timer3->setInterval(0);
  StaticText5.setCaption(pl("Pomiar automatyczny przerwany (Odpowiedzi: ") + counts(*this) + " )");
  MeasurementsDone = 0;
  Button6.setVisible(false);
  StaticText6.setCaption({});
  btnOpenPort.setEnabled(true);
  restoreSavedPort(*this);
}

// The port closed itself while a run was going: the run ends at once, rather
// than failing to reopen the port at every later tick.
void TForm1::SerialPortLost() {
  if (Button6.visible()) failRun(*this, true);
}

void TForm1::PomiarRczny1Click() {
  btnWyslijClick();
}

void TForm1::ChangeConnection(int row) {
  const Orders orders(Form2);
  const std::string& order = orders.cell(colOrder, row);
  if (order == kWait || order == kFile || order == kRepeat || order == kBeep) return;

  config::TConfigOptions& options = config::ConfigOptions;
  const bool ethernetActive = options.ConnectionKind == config::kEthernetConnection &&
                              (LinkState == LinkConnecting || LinkState == LinkOpen);
  const std::string& link = orders.cell(colLink, row);
  const std::string& speedCell = orders.cell(colSpeed, row);

  if (link.find('.') == std::string::npos) {
    // A serial port number.
    const serial::TBaudRate speed = automatic::OrderSpeed(speedCell);
    std::int32_t number = 0;
    if (!TryStrToInt(link, number) || number <= 0) return;
    const std::string name = "COM" + link;
    if (ComPort1.port() == name && ComPort1.baudRate() == speed && ComPort1.connected()) return;
    if (ethernetActive) EthToggleConnection(options.Host, options.Port);
    try {
      ComPort1.Disconnect();
    } catch (...) {
      // The port is opened anew below; a failed close changes nothing there.
    }
    options.ConnectionKind = config::kSerialConnection;
    ShowConnectionState();
    ComPort1.setPort(name);
    ComPort1.setBaudRate(speed);
    // A port that cannot be opened fails the step.
    ComPort1.Connect();
    ShowConnectionState();
    return;
  }

  // The address of a device server.
  std::int32_t port = -1;
  if (!TryStrToInt(speedCell, port)) port = -1;
  if (port == options.Port && options.Host == link && LinkState != LinkClosed &&
      options.ConnectionKind == config::kEthernetConnection)
    return;
  if (ethernetActive) EthToggleConnection(options.Host, options.Port);
  try {
    ComPort1.Disconnect();
  } catch (...) {
    // The serial port is left for the device server; a failed close is no matter.
  }
  options.ConnectionKind = config::kEthernetConnection;
  options.Host = link;
  options.Port = port > 0 ? port : 1001;
  // The connection completes later and reaches LinkState by message.
  EthToggleConnection(options.Host, options.Port);
}

}  // namespace app
