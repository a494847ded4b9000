#pragma once
// What the automatic measurement needs of the main window: the controls it
// shows the run in, the two timers it drives, and the few operations of a
// step (the one send path, the link switch, the reply counters, the capture
// file, the notification, the error message). The main window implements it.
#include <cstdint>
#include <memory>
#include <string>

#include "platform/EventLoop.h"
#include "serial/ComTypes.h"
#include "ui/Control.h"
#include "ui/Memo.h"
#include "ui/StringGrid.h"

namespace automatic {

// The main window's controls and timers, by the names the window gives them.
struct SequencerControls {
  ui::Button& btnOpenPort;
  // "Stop": visible while a run is going.
  ui::Button& Button6;
  // The send line: holds the current order's text.
  ui::Edit& Edit1;
  ui::Label& StaticText5;
  ui::Label& StaticText6;
  ui::Label& StaticText7;
  ui::Memo& Memo1;
  // The step timer and the countdown; the window creates them after it has
  // built the sequencer.
  std::unique_ptr<platform::Timer>& Timer1;
  std::unique_ptr<platform::Timer>& Timer3;
};

class SequencerWindow {
 public:
  virtual ~SequencerWindow() = default;

  // The order list: the orders editor's grid, read afresh at every use;
  // null while there is no editor.
  virtual const ui::StringGrid* orderGrid() const = 0;

  // The one send path: sends the text of Edit1.
  virtual void sendOrder() = 0;
  virtual std::int32_t replyCount() const = 0;
  virtual std::int32_t sentCount() const = 0;
  // Both counters to 0, with no reply awaited before the next send.
  virtual void resetReplyCounts() = 0;

  // The readings: a run begins; an order is about to be sent.
  virtual void runStarted() = 0;
  virtual void orderSending(std::int16_t order, std::int32_t measurementsDone) = 0;

  // The capture file's name (empty: none), and a "file" order naming another.
  virtual std::string captureFileName() const = 0;
  virtual void chooseCaptureFile(const std::string& name) = 0;
  // Shows the notification window when it is not showing.
  virtual void showNotification() = 0;
  // The message box of a failed run, captioned "Błąd".
  virtual void showError(const std::string& text) = 0;

  // The serial port is open as port at speed.
  virtual bool serialLinkIs(const std::string& port, serial::TBaudRate speed) const = 0;
  // Closes the Ethernet link and the serial port and opens the port at
  // speed; a port that cannot be opened raises serial::EComPort.
  virtual void switchToSerial(const std::string& port, serial::TBaudRate speed) = 0;
  // The link is the Ethernet one to host and port, and it is not closed.
  virtual bool ethernetLinkIs(const std::string& host, std::int32_t port) const = 0;
  // Closes both links and starts connecting to host and port.
  virtual void switchToEthernet(const std::string& host, std::int32_t port) = 0;
  // The serial port's name back to the one remembered; a failure to reopen
  // the port under it is reported, never raised.
  virtual void restoreSavedPort() = 0;
  virtual std::string serialPortName() const = 0;
  // The link is the serial port and its device has gone away.
  virtual bool serialDeviceGone() const = 0;
};

}  // namespace automatic
