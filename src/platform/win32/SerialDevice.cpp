#include "platform/SerialDevice.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cwctype>
#include <mutex>
#include <thread>

#include "platform/SerialReadTimeouts.h"
#include "platform/win32/Win32Text.h"

// A COM device opened for overlapped I/O without sharing (a second open gets
// ERROR_ACCESS_DENIED). The settings go into the device control record (DCB)
// whole; write timeouts are the driver's (COMMTIMEOUTS), read timeouts are
// carried out here over reads that never wait, as on POSIX.
//
// Received bytes are waited for with an overlapped read of one byte, armed
// by inputWaitHandle() and completed by the driver when a byte arrives (this
// also works where WaitCommEvent(EV_RXCHAR) never waits). Its byte is held
// here: readSome() returns it first, inputQueueCount() counts it, and its
// event stays signalled while it is held, as a descriptor stays readable.
// readSome() cancels a pending read before it reads, so no byte can overtake
// another. ClearCommError clears the driver's error flags, so every query
// adds them to running counts that takeLineErrors() and lineCounters() read.

namespace platform {

namespace {

// Read timeouts {0,0,0}: a read waits until all its bytes are there. Reads of
// more than one byte ask only for what the driver holds.
COMMTIMEOUTS commTimeouts(const SerialTimeouts& t) {
  COMMTIMEOUTS c{};
  c.WriteTotalTimeoutMultiplier = t.writeTotalMultiplier;
  c.WriteTotalTimeoutConstant = t.writeTotalConstant;
  return c;
}

bool noModemLinesError(DWORD err) {
  return err == ERROR_NOT_SUPPORTED || err == ERROR_INVALID_FUNCTION || err == ERROR_INVALID_PARAMETER;
}

// Waits for an overlapped transfer; the bytes moved, or 0 with err set.
DWORD finish(HANDLE handle, OVERLAPPED& ov, DWORD& err) {
  DWORD moved = 0;
  err = GetOverlappedResult(handle, &ov, &moved, TRUE) ? 0 : GetLastError();
  return moved;
}

}  // namespace

SerialErrorKind classifySerialErrno(int err) {
  switch (static_cast<DWORD>(err)) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BAD_UNIT:
      return SerialErrorKind::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return SerialErrorKind::InUse;
    case ERROR_PRIVILEGE_NOT_HELD:
      return SerialErrorKind::PermissionDenied;
    case ERROR_INVALID_FUNCTION:
      return SerialErrorKind::NotATerminal;
    case ERROR_NOT_SUPPORTED:
    case ERROR_INVALID_PARAMETER:
      return SerialErrorKind::Unsupported;
    case ERROR_INVALID_HANDLE:
    case ERROR_GEN_FAILURE:
    case ERROR_BAD_COMMAND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_OPERATION_ABORTED:
      return SerialErrorKind::Gone;
    default:
      return SerialErrorKind::Other;
  }
}

SerialDeviceError::SerialDeviceError(const std::string& operation, int err)
    : std::runtime_error(operation + ": " + win32::errorText(static_cast<DWORD>(err))),
      errorCode_(err),
      kind_(classifySerialErrno(err)) {}

struct SerialDevice::State {
  // The event thread arms and looks at the read while the user-interface
  // thread reads.
  std::mutex mutex;
  OVERLAPPED waitRead{};  // the one-byte read; its event is manual-reset
  bool reading = false;
  bool held = false;
  char heldByte = 0;
  DWORD readError = 0;    // the one-byte read failed: the device is gone
  OVERLAPPED transfer{};  // reads and writes of the caller, one at a time
  std::mutex transferMutex;
  HANDLE hold = nullptr;      // the named hold on the device's name
  SerialLineCounters counts;  // errors ClearCommError reported, so far
  SerialLineCounters taken;   // counts at the previous takeLineErrors()

  // Takes the one-byte read's result when it has one; with cancel, a read
  // still pending is cancelled first. The mutex is held.
  void settle(HANDLE handle, bool cancel) {
    if (!reading) return;
    DWORD got = 0;
    if (cancel) CancelIoEx(handle, &waitRead);
    if (!GetOverlappedResult(handle, &waitRead, &got, cancel ? TRUE : FALSE)) {
      const DWORD err = GetLastError();
      if (err == ERROR_IO_INCOMPLETE) return;
      reading = false;
      if (err != ERROR_OPERATION_ABORTED) readError = err;
      if (readError == 0) ResetEvent(waitRead.hEvent);
      return;
    }
    reading = false;
    held = got == 1;
    if (!held) ResetEvent(waitRead.hEvent);
  }

