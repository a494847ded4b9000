#include "platform/SerialDevice.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cwctype>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "platform/SerialReadTimeouts.h"
#include "platform/Win32Rules.h"
#include "platform/win32/Win32Text.h"

// A COM device opened for overlapped I/O without sharing (a second open gets
// ERROR_ACCESS_DENIED). The settings go into the device control record (DCB)
// whole. The driver has no timeouts (COMMTIMEOUTS all 0): read and write
// timeouts are carried out here, as on POSIX, so that a write handed to the
// driver without waiting is never cut off by a timeout nobody waits for.
//
// Received bytes are waited for with an overlapped read of one byte, armed
// by inputWaitHandle() and completed by the driver when a byte arrives (this
// also works where WaitCommEvent(EV_RXCHAR) never waits). Its byte is held
// here: readSome() returns it first, inputQueueCount() counts it, and its
// event stays signalled while it is held, as a descriptor stays readable.
// readSome() cancels a pending read before it reads, so no byte can overtake
// another. ClearCommError clears the driver's error flags, so every query
// adds them to running counts that takeLineErrors() and lineCounters() read.
//
// writeSome() hands up to an output queue's worth of bytes to the driver in
// an overlapped write that it does not wait for, from a copy kept here until
// the write ends: the pending write is the driver's queue, as a terminal's
// output queue is on POSIX, and the next one waits until it has gone.
//
// A driver whose adapter was pulled may never finish a cancelled transfer:
// every wait for one is bounded, and what such a transfer may still write
// into (its OVERLAPPED, its byte, its copy) is left allocated.

