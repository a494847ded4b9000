#pragma once
// Decisions of the Win32 serial device and file calls that need no system
// call: what goes into the device control record, what a write's result
// means, what an error code says about the device, and what to do after a
// failed replace. Kept apart from win32/ so that the tests of every system
// run them; the Win32 error codes are spelled out here as the documented
// numbers (win32/ checks them against <windows.h>).
#include <cstdint>

#include "platform/SerialDevice.h"

namespace platform::win32rules {

// Win32 error codes these decisions look at.
inline constexpr std::uint32_t kInvalidFunction = 1;
inline constexpr std::uint32_t kFileNotFound = 2;
inline constexpr std::uint32_t kPathNotFound = 3;
inline constexpr std::uint32_t kAccessDenied = 5;
inline constexpr std::uint32_t kInvalidHandle = 6;
inline constexpr std::uint32_t kBadUnit = 20;
inline constexpr std::uint32_t kNotReady = 21;
inline constexpr std::uint32_t kBadCommand = 22;
inline constexpr std::uint32_t kGenFailure = 31;
inline constexpr std::uint32_t kSharingViolation = 32;
inline constexpr std::uint32_t kLockViolation = 33;
inline constexpr std::uint32_t kNotSupported = 50;
inline constexpr std::uint32_t kDevNotExist = 55;
inline constexpr std::uint32_t kInvalidParameter = 87;
inline constexpr std::uint32_t kSemTimeout = 121;
inline constexpr std::uint32_t kBusy = 170;
inline constexpr std::uint32_t kOperationAborted = 995;
inline constexpr std::uint32_t kIoDevice = 1117;
inline constexpr std::uint32_t kCounterTimeout = 1121;
inline constexpr std::uint32_t kDeviceNotConnected = 1167;
inline constexpr std::uint32_t kUnableToRemoveReplaced = 1175;
inline constexpr std::uint32_t kUnableToMoveReplacement = 1176;
inline constexpr std::uint32_t kUnableToMoveReplacement2 = 1177;
inline constexpr std::uint32_t kPrivilegeNotHeld = 1314;
inline constexpr std::uint32_t kTimeout = 1460;
inline constexpr std::uint32_t kDeviceRemoved = 1617;

// The device control record's fields as SetCommState takes them (the codes
// of Parity, StopBits, fDtrControl and fRtsControl are the record's own).
struct Dcb {
  std::uint32_t BaudRate = 0;
  bool fBinary = true;
  bool fParity = false;
  bool fOutxCtsFlow = false;
  bool fOutxDsrFlow = false;
  std::uint8_t fDtrControl = 0;  // 0 disable, 1 enable, 2 handshake
  bool fDsrSensitivity = false;
  bool fTXContinueOnXoff = false;
  bool fOutX = false;
  bool fInX = false;
  bool fErrorChar = false;
  bool fNull = false;
  std::uint8_t fRtsControl = 0;  // 0 disable, 1 enable, 2 handshake, 3 toggle
  bool fAbortOnError = false;
  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  std::uint8_t ByteSize = 8;
  std::uint8_t Parity = 0;    // 0 none, 1 odd, 2 even, 3 mark, 4 space
  std::uint8_t StopBits = 0;  // 0 one, 1 one and a half, 2 two
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  bool operator==(const Dcb&) const = default;
};

// The record that carries out `settings`. Framings a UART cannot send are
// taken as a terminal device takes them, since Windows refuses them:
//   1.5 stop bits with 6 to 8 data bits: 2 (a UART's long stop is 2 there)
//   2 stop bits with 5 data bits: 1.5 (a UART's long stop is 1.5 there)
//   equal XON and XOFF characters: the character can only restart output,
//     so software flow control is off; while it is off the XOFF character
//     means nothing and is moved off the XON one.
// The speed and data bits are taken as they are (the caller checks them).
Dcb dcbFor(const SerialLineSettings& settings);

// What became of a write: all bytes sent, some (its total timeout or a purge
// ended it; `sent` says how many went out), or a failure of the device.
enum class WriteOutcome { Done, Short, Failed };
struct WriteResult {
  WriteOutcome outcome;
  std::uint32_t sent;
};
// From the write's (or GetOverlappedResult's) success, GetLastError when it
// failed, the bytes it reports moved and the bytes asked for. Every way a
// driver says "timed out" (ERROR_TIMEOUT from Wine, ERROR_SEM_TIMEOUT from
// USB adapters, ERROR_COUNTER_TIMEOUT) and an aborted write are short.
WriteResult writeResult(bool succeeded, std::uint32_t error, std::uint32_t moved, std::uint32_t asked);

// What an error code says about the device: at open (the device may be held
// by another program or missing) or after a successful open, when a pulled
// adapter answers with access denied, not ready, time-outs or I/O errors.
SerialErrorKind serialErrorKind(std::uint32_t error, SerialErrorPhase phase);

// After a failed ReplaceFileW without a backup name: what became of the two
// files and what to do next.
enum class ReplaceFailure {
  Retry,    // both files stand; the target is held, perhaps for a moment
  Move,     // the target is missing or already gone: move the new file there
  Refused,  // both files stand; nothing more to try
};
ReplaceFailure replaceFailure(std::uint32_t error);

}  // namespace platform::win32rules
