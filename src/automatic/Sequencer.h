#pragma once
// The automatic measurement: the sequencer that runs the order list, and the
// rules by which it reads an order row: the time of an order, the serial
// speed it names, the countdown text and the folder part of a capture file
// name.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "automatic/RunStatus.h"
#include "automatic/SequencerWindow.h"
#include "platform/EventLoop.h"
#include "serial/ComTypes.h"

namespace automatic {

// The time of an order in ms: "Czas" as a decimal number times 60 000 for
// "m", 3 600 000 for "h", 1000 for anything else, rounded to the nearest
// integer, halves to even. A time that is no decimal number, negative, or
// beyond the timer's range raises platform::ConversionError.
int OrderInterval(const std::string& time, const std::string& unit);

// The serial speed an order names in "Prędk./Port"; 4800 for anything that
// is not one of the speeds the port offers.
serial::TBaudRate OrderSpeed(const std::string& speed);

// Whole seconds of an interval in ms, rounded to the nearest, halves to even.
std::int32_t IntervalSeconds(int intervalMs);

// "Odpowiedzi: 3 / 4": the replies counted and the orders sent.
std::string RepliesText(std::int32_t replies, std::int32_t sent);
// "Pomiar automatyczny zakończony (Odpowiedzi: 3 / 4 )", or "przerwany" for a
// run that did not reach its end.
std::string RunEndText(bool finished, std::int32_t replies, std::int32_t sent);

// "Kolejny pomiar za: 1 h 2 min 5 s (Odpowiedzi: 3 / 4 )"; a negative
// number of seconds shows as 0 s.
std::string CountdownText(std::int32_t seconds, std::int32_t replies, std::int32_t sent);

// "Automatyczny, pozostało: 3 pomiarów", then ",2 powtórzeń" while a repeat
// stretch is under way.
std::string ProgressText(std::int64_t measurementsLeft, std::optional<std::int64_t> passesLeft);

// The folder part of a file name: up to and including its last "\", ":" or
// "/"; empty when it has none.
std::string FolderPart(const std::string& name);

// Runs the order list of the orders editor by the orders' numbers, one step
// per tick of its step timer, switching the link each order names, and stops
// on the first bad value with a message naming the order. The list is read
// from the editor's grid at every step, never copied. It owns its two timers
// (the steps and the countdown, which the main window calls Timer1 and
// Timer3) and the run's state, and tells what happens to its RunStatus.
class Sequencer {
 public:
  Sequencer(platform::EventLoop& loop, SequencerWindow& window, RunStatus& status);
  Sequencer(const Sequencer&) = delete;
  Sequencer& operator=(const Sequencer&) = delete;

  // "Pomiar Automatyczny": a run from order 1, every counter reset.
  void start();
  // A tick of the step timer: act on the current order, count it, advance
  // when its count is reached.
  void step();
  // A tick of the countdown: one second less to the next measurement.
  void countDown();
  // "Stop": the run ends as interrupted.
  void stop();
  // Switches the link to the one the order in the grid row names.
  void changeConnection(int row);
  // The serial port's device went away: a run going ends as failed, saying so.
  void portLost();
  // The Ethernet link opened; an attempt to reach the device server at
  // address ("host:port") failed. A run whose current order has not had the
  // link open ends as failed, naming the order and the address; one that had
  // it goes on and reconnects with its next send.
  void ethernetOpened() { ethernetOpenedInOrder_ = true; }
  void ethernetUnreachable(const std::string& address);
  // The reply timeout's warning holds the steps while it shows; afterwards
  // they go on and the countdown starts again from the step interval.
  void holdSteps();
  void resumeSteps();
  // The counts changed outside a step (a reply came): the replies text,
  // unless the countdown shows the counts, and the last run's result, unless
  // a run is stepping.
  void countsChanged();
  // The status texts were cleared: a finished run is reported as finished
  // no more.
  void forgetResult();
  // The counters of a fresh start.
  void resetCounters();

  RunState state() const { return state_; }
  // The countdown shows the counts (steps of 3 s or longer).
  bool countdownShown() const { return countdownShown_; }
  // The order being run.
  std::int16_t currentOrder() const { return currentOrder_; }
  // Passes of the current repeat stretch still to start; -1 when no repeat
  // is under way. One counter for the whole list.
  std::int32_t repeatCounter() const { return repeatCounter_; }
  // Seconds to the next measurement, as the countdown shows them.
  std::int32_t secondsToNext() const { return secondsToNext_; }
  // Times the current order has run.
  std::int32_t measurementsDone() const { return measurementsDone_; }

  platform::Timer& stepTimer() { return *stepTimer_; }
  platform::Timer& countdownTimer() { return *countdownTimer_; }

 private:
  class Orders;
  // The steps of a tick.
  void act(const Orders& orders, int row);
  void showProgress(std::int32_t count);
  // False when the list has no order after the current one.
  bool advance(const Orders& orders);
  void applyRepeat(const Orders& orders);
  void setUpOrder(const Orders& orders, int row);
  void setCountdown();
  void restartCountdown();
  void endRun();
  void finish(RunState state);
  void failRun(bool portLost = false);
  void fail(const std::string& message);

  SequencerWindow& window_;
  RunStatus& status_;
  std::unique_ptr<platform::Timer> stepTimer_;
  std::unique_ptr<platform::Timer> countdownTimer_;
  RunState state_ = RunState::Idle;
  // The result reported is a finished run: the last run reached the end of
  // its list, and neither a step of a later run nor a clearing of the status
  // texts has taken that report's place.
  bool resultFinished_ = false;
  bool countdownShown_ = false;
  std::int16_t currentOrder_ = 0;
  std::int32_t repeatCounter_ = 0;
  std::int32_t secondsToNext_ = 0;
  std::int32_t measurementsDone_ = 0;
  // A step that shows a message box lets the loop run on; a tick of the step
  // timer meanwhile must not start a second step inside the first.
  bool stepRunning_ = false;
  // The Ethernet link has been open since the current order switched to it.
  bool ethernetOpenedInOrder_ = false;
};

}  // namespace automatic
