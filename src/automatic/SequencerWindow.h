#pragma once
// What the automatic measurement needs of the program around it: the order
// list, the one send path, the reply counters, the capture file and the link
// switch. The main window implements it; so can a run without a window. What
// the run reports goes to RunStatus.
#include <cstdint>
#include <string>

#include "serial/ComTypes.h"
#include "ui/StringGrid.h"

namespace automatic {

class SequencerWindow {
 public:
  virtual ~SequencerWindow() = default;

  // The order list: the orders editor's grid, read afresh at every use;
  // null while there is no editor.
  virtual const ui::StringGrid* orderGrid() const = 0;

  // The one send path: sends the current order's text (the send line).
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
