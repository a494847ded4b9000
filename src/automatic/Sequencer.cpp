#include "automatic/Sequencer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>

#include "automatic/DecimalNumbers.h"
#include "automatic/TForm2.h"
#include "platform/Counters.h"
#include "platform/Cp1250.h"
#include "platform/WholeNumbers.h"
#include "serial/EComPort.h"

namespace automatic {

using platform::pl;

int OrderInterval(const std::string& time, const std::string& unit) {
  const double value = parseDecimal(time);
  const double factor = unit == "m" ? 60000.0 : unit == "h" ? 3600000.0 : 1000.0;
  // The current rounding mode rounds halves to the even neighbour.
  const double ms = std::nearbyint(value * factor);
  // A negative time has no timer interval; one beyond the timer's range would
  // wrap into a wrong one.
  if (value < 0 || !(ms <= std::numeric_limits<int>::max()))
    throw platform::ConversionError("'" + time + "' is not a valid order time");
  return static_cast<int>(ms);
}

serial::TBaudRate OrderSpeed(const std::string& speed) {
  std::int32_t value = 0;
  if (!platform::tryParseInteger(speed, value)) return serial::br4800;
  for (const serial::TBaudRate rate : serial::kTerminalSpeeds)
    if (serial::BaudRateValue(rate) == value) return rate;
  return serial::br4800;
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
  return "Kolejny pomiar za: " + hours + minutes + std::to_string(a) + " s (" + RepliesText(replies, sent) +
         " )";
}

std::string RepliesText(std::int32_t replies, std::int32_t sent) {
  return "Odpowiedzi: " + std::to_string(replies) + " / " + std::to_string(sent);
}

std::string RunEndText(bool finished, std::int32_t replies, std::int32_t sent) {
  return pl(finished ? "Pomiar automatyczny zakończony (" : "Pomiar automatyczny przerwany (") +
         RepliesText(replies, sent) + " )";
}

std::string ProgressText(std::int64_t measurementsLeft, std::optional<std::int64_t> passesLeft) {
  std::string text = pl("Automatyczny, pozostało: ") + std::to_string(measurementsLeft) + pl(" pomiarów");
  if (passesLeft) text += "," + std::to_string(*passesLeft) + pl(" powtórzeń");
  return text;
}

std::string FolderPart(const std::string& name) {
  const std::size_t separator = name.find_last_of("\\:/");
  return separator == std::string::npos ? std::string() : name.substr(0, separator + 1);
}

using platform::ConversionError;
using platform::parseInteger;

namespace {

const std::string kWait = "wait";
const std::string kRepeat = "repeat";
const std::string kFile = "file";
const std::string kBeep = "beep";

class StepGuard {
 public:
  explicit StepGuard(bool& running) : running_(running) { running_ = true; }
  ~StepGuard() { running_ = false; }
  StepGuard(const StepGuard&) = delete;
  StepGuard& operator=(const StepGuard&) = delete;

 private:
  bool& running_;
};

}  // namespace

// The order list: the editor's grid, read afresh at every use. Without an
// editor the list has no rows.
class Sequencer::Orders {
 public:
  explicit Orders(const ui::StringGrid* grid) : grid_(grid) {}

  int rowCount() const { return grid_ ? grid_->rowCount() : 1; }
  const std::string& cell(int col, int row) const {
    static const std::string empty;
    return grid_ ? grid_->cell(col, row) : empty;
  }
  std::int32_t number(int row) const { return parseInteger(cell(colNumber, row)); }

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
  int interval(int row) const { return OrderInterval(cell(colTime, row), cell(colUnit, row)); }