namespace platform {

namespace rules = win32rules;
static_assert(rules::kInvalidFunction == ERROR_INVALID_FUNCTION &&
              rules::kFileNotFound == ERROR_FILE_NOT_FOUND && rules::kPathNotFound == ERROR_PATH_NOT_FOUND &&
              rules::kAccessDenied == ERROR_ACCESS_DENIED && rules::kInvalidHandle == ERROR_INVALID_HANDLE &&
              rules::kBadUnit == ERROR_BAD_UNIT && rules::kNotReady == ERROR_NOT_READY &&
              rules::kBadCommand == ERROR_BAD_COMMAND && rules::kGenFailure == ERROR_GEN_FAILURE &&
              rules::kSharingViolation == ERROR_SHARING_VIOLATION &&
              rules::kLockViolation == ERROR_LOCK_VIOLATION && rules::kNotSupported == ERROR_NOT_SUPPORTED &&
              rules::kDevNotExist == ERROR_DEV_NOT_EXIST &&
              rules::kInvalidParameter == ERROR_INVALID_PARAMETER &&
              rules::kSemTimeout == ERROR_SEM_TIMEOUT && rules::kBusy == ERROR_BUSY &&
              rules::kOperationAborted == ERROR_OPERATION_ABORTED && rules::kIoDevice == ERROR_IO_DEVICE &&
              rules::kCounterTimeout == ERROR_COUNTER_TIMEOUT &&
              rules::kDeviceNotConnected == ERROR_DEVICE_NOT_CONNECTED &&
              rules::kUnableToRemoveReplaced == ERROR_UNABLE_TO_REMOVE_REPLACED &&
              rules::kUnableToMoveReplacement == ERROR_UNABLE_TO_MOVE_REPLACEMENT &&
              rules::kUnableToMoveReplacement2 == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2 &&
              rules::kPrivilegeNotHeld == ERROR_PRIVILEGE_NOT_HELD && rules::kTimeout == ERROR_TIMEOUT &&
              rules::kDeviceRemoved == ERROR_DEVICE_REMOVED);

namespace {

// How long a cancelled transfer may take to end before the device counts as
// gone.
constexpr DWORD kCancelWaitMs = 1000;

// All 0: a read waits until all its bytes are there (reads of more than one
// byte ask only for what the driver holds), a write until it is sent.
COMMTIMEOUTS commTimeouts() {
  return COMMTIMEOUTS{};
}

bool noModemLinesError(DWORD err) {
  return err == ERROR_NOT_SUPPORTED || err == ERROR_INVALID_FUNCTION || err == ERROR_INVALID_PARAMETER;
}

// Cancels an overlapped transfer and waits, bounded, for it to end; false
// when the driver never ended it.
bool cancelAndSettle(HANDLE handle, OVERLAPPED& ov) {
  CancelIoEx(handle, &ov);
  return WaitForSingleObject(ov.hEvent, kCancelWaitMs) == WAIT_OBJECT_0;
}

// The bytes an ended overlapped transfer moved, with err set when it failed.
DWORD result(HANDLE handle, OVERLAPPED& ov, DWORD& err) {
  DWORD moved = 0;
  err = GetOverlappedResult(handle, &ov, &moved, FALSE) ? 0 : GetLastError();
  return moved;
}

}  // namespace

SerialErrorKind classifySerialErrno(int err, SerialErrorPhase phase) {
  return rules::serialErrorKind(static_cast<DWORD>(err), phase);
}

SerialDeviceError::SerialDeviceError(const std::string& operation, int err, SerialErrorPhase phase)
    : std::runtime_error(operation + ": " + win32::errorText(static_cast<DWORD>(err))),
      errorCode_(err),
      kind_(classifySerialErrno(err, phase)) {}

struct SerialDevice::State {
  // The event thread arms and looks at the read while the user-interface
  // thread reads.
  std::mutex mutex;
  OVERLAPPED waitRead{};  // the one-byte read; its event is manual-reset
  bool reading = false;
  bool held = false;
  char heldByte = 0;
  DWORD readError = 0;    // the one-byte read failed: the device is gone
  OVERLAPPED transfer{};  // reads of the caller, one at a time
  std::mutex transferMutex;
  // The caller's writes: one at a time, from a copy that lives until the
  // write has ended.
  std::mutex writeMutex;
  OVERLAPPED write{};
  bool writing = false;
  std::string outgoing;
  // How much one write takes without waiting: the output queue's size, as a
  // terminal's output queue takes its few kilobytes.
  std::size_t queueSize = 4096;
  DWORD writeError = 0;  // a write not waited for failed: told by the next
  // A transfer the driver did not end after its cancel: its memory stays.
  std::atomic<bool> stuck{false};
  HANDLE hold = nullptr;      // the named hold on the device's name
  SerialLineCounters counts;  // errors ClearCommError reported, so far
  SerialLineCounters taken;   // counts at the previous takeLineErrors()

