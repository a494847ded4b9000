#include "platform/Win32Rules.h"

#include <algorithm>

namespace platform::win32rules {

Dcb dcbFor(const SerialLineSettings& s) {
  Dcb d;
  d.BaudRate = s.baudRate > 0 ? static_cast<std::uint32_t>(s.baudRate) : 0;
  d.fBinary = true;
  d.fParity = s.parityCheck;
  d.fOutxCtsFlow = s.outCtsFlow;
  d.fOutxDsrFlow = s.outDsrFlow;
  d.fDtrControl = static_cast<std::uint8_t>(s.dtr);
  d.fDsrSensitivity = s.dsrSensitivity;
  d.fTXContinueOnXoff = s.txContinueOnXoff;
  d.fOutX = s.xonXoffOut;
  d.fInX = s.xonXoffIn;
  d.fErrorChar = s.parityCheck && s.parityReplace;
  d.fNull = s.discardNull;
  d.fRtsControl = static_cast<std::uint8_t>(s.rts);
  d.fAbortOnError = false;
  d.XonLim = static_cast<std::uint16_t>(std::clamp<std::int32_t>(s.xonLimit, 0, 0xFFFF));
  d.XoffLim = static_cast<std::uint16_t>(std::clamp<std::int32_t>(s.xoffLimit, 0, 0xFFFF));
  d.ByteSize = static_cast<std::uint8_t>(std::clamp(s.dataBits, 5, 8));
  d.Parity = static_cast<std::uint8_t>(s.parity);
  d.StopBits = static_cast<std::uint8_t>(s.stopBits);
  // A UART's long stop is 1.5 bits with 5 data bits and 2 with more.
  if (s.stopBits != SerialStopBits::One) d.StopBits = d.ByteSize == 5 ? 1 : 2;
  d.XonChar = static_cast<char>(s.xonChar);
  d.XoffChar = static_cast<char>(s.xoffChar);
  if (s.xonChar == s.xoffChar) {
    // As on a terminal device, where the shared character always restarts
    // output: it never holds output, and none is sent to hold the far end.
    d.fOutX = d.fInX = false;
    d.XoffChar = static_cast<char>(static_cast<unsigned char>(s.xonChar + 1));
  }
  d.ErrorChar = d.fErrorChar ? static_cast<char>(s.replaceChar) : 0;
  d.EofChar = 0;
  d.EvtChar = static_cast<char>(s.eventChar);
  return d;
}

WriteResult writeResult(bool succeeded, std::uint32_t error, std::uint32_t moved, std::uint32_t asked) {
  const std::uint32_t sent = std::min(moved, asked);
  if (succeeded) return {sent == asked ? WriteOutcome::Done : WriteOutcome::Short, sent};
  switch (error) {
    case kTimeout:
    case kSemTimeout:
    case kCounterTimeout:
    case kOperationAborted:
      return {WriteOutcome::Short, sent};
    default:
      return {WriteOutcome::Failed, sent};
  }
}

SerialErrorKind serialErrorKind(std::uint32_t error, SerialErrorPhase phase) {
  // Codes that mean the same at any time.
  switch (error) {
    case kPrivilegeNotHeld:
      return SerialErrorKind::PermissionDenied;
    case kNotSupported:
    case kInvalidParameter:
      return SerialErrorKind::Unsupported;
    case kInvalidHandle:
    case kGenFailure:
    case kBadCommand:
    case kNotReady:
    case kIoDevice:
    case kDeviceNotConnected:
    case kDeviceRemoved:
    case kOperationAborted:
      return SerialErrorKind::Gone;
    default:
      break;
  }
  if (phase == SerialErrorPhase::AtOpen) {
    switch (error) {
      case kFileNotFound:
      case kPathNotFound:
      case kDevNotExist:
      case kBadUnit:
        return SerialErrorKind::NotFound;
      case kAccessDenied:
      case kSharingViolation:
      case kBusy:
        return SerialErrorKind::InUse;
      case kInvalidFunction:
        return SerialErrorKind::NotATerminal;
      default:
        return SerialErrorKind::Other;
    }
  }
  // Once open, nobody else can take the device: these are what drivers say
  // when its adapter was pulled.
  switch (error) {
    case kAccessDenied:
    case kSemTimeout:
    case kFileNotFound:
    case kPathNotFound:
    case kDevNotExist:
    case kBadUnit:
      return SerialErrorKind::Gone;
    case kInvalidFunction:
      return SerialErrorKind::Unsupported;
    default:
      return SerialErrorKind::Other;
  }
}

ReplaceFailure replaceFailure(std::uint32_t error) {
  switch (error) {
    case kSharingViolation:
    case kLockViolation:
    case kAccessDenied:
    case kUnableToRemoveReplaced:
      return ReplaceFailure::Retry;
    case kFileNotFound:
    case kUnableToMoveReplacement:
    case kUnableToMoveReplacement2:
      return ReplaceFailure::Move;
    default:
      return ReplaceFailure::Refused;
  }
}

}  // namespace platform::win32rules