  ~State() {
    if (hold) CloseHandle(hold);
    if (waitRead.hEvent) CloseHandle(waitRead.hEvent);
    if (transfer.hEvent) CloseHandle(transfer.hEvent);
  }
};

namespace {

// ClearCommError, its error flags added to the running counts.
COMSTAT queryComm(HANDLE handle, SerialLineCounters& counts) {
  DWORD errors = 0;
  COMSTAT stat{};
  if (!ClearCommError(handle, &errors, &stat)) throw SerialDeviceError("ClearCommError", GetLastError());
  if (errors & CE_FRAME) ++counts.frame;
  if (errors & CE_RXPARITY) ++counts.parity;
  if (errors & CE_OVERRUN) ++counts.overrun;
  if (errors & CE_RXOVER) ++counts.bufferOverrun;
  if (errors & CE_BREAK) ++counts.breaks;
  return stat;
}

}  // namespace

SerialDevice::SerialDevice(const std::string& path) : path_(path), state_(std::make_unique<State>()) {
  // The driver refuses a second open of a COM port, but a device that Wine
  // maps to a pty does not: a named hold on the device's name, taken first,
  // makes every second open in this session "in use" alike.
  std::wstring device = win32::widen(path);
  for (wchar_t& c : device) c = c == L'\\' ? L'/' : towlower(c);  // no backslash in a kernel object's name
  state_->hold = CreateMutexW(nullptr, FALSE, (L"Local\\terso-serial-" + device).c_str());
  if (!state_->hold) throw SerialDeviceError("open " + path, GetLastError());
  if (GetLastError() == ERROR_ALREADY_EXISTS) throw SerialDeviceError("open " + path, ERROR_ACCESS_DENIED);
  HANDLE h = CreateFileW(win32::widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw SerialDeviceError("open " + path, GetLastError());
  auto fail = [&](const std::string& what, DWORD err) {
    CloseHandle(h);
    throw SerialDeviceError(what + " " + path, err);
  };
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) fail("open", GetLastError());  // no COM device
  COMMTIMEOUTS timeouts = commTimeouts(timeouts_);
  if (!SetCommTimeouts(h, &timeouts)) fail("SetCommTimeouts", GetLastError());
  state_->waitRead.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  state_->transfer.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!state_->waitRead.hEvent || !state_->transfer.hEvent) fail("CreateEvent", GetLastError());
  handle_ = h;
}

SerialDevice::~SerialDevice() {
  if (handle_ == kNoHandle) return;
  {
    std::lock_guard lock(state_->mutex);
    state_->settle(handle_, true);
  }
  // What was written goes out first: the wait ends once the output queue has
  // not moved for half a second (held up by flow control or a dead line).
  try {
    int left = outputQueueCount();
    for (int still = 0; left > 0 && still < 500; still += 10) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      const int now = outputQueueCount();
      if (now < left) still = 0;
      left = now;
    }
  } catch (const SerialDeviceError&) {
  }
  PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR);
  CloseHandle(handle_);
}

void SerialDevice::applyLineSettings(const SerialLineSettings& s) {
  if (s.baudRate <= 0 || s.dataBits < 5 || s.dataBits > 8)
    throw SerialDeviceError("line settings", ERROR_INVALID_PARAMETER);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle_, &dcb)) throw SerialDeviceError("GetCommState", GetLastError());
  dcb.BaudRate = static_cast<DWORD>(s.baudRate);
  dcb.fBinary = TRUE;
  dcb.fParity = s.parityCheck;
  dcb.fOutxCtsFlow = s.outCtsFlow;
  dcb.fOutxDsrFlow = s.outDsrFlow;
  dcb.fDtrControl = s.dtr == SerialDtr::On          ? DTR_CONTROL_ENABLE
                    : s.dtr == SerialDtr::Handshake ? DTR_CONTROL_HANDSHAKE
                                                    : DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = s.dsrSensitivity;
  dcb.fTXContinueOnXoff = s.txContinueOnXoff;
  dcb.fOutX = s.xonXoffOut;
  dcb.fInX = s.xonXoffIn;
  dcb.fErrorChar = s.parityCheck && s.parityReplace;
  dcb.fNull = s.discardNull;
  dcb.fRtsControl = s.rts == SerialRts::On          ? RTS_CONTROL_ENABLE
                    : s.rts == SerialRts::Handshake ? RTS_CONTROL_HANDSHAKE
                    : s.rts == SerialRts::Toggle    ? RTS_CONTROL_TOGGLE
                                                    : RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = FALSE;
  dcb.XonLim = static_cast<WORD>(std::clamp<std::int32_t>(s.xonLimit, 0, 0xFFFF));
  dcb.XoffLim = static_cast<WORD>(std::clamp<std::int32_t>(s.xoffLimit, 0, 0xFFFF));
  dcb.ByteSize = static_cast<BYTE>(s.dataBits);
  static constexpr BYTE kParity[] = {NOPARITY, ODDPARITY, EVENPARITY, MARKPARITY, SPACEPARITY};
  dcb.Parity = kParity[static_cast<int>(s.parity)];
  static constexpr BYTE kStopBits[] = {ONESTOPBIT, ONE5STOPBITS, TWOSTOPBITS};
  dcb.StopBits = kStopBits[static_cast<int>(s.stopBits)];
  dcb.XonChar = static_cast<char>(s.xonChar);
  dcb.XoffChar = static_cast<char>(s.xoffChar);
  dcb.ErrorChar = static_cast<char>(s.replaceChar);
  dcb.EofChar = 0;
  dcb.EvtChar = static_cast<char>(s.eventChar);
  if (!SetCommState(handle_, &dcb)) throw SerialDeviceError("SetCommState", GetLastError());
  discardNull_ = s.discardNull;
}