  // Takes the one-byte read's result when it has one; with cancel, a read
  // still pending is cancelled first, and a read that its cancel does not
  // end is a device gone. The mutex is held.
  void settle(HANDLE handle, bool cancel) {
    if (!reading) return;
    DWORD got = 0;
    if (cancel && !cancelAndSettle(handle, waitRead)) {
      stuck = true;
      if (readError == 0) readError = ERROR_DEVICE_NOT_CONNECTED;
      SetEvent(waitRead.hEvent);  // the event thread wakes to find it gone
      return;
    }
    if (!GetOverlappedResult(handle, &waitRead, &got, FALSE)) {
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

  // Takes the pending write's result once it has ended, waiting for that up
  // to waitMs; with cancel, a write still pending then is cancelled. The
  // write mutex is held. The bytes it sent.
  DWORD settleWrite(HANDLE handle, DWORD waitMs, bool cancel) {
    if (!writing) return 0;
    if (WaitForSingleObject(write.hEvent, waitMs) != WAIT_OBJECT_0) {
      if (!cancel) return 0;
      if (!cancelAndSettle(handle, write)) {
        stuck = true;
        writeError = ERROR_DEVICE_NOT_CONNECTED;
        return 0;
      }
    }
    writing = false;
    DWORD err = 0;
    const DWORD moved = result(handle, write, err);
    const rules::WriteResult r =
        rules::writeResult(err == 0, err, moved, static_cast<DWORD>(outgoing.size()));
    if (r.outcome == rules::WriteOutcome::Failed) writeError = err;
    return r.sent;
  }

  ~State() {
    if (hold) CloseHandle(hold);
    if (waitRead.hEvent) CloseHandle(waitRead.hEvent);
    if (transfer.hEvent) CloseHandle(transfer.hEvent);
    if (write.hEvent) CloseHandle(write.hEvent);
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
  constexpr SerialErrorPhase kOpening = SerialErrorPhase::AtOpen;
  if (!state_->hold) throw SerialDeviceError("open " + path, GetLastError(), kOpening);
  if (GetLastError() == ERROR_ALREADY_EXISTS)
    throw SerialDeviceError("open " + path, ERROR_ACCESS_DENIED, kOpening);
  HANDLE h = CreateFileW(win32::widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE) throw SerialDeviceError("open " + path, GetLastError(), kOpening);
  auto fail = [&](const std::string& what, DWORD err) {
    CloseHandle(h);
    throw SerialDeviceError(what + " " + path, err, kOpening);
  };
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(h, &dcb)) fail("open", GetLastError());  // no COM device
  COMMTIMEOUTS timeouts = commTimeouts();
  if (!SetCommTimeouts(h, &timeouts)) fail("SetCommTimeouts", GetLastError());
  state_->waitRead.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  state_->transfer.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  state_->write.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!state_->waitRead.hEvent || !state_->transfer.hEvent || !state_->write.hEvent)
    fail("CreateEvent", GetLastError());
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
    int left = state_->stuck ? 0 : outputQueueCount();
    for (int still = 0; left > 0 && still < 500; still += 10) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      const int now = outputQueueCount();
      if (now < left) still = 0;
      left = now;
    }
  } catch (const SerialDeviceError&) {
  }
  {
    std::lock_guard lock(state_->writeMutex);
    state_->settleWrite(handle_, 0, true);  // what is still held up is given up
  }
  PurgeComm(handle_, PURGE_RXABORT | PURGE_RXCLEAR);
  CloseHandle(handle_);
  // The driver may still write into what a transfer it never ended points at.
  if (state_->stuck) (void)state_.release();
}

void SerialDevice::applyLineSettings(const SerialLineSettings& s) {
  if (s.baudRate <= 0 || s.dataBits < 5 || s.dataBits > 8)
    throw SerialDeviceError("line settings", ERROR_INVALID_PARAMETER);
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (!GetCommState(handle_, &dcb)) throw SerialDeviceError("GetCommState", GetLastError());
  const rules::Dcb want = rules::dcbFor(s);
  dcb.BaudRate = want.BaudRate;
  dcb.fBinary = want.fBinary;
  dcb.fParity = want.fParity;
  dcb.fOutxCtsFlow = want.fOutxCtsFlow;
  dcb.fOutxDsrFlow = want.fOutxDsrFlow;
  dcb.fDtrControl = want.fDtrControl;
  dcb.fDsrSensitivity = want.fDsrSensitivity;
  dcb.fTXContinueOnXoff = want.fTXContinueOnXoff;
  dcb.fOutX = want.fOutX;
  dcb.fInX = want.fInX;
  dcb.fErrorChar = want.fErrorChar;
  dcb.fNull = want.fNull;
  dcb.fRtsControl = want.fRtsControl;
  dcb.fAbortOnError = want.fAbortOnError;
  dcb.XonLim = want.XonLim;
  dcb.XoffLim = want.XoffLim;
  dcb.ByteSize = want.ByteSize;
  dcb.Parity = want.Parity;
  dcb.StopBits = want.StopBits;
  dcb.XonChar = want.XonChar;
  dcb.XoffChar = want.XoffChar;
  dcb.ErrorChar = want.ErrorChar;
  dcb.EofChar = want.EofChar;
  dcb.EvtChar = want.EvtChar;
  if (!SetCommState(handle_, &dcb)) throw SerialDeviceError("SetCommState", GetLastError());
  discardNull_ = s.discardNull;
}

