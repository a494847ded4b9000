#pragma once
// One serial device behind a small interface, opened defensively with an
// exclusive hold. On POSIX a terminal device: O_NOCTTY|O_NONBLOCK|O_CLOEXEC,
// TIOCEXCL and flock (a second open fails with EBUSY even for root), raw
// termios; EINTR is retried and EAGAIN is no error. On Windows a COM device
// opened for overlapped I/O without sharing. Every failure throws
// SerialDeviceError carrying the system's error code (errno on POSIX,
// GetLastError on Windows).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/NativeHandle.h"

namespace platform {

// What went wrong, decided from the system's error code in one place
// (classifySerialErrno).
enum class SerialErrorKind { NotFound, PermissionDenied, InUse, NotATerminal, Unsupported, Gone, Other };
// The same code can mean another thing once the device is open: on Windows a
// pulled adapter answers "access denied", which at open means "in use".
enum class SerialErrorPhase { AtOpen, WhileOpen };

SerialErrorKind classifySerialErrno(int err, SerialErrorPhase phase = SerialErrorPhase::AtOpen);

class SerialDeviceError : public std::runtime_error {
 public:
  SerialDeviceError(const std::string& operation, int err,
                    SerialErrorPhase phase = SerialErrorPhase::WhileOpen);
  // The system's error code of the failed call.
  int errorCode() const { return errorCode_; }
  SerialErrorKind kind() const { return kind_; }

 private:
  int errorCode_;
  SerialErrorKind kind_;
};

enum class SerialParity { None, Odd, Even, Mark, Space };
enum class SerialStopBits { One, OneAndHalf, Two };
enum class SerialDtr { Off, On, Handshake };
enum class SerialRts { Off, On, Handshake, Toggle };

// The line settings a port asks for (speed, framing, handshaking, special
// characters). Which of them a terminal device can carry out is said in
// SerialDevice.cpp.
struct SerialLineSettings {
  std::int32_t baudRate = 9600;
  int dataBits = 8;  // 5 to 8
  SerialStopBits stopBits = SerialStopBits::One;
  SerialParity parity = SerialParity::None;
  bool parityCheck = false;
  bool parityReplace = false;
  unsigned char replaceChar = 0;
  bool outCtsFlow = false;
  bool outDsrFlow = false;
  SerialDtr dtr = SerialDtr::Off;
  SerialRts rts = SerialRts::Off;
  bool dsrSensitivity = false;
  bool txContinueOnXoff = false;
  bool xonXoffOut = false;
  bool xonXoffIn = false;
  unsigned char xonChar = 17;
  unsigned char xoffChar = 19;
  bool discardNull = false;
  unsigned char eventChar = 0;
  std::int32_t xonLimit = 256;
  std::int32_t xoffLimit = 256;
};

// Transfer timeouts in milliseconds; 0xFFFFFFFF is "the largest value".
struct SerialTimeouts {
  std::uint32_t readInterval = 0xFFFFFFFFu;
  std::uint32_t readTotalMultiplier = 0;
  std::uint32_t readTotalConstant = 0;
  std::uint32_t writeTotalMultiplier = 100;
  std::uint32_t writeTotalConstant = 1000;
};

// Line errors counted by the driver since the previous query.
struct SerialLineErrors {
  bool frame = false;
  bool parity = false;
  bool overrun = false;        // the UART lost bytes
  bool bufferOverrun = false;  // the driver's input queue was full
  bool breakReceived = false;
  bool any() const { return frame || parity || overrun || bufferOverrun || breakReceived; }
};

// The driver's running error counts (TIOCGICOUNT; on Windows the errors
// ClearCommError reported, counted by the device).
struct SerialLineCounters {
  long long frame = 0, parity = 0, overrun = 0, bufferOverrun = 0, breaks = 0;
  bool operator==(const SerialLineCounters&) const = default;
};

struct SerialModemLines {
  bool cts = false;
  bool dsr = false;
  bool ring = false;
  bool rlsd = false;
};

class SerialDevice {
 public:
  // Opens an existing terminal device with an exclusive hold. Throws
  // SerialDeviceError (EBUSY when someone holds it, ENOTTY when the path is no
  // terminal).
  explicit SerialDevice(const std::string& path);
  ~SerialDevice();
  SerialDevice(const SerialDevice&) = delete;
  SerialDevice& operator=(const SerialDevice&) = delete;

  NativeHandle handle() const { return handle_; }
  const std::string& path() const { return path_; }

  // termios from termiosFor(), the speed (custom speeds through BOTHER on
  // Linux), then the DTR and RTS lines. A device without modem lines (a pty)
  // keeps the rest.
  void applyLineSettings(const SerialLineSettings& settings);
  // Kept for read() and write(); a terminal device has no timeouts of its own
  // for non-blocking transfers.
  void setTimeouts(const SerialTimeouts& timeouts);
  // The driver's queues have fixed sizes on POSIX; only the sizes' sanity is
  // checked (EINVAL for negative sizes).
  void setQueueSizes(std::int32_t input, std::int32_t output);

  // What the event thread waits on for received bytes: the descriptor on
  // POSIX; on Windows the event of an overlapped one-byte read, started now
  // unless one is pending or its byte is still held. A held byte comes first
  // from readSome() and counts in inputQueueCount().
  NativeHandle inputWaitHandle();

  // Without waiting: the bytes already received (0 when none). Throws when
  // the device is gone.
  std::size_t readSome(char* buffer, std::size_t size);
  // Without waiting: the bytes the driver took (0 when its queue is full).
  std::size_t writeSome(const char* data, std::size_t size);
  // Waits for the transfer as the timeouts say and returns the bytes moved;
  // a write is short when its total timeout ended it.
  std::size_t read(char* buffer, std::size_t size);
  std::size_t write(const char* data, std::size_t size);

  // Discards what waits in the input and/or output queue.
  void purge(bool input, bool output);
  int inputQueueCount() const;
  int outputQueueCount() const;

  // Errors counted since the previous call (TIOCGICOUNT deltas); a device
  // without counters (a pty) has none.
  SerialLineErrors takeLineErrors();
  // TIOCMGET; a device without modem lines (a pty) reports all lines off.
  SerialModemLines modemLines() const;
  // For a watcher on another thread: whether the device has modem lines at
  // all, and the running error counts read without clearing anything (false
  // when the device keeps none). Both only query the driver.
  bool hasModemLines() const;
  bool lineCounters(SerialLineCounters& counters) const;
  // TIOCMBIS/TIOCMBIC; ignored by a device without modem lines.
  void setDtr(bool on);
  void setRts(bool on);

 private:
  // What each system's side keeps beside the handle: the driver's last error
  // counts; on Windows also the pending read and the byte it took.
  struct State;

  NativeHandle handle_ = kNoHandle;
  std::string path_;
  SerialTimeouts timeouts_;
  bool discardNull_ = false;
  std::unique_ptr<State> state_;
};

}  // namespace platform