void SerialDevice::setTimeouts(const SerialTimeouts& timeouts) {
  COMMTIMEOUTS c = commTimeouts(timeouts);
  if (!SetCommTimeouts(handle_, &c)) throw SerialDeviceError("SetCommTimeouts", GetLastError());
  timeouts_ = timeouts;
}

void SerialDevice::setQueueSizes(std::int32_t input, std::int32_t output) {
  if (input < 0 || output < 0) throw SerialDeviceError("queue sizes", ERROR_INVALID_PARAMETER);
  if (!SetupComm(handle_, static_cast<DWORD>(input), static_cast<DWORD>(output)))
    throw SerialDeviceError("SetupComm", GetLastError());
}

NativeHandle SerialDevice::inputWaitHandle() {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  s.settle(handle_, false);
  if (s.reading || s.held || s.readError != 0) return s.waitRead.hEvent;
  ResetEvent(s.waitRead.hEvent);
  if (ReadFile(handle_, &s.heldByte, 1, nullptr, &s.waitRead)) {
    s.reading = true;  // done at once; settled on the next look
  } else if (const DWORD err = GetLastError(); err == ERROR_IO_PENDING) {
    s.reading = true;
  } else {
    s.readError = err;
    SetEvent(s.waitRead.hEvent);
  }
  return s.waitRead.hEvent;
}

std::size_t SerialDevice::readSome(char* buffer, std::size_t size) {
  if (size == 0) return 0;
  State& s = *state_;
  std::size_t count = 0;
  {
    std::lock_guard lock(s.mutex);
    s.settle(handle_, true);
    if (s.readError != 0) throw SerialDeviceError("read", s.readError);
    if (s.held) {
      buffer[count++] = s.heldByte;
      s.held = false;
      ResetEvent(s.waitRead.hEvent);
    }
    const COMSTAT stat = queryComm(handle_, s.counts);
    const DWORD want = static_cast<DWORD>(std::min<std::size_t>(size - count, stat.cbInQue));
    if (want > 0) {
      std::lock_guard transferLock(s.transferMutex);
      DWORD got = 0;
      DWORD err = 0;
      if (!ReadFile(handle_, buffer + count, want, nullptr, &s.transfer)) err = GetLastError();
      if (err == 0 || err == ERROR_IO_PENDING) {
        // The driver holds these bytes; the bound only guards against a
        // driver that counted more than it hands out.
        if (WaitForSingleObject(s.transfer.hEvent, 1000) != WAIT_OBJECT_0) CancelIoEx(handle_, &s.transfer);
        got = finish(handle_, s.transfer, err);
        if (err == ERROR_OPERATION_ABORTED) err = 0;
      }
      if (err != 0) throw SerialDeviceError("read", err);
      count += got;
    }
  }
  if (discardNull_) count = static_cast<std::size_t>(std::remove(buffer, buffer + count, '\0') - buffer);
  return count;
}

std::size_t SerialDevice::writeSome(const char* data, std::size_t size) {
  return write(data, size);
}

