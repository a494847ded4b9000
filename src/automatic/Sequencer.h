#pragma once
// The automatic measurement: the sequencer that runs the order list, and the
// rules by which it reads an order row: the time of an order, the serial
// speed it names, the countdown text and the folder part of a capture file
// name.
#include <cstdint>
#include <string>

#include "automatic/SequencerWindow.h"
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

// The folder part of a file name: up to and including its last "\", ":" or
// "/"; empty when it has none.
std::string FolderPart(const std::string& name);

// Runs the order list of the orders editor by the orders' numbers, one step
// per tick of Timer1, switching the link each order names, and stops on the
// first bad value with a message naming the order. The list is read from the
// editor's grid at every step, never copied. The main window owns it and
// forwards its handlers here.
class Sequencer {
 public:
  Sequencer(SequencerWindow& window, SequencerControls controls);
  Sequencer(const Sequencer&) = delete;
  Sequencer& operator=(const Sequencer&) = delete;

  // "Pomiar Automatyczny": a run from order 1, every counter reset.
  void start();
  // A tick of Timer1: act on the current order, count it, advance when its
  // count is reached.
  void step();
  // A tick of Timer3: one second less to the next measurement.
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
  // The countdown starts again from the step timer's interval.
  void restartCountdown();

  // The order being run.
  std::int16_t CurrentOrder = 0;
  // Passes of the current repeat stretch still to start; -1 when no repeat
  // is under way. One counter for the whole list.
  std::int32_t RepeatCounter = 0;
  // Seconds to the next measurement, as the countdown shows them.
  std::int32_t SecondsToNext = 0;
  // Times the current order has run.
  std::int32_t MeasurementsDone = 0;

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
  void endRun();
  void failRun(bool portLost = false);
  std::string replies() const;

  SequencerWindow& window_;
  SequencerControls c_;
  // A step that shows a message box lets the loop run on; a tick of Timer1
  // meanwhile must not start a second step inside the first.
  bool stepRunning_ = false;
  // The Ethernet link has been open since the current order switched to it.
  bool ethernetOpenedInOrder_ = false;
};

}  // namespace automatic