 private:
  const ui::StringGrid* grid_;
};

Sequencer::Sequencer(platform::EventLoop& loop, SequencerWindow& window, RunStatus& status)
    : window_(window), status_(status), stepTimer_(loop.createTimer()), countdownTimer_(loop.createTimer()) {
  stepTimer_->setOnTimer([this] { step(); });
  countdownTimer_->setOnTimer([this] { countDown(); });
}

// Any failure of a start or a step: the run stops as by Stop, and the
// message names the order that was being run or set up. A serial port whose
// device went away is told as such: no value of the order was wrong.
void Sequencer::failRun(bool portLost) {
  // Read before Stop, which may reopen the port under its saved name.
  const std::string port = window_.serialPortName();
  const std::string order = std::to_string(currentOrder_);
  fail(portLost ? pl("Utracono połączenie z portem ") + port +
                      pl(" - urządzenie zostało odłączone (rozkaz nr ") + order + ")"
                : pl("Niepoprawna wartość parametru rozkazu nr ") + order);
}

void Sequencer::fail(const std::string& message) {
  stop();
  status_.failed(message);
}

void Sequencer::setCountdown() {
  countdownShown_ = stepTimer_->interval() >= 3000;
  countdownTimer_->setInterval(countdownShown_ ? 1000 : 0);
}

void Sequencer::restartCountdown() {
  secondsToNext_ = IntervalSeconds(stepTimer_->interval());
}

void Sequencer::holdSteps() {
  stepTimer_->setEnabled(false);
}

void Sequencer::resumeSteps() {
  stepTimer_->setEnabled(true);
  restartCountdown();
}

void Sequencer::countsChanged() {
  const std::int32_t replies = window_.replyCount();
  const std::int32_t sent = window_.sentCount();
  if (!countdownShown_) status_.replies(replies, sent);
  // A run that stalls (no order 1, or an order time of 0) does not step.
  if (state_ != RunState::Running || stepTimer_->interval() == 0)
    status_.result(resultFinished_, replies, sent);
}

void Sequencer::forgetResult() {
  resultFinished_ = false;
  if (state_ != RunState::Running) state_ = RunState::Idle;
}

void Sequencer::resetCounters() {
  measurementsDone_ = 0;
}

// The run is over: both timers stop, the result is told, the port's name
// goes back to the one remembered (speed, link kind and the Ethernet link
// stay as the last order left them).
void Sequencer::finish(RunState state) {
  stepTimer_->setInterval(0);
  countdownTimer_->setInterval(0);
  countdownShown_ = false;
  state_ = state;
  resultFinished_ = state == RunState::Ended;
  measurementsDone_ = 0;
  status_.result(resultFinished_, window_.replyCount(), window_.sentCount());
  status_.runOver(state);
  window_.restoreSavedPort();
}

// No order with the next number: the run is over.
void Sequencer::endRun() {
  finish(RunState::Ended);
}

// The order in row becomes the current one: its link, its time, its text.
void Sequencer::setUpOrder(const Orders& orders, int row) {
  changeConnection(row);
  stepTimer_->setInterval(orders.interval(row));
  status_.orderSetUp(currentOrder_, orders.cell(colOrder, row));
}

void Sequencer::start() {
  try {
    status_.runStarting();
    currentOrder_ = 1;
    stepTimer_->setEnabled(true);
    window_.resetReplyCounts();
    measurementsDone_ = 0;
    // A new run is a new series of readings.
    window_.runStarted();
    const Orders orders(window_.orderGrid());
    // Without an order 1 the run stalls here until Stop.
    const int row = orders.find(1);
    if (row >= 0) setUpOrder(orders, row);
    // Nothing is sent now: the first send comes one order time later.
    restartCountdown();
    state_ = RunState::Running;
    status_.runGoing();
    setCountdown();
    repeatCounter_ = -1;
  } catch (const std::runtime_error&) {
    // A bad value of an order or a port that cannot be opened; a programming
    // error goes on to the general error report.
    failRun();
  }
}

// What the current order does: wait, choose the capture file, alert the
// operator, or go to the scale.
void Sequencer::act(const Orders& orders, int row) {
  const std::string& order = orders.cell(colOrder, row);
  if (order == kWait || order == kRepeat) {
    // A "repeat" row is current only when reached other than by advancing
    // (as order 1, as a jump target, or straight after another repeat's last
    // pass): it waits like "wait", and the word "repeat" never goes to the
    // scale.
  } else if (order == kFile) {
    const std::string& name = orders.cell(colLink, row);
    if (name.empty()) throw ConversionError("no capture file name");
    window_.chooseCaptureFile(FolderPart(name).empty() ? FolderPart(window_.captureFileName()) + name : name);
  } else if (order == kBeep) {
    status_.notification();
  } else {
    window_.orderSending(currentOrder_, measurementsDone_);
    window_.sendOrder();
  }
}

// Counts the step and shows how many measurements and passes remain.
void Sequencer::showProgress(std::int32_t count) {
  measurementsDone_ = platform::plusOne(measurementsDone_);
  resultFinished_ = false;
  std::optional<std::int64_t> passesLeft;
  if (repeatCounter_ >= 0) passesLeft = std::int64_t{repeatCounter_} - 1;
  status_.progress(currentOrder_, std::int64_t{count} - measurementsDone_, passesLeft);
  if (!countdownShown_) status_.replies(window_.replyCount(), window_.sentCount());
}

// A "repeat" row numbered as the next order sends the run back to the first
// order of its stretch until its passes are done, then past itself.
void Sequencer::applyRepeat(const Orders& orders) {
  const int repeat = orders.findRepeat(currentOrder_);
  if (repeat < 0) return;
  if (repeatCounter_ > 0)
    --repeatCounter_;
  else if (repeatCounter_ < 0)
    repeatCounter_ =
        static_cast<std::int32_t>(std::int64_t{parseInteger(orders.cell(colRepeats, repeat))} - 1);
  if (repeatCounter_ != 0) {
    const std::int32_t first = parseInteger(orders.cell(colTime, repeat));
    if (first < std::numeric_limits<std::int16_t>::min() || first > std::numeric_limits<std::int16_t>::max())
      throw ConversionError::invalidInteger(orders.cell(colTime, repeat));
    currentOrder_ = static_cast<std::int16_t>(first);
  } else {
    ++currentOrder_;
    repeatCounter_ = -1;
  }
}

bool Sequencer::advance(const Orders& orders) {
  ++currentOrder_;
  applyRepeat(orders);
  const int next = orders.find(currentOrder_);
  if (next < 0) return false;
  setUpOrder(orders, next);
  setCountdown();
  return true;
}

void Sequencer::step() {
  if (stepRunning_) return;
  const StepGuard guard(stepRunning_);
  bool ended = false;
  try {
    const Orders orders(window_.orderGrid());
    // A list edited during the run may have lost the current order: the run
    // ends then, rather than sending Edit1 for ever.
    const int row = orders.find(currentOrder_);
    if (row < 0) {
      ended = true;
    } else {
      const std::int32_t count = parseInteger(orders.cell(colRepeats, row));
      act(orders, row);
      showProgress(count);
      // The same order runs again at the next tick until its count is reached.
      if (measurementsDone_ == count) {
        ended = !advance(orders);
        measurementsDone_ = 0;
      }
    }
  } catch (const serial::EComPort&) {
    // A send may meet a device gone before its port has closed itself.
    failRun(window_.serialDeviceGone());
    return;
  } catch (const std::runtime_error&) {
    // A bad value of an order; a programming error goes on to the general
    // error report.
    failRun();
    return;
  }
  if (ended) {
    endRun();
    measurementsDone_ = 0;
  }
  restartCountdown();
}

void Sequencer::countDown() {
  if (secondsToNext_ > std::numeric_limits<std::int32_t>::min()) --secondsToNext_;
  status_.countdown(secondsToNext_, window_.replyCount(), window_.sentCount());
}

void Sequencer::stop() {
  finish(RunState::Stopped);
}

// The port closed itself while a run was going: the run ends at once, rather
// than failing to reopen the port at every later tick.
void Sequencer::portLost() {
  if (state_ == RunState::Running) failRun(true);
}

void Sequencer::ethernetUnreachable(const std::string& address) {
  if (state_ != RunState::Running || ethernetOpenedInOrder_) return;
  fail(pl("Nie można połączyć się z serwerem portów ") + address + pl(" (rozkaz nr ") +
       std::to_string(currentOrder_) + ")");
}

void Sequencer::changeConnection(int row) {
  const Orders orders(window_.orderGrid());
  const std::string& order = orders.cell(colOrder, row);
  if (order == kWait || order == kFile || order == kRepeat || order == kBeep) return;
  const std::string& link = orders.cell(colLink, row);
  const std::string& speedCell = orders.cell(colSpeed, row);

  if (link.find('.') == std::string::npos) {
    // A serial port number.
    const serial::TBaudRate speed = OrderSpeed(speedCell);
    std::int32_t number = 0;
    if (!platform::tryParseInteger(link, number) || number <= 0) return;
    const std::string name = "COM" + link;
    if (!window_.serialLinkIs(name, speed)) window_.switchToSerial(name, speed);
    return;
  }

  // The address of a device server. A port cell that is no number never
  // matches the link's port: such an order connects anew each time.
  std::int32_t port = -1;
  if (!platform::tryParseInteger(speedCell, port)) port = -1;
  if (window_.ethernetLinkIs(link, port)) return;
  ethernetOpenedInOrder_ = false;
  window_.switchToEthernet(link, port > 0 ? port : 1001);
}

}  // namespace automatic