// The driver takes the bytes and finishes the write when they are sent or
// its total timeout has passed.
std::size_t SerialDevice::write(const char* data, std::size_t size) {
  if (size == 0) return 0;
  State& s = *state_;
  std::lock_guard lock(s.transferMutex);
  DWORD err = 0;
  if (!WriteFile(handle_, data, static_cast<DWORD>(size), nullptr, &s.transfer)) err = GetLastError();
  if (err == ERROR_TIMEOUT) return 0;
  if (err != 0 && err != ERROR_IO_PENDING) throw SerialDeviceError("write", err);
  const DWORD written = finish(handle_, s.transfer, err);
  // A write that its total timeout ended is short, not failed (Wine says
  // ERROR_TIMEOUT where Windows reports success with fewer bytes).
  if (err != 0 && err != ERROR_OPERATION_ABORTED && err != ERROR_TIMEOUT)
    throw SerialDeviceError("write", err);
  return written;
}

std::size_t SerialDevice::read(char* buffer, std::size_t size) {
  return readWithTimeouts(
      timeouts_, buffer, size, [this](char* at, std::size_t n) { return readSome(at, n); },
      [this](const SerialClock::time_point* deadline) {
        DWORD waitMs = INFINITE;
        if (deadline) {
          const auto left =
              std::chrono::ceil<std::chrono::milliseconds>(*deadline - SerialClock::now()).count();
          if (left <= 0) return false;
          waitMs = static_cast<DWORD>(std::min<long long>(left, 1 << 30));
        }
        return WaitForSingleObject(inputWaitHandle(), waitMs) == WAIT_OBJECT_0;
      });
}

void SerialDevice::purge(bool input, bool output) {
  if (!input && !output) return;
  DWORD flags = 0;
  if (input) {
    std::lock_guard lock(state_->mutex);
    state_->settle(handle_, true);
    if (state_->held) {
      state_->held = false;
      ResetEvent(state_->waitRead.hEvent);
    }
    flags |= PURGE_RXCLEAR;
  }
  if (output) flags |= PURGE_TXABORT | PURGE_TXCLEAR;
  if (!PurgeComm(handle_, flags)) throw SerialDeviceError("PurgeComm", GetLastError());
}

int SerialDevice::inputQueueCount() const {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  s.settle(handle_, false);
  if (s.readError != 0) throw SerialDeviceError("read", s.readError);
  return static_cast<int>(queryComm(handle_, s.counts).cbInQue) + (s.held ? 1 : 0);
}

int SerialDevice::outputQueueCount() const {
  std::lock_guard lock(state_->mutex);
  return static_cast<int>(queryComm(handle_, state_->counts).cbOutQue);
}

SerialLineErrors SerialDevice::takeLineErrors() {
  State& s = *state_;
  std::lock_guard lock(s.mutex);
  queryComm(handle_, s.counts);
  const SerialLineCounters& now = s.counts;
  SerialLineErrors errors;
  errors.frame = now.frame != s.taken.frame;
  errors.parity = now.parity != s.taken.parity;
  errors.overrun = now.overrun != s.taken.overrun;
  errors.bufferOverrun = now.bufferOverrun != s.taken.bufferOverrun;
  errors.breakReceived = now.breaks != s.taken.breaks;
  s.taken = now;
  return errors;
}

// A device whose driver has no modem lines (a pty under Wine answers error
// 50) reports all lines off, as on POSIX.
SerialModemLines SerialDevice::modemLines() const {
  SerialModemLines lines;
  DWORD status = 0;
  if (!GetCommModemStatus(handle_, &status)) return lines;
  lines.cts = status & MS_CTS_ON;
  lines.dsr = status & MS_DSR_ON;
  lines.ring = status & MS_RING_ON;
  lines.rlsd = status & MS_RLSD_ON;
  return lines;
}

bool SerialDevice::hasModemLines() const {
  DWORD status = 0;
  return GetCommModemStatus(handle_, &status) != 0;
}

bool SerialDevice::lineCounters(SerialLineCounters& counters) const {
  std::lock_guard lock(state_->mutex);
  queryComm(handle_, state_->counts);
  counters = state_->counts;
  return true;
}

// Ignored by a device without modem lines.
static void escape(HANDLE handle, DWORD function, const char* name) {
  if (EscapeCommFunction(handle, function)) return;
  const DWORD err = GetLastError();
  if (!noModemLinesError(err)) throw SerialDeviceError(name, static_cast<int>(err));
}

void SerialDevice::setDtr(bool on) {
  escape(handle_, on ? SETDTR : CLRDTR, on ? "SETDTR" : "CLRDTR");
}

void SerialDevice::setRts(bool on) {
  escape(handle_, on ? SETRTS : CLRRTS, on ? "SETRTS" : "CLRRTS");
}

}  // namespace platform