// Checks that the device still takes its (empty) driver timeouts.
void SerialDevice::setTimeouts(const SerialTimeouts& timeouts) {
  COMMTIMEOUTS c = commTimeouts();
  if (!SetCommTimeouts(handle_, &c)) throw SerialDeviceError("SetCommTimeouts", GetLastError());
  timeouts_ = timeouts;
}

void SerialDevice::setQueueSizes(std::int32_t input, std::int32_t output) {
  if (input < 0 || output < 0) throw SerialDeviceError("queue sizes", ERROR_INVALID_PARAMETER);
  // Not under a pending read: a driver may wait for it or refuse. Its byte,
  // if it took one, stays held; the event thread arms the next read.
  std::lock_guard lock(state_->mutex);
  state_->settle(handle_, true);
  if (!SetupComm(handle_, static_cast<DWORD>(input), static_cast<DWORD>(output)))
    throw SerialDeviceError("SetupComm", GetLastError());
  std::lock_guard writeLock(state_->writeMutex);
  state_->queueSize = output > 0 ? static_cast<std::size_t>(output) : 4096;
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
        if (WaitForSingleObject(s.transfer.hEvent, 1000) != WAIT_OBJECT_0 &&
            !cancelAndSettle(handle_, s.transfer)) {
          s.stuck = true;
          throw SerialDeviceError("read", ERROR_DEVICE_NOT_CONNECTED);
        }
        got = result(handle_, s.transfer, err);
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
  if (size == 0) return 0;
  State& s = *state_;
  std::lock_guard lock(s.writeMutex);
  if (s.stuck) throw SerialDeviceError("write", ERROR_DEVICE_NOT_CONNECTED);
  if (s.writing) {
    s.settleWrite(handle_, 0, false);
    if (s.writing) return 0;  // the driver's queue is full until it ends
  }
  if (const DWORD err = std::exchange(s.writeError, 0)) throw SerialDeviceError("write", err);
  const DWORD asked = static_cast<DWORD>(std::min(size, s.queueSize));
  s.outgoing.assign(data, asked);
  ResetEvent(s.write.hEvent);
  if (WriteFile(handle_, s.outgoing.data(), asked, nullptr, &s.write)) {
    s.writing = true;
    const DWORD sent = s.settleWrite(handle_, 0, false);
    if (const DWORD err = std::exchange(s.writeError, 0)) throw SerialDeviceError("write", err);
    return sent;
  }
  const DWORD err = GetLastError();
  if (err == ERROR_IO_PENDING) {
    s.writing = true;  // taken: it goes out while the caller goes on
    return asked;
  }
  if (rules::writeResult(false, err, 0, asked).outcome == rules::WriteOutcome::Failed)
    throw SerialDeviceError("write", err);
  return 0;
}

// As on POSIX: hands the bytes over a queue's worth at a time, waiting for
// the driver to send the previous one, until all are taken or the write
// timeouts end the wait (then short: what was taken stays taken).
std::size_t SerialDevice::write(const char* data, std::size_t size) {
  const bool limited = timeouts_.writeTotalMultiplier != 0 || timeouts_.writeTotalConstant != 0;
  const std::uint64_t totalMs =
      std::uint64_t{timeouts_.writeTotalMultiplier} * size + timeouts_.writeTotalConstant;
  const auto deadline = SerialClock::now() + std::chrono::milliseconds(totalMs);
  auto left = [&]() -> DWORD {
    if (!limited) return INFINITE;
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(deadline - SerialClock::now()).count();
    return ms <= 0 ? 0 : static_cast<DWORD>(std::min<long long>(ms, 1 << 30));
  };
  State& s = *state_;
  std::size_t done = 0;
  while (done < size) {
    const std::size_t taken = writeSome(data + done, size - done);
    done += taken;
    if (done == size) break;
    std::lock_guard lock(s.writeMutex);
    if (!s.writing) {
      if (taken == 0) break;  // refused at once: a short write
      continue;
    }
    s.settleWrite(handle_, left(), false);
    if (s.writing) break;  // the timeouts ended the wait
  }
  return done;
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
