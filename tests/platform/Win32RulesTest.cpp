// The decisions of the Win32 device and file calls, run on every system: the
// Windows behaviour they guard cannot be shown under Wine, whose COM ports
// are pseudo-terminals that never hold output, refuse no framing and never
// vanish.
#include "platform/Win32Rules.h"

#include <gtest/gtest.h>

namespace {

using namespace platform::win32rules;
using platform::SerialErrorKind;
using platform::SerialErrorPhase;
using platform::SerialLineSettings;
using platform::SerialStopBits;

TEST(Win32Rules, TheDcbTakesFramingsWindowsRefusesAsAUartSendsThem) {
  struct Case {
    int dataBits;
    SerialStopBits asked;
    int stopBits;
  };
  const Case cases[] = {
      {5, SerialStopBits::One, 0},        {5, SerialStopBits::OneAndHalf, 1},
      {5, SerialStopBits::Two, 1},        {6, SerialStopBits::OneAndHalf, 2},
      {7, SerialStopBits::OneAndHalf, 2}, {8, SerialStopBits::OneAndHalf, 2},
      {8, SerialStopBits::Two, 2},        {8, SerialStopBits::One, 0},
  };
  for (const Case& c : cases) {
    SerialLineSettings s;
    s.dataBits = c.dataBits;
    s.stopBits = c.asked;
    const Dcb d = dcbFor(s);
    EXPECT_EQ(d.StopBits, c.stopBits) << c.dataBits << " data bits, stop code " << static_cast<int>(c.asked);
    EXPECT_EQ(d.ByteSize, c.dataBits);
  }
}

TEST(Win32Rules, EqualXonAndXoffCharactersNeverReachTheDriver) {
  SerialLineSettings s;
  s.xonXoffOut = s.xonXoffIn = true;
  Dcb d = dcbFor(s);
  EXPECT_TRUE(d.fOutX && d.fInX);
  EXPECT_EQ(d.XonChar, 17);
  EXPECT_EQ(d.XoffChar, 19);

  for (unsigned char c : {0, 17, 255}) {
    s.xonChar = s.xoffChar = c;
    d = dcbFor(s);
    EXPECT_NE(d.XonChar, d.XoffChar) << int{c};
    EXPECT_EQ(static_cast<unsigned char>(d.XonChar), c);
    EXPECT_FALSE(d.fOutX || d.fInX);
  }
}

TEST(Win32Rules, TheDcbCarriesTheOtherSettingsAsTheyAre) {
  SerialLineSettings s;
  s.baudRate = 14400;
  s.parity = platform::SerialParity::Space;
  s.parityCheck = true;
  s.replaceChar = '?';
  s.dtr = platform::SerialDtr::Handshake;
  s.rts = platform::SerialRts::Toggle;
  s.outCtsFlow = s.discardNull = true;
  s.eventChar = '\r';
  s.xonLimit = 70000;
  s.xoffLimit = 512;
  Dcb d = dcbFor(s);
  EXPECT_EQ(d.BaudRate, 14400u);
  EXPECT_EQ(d.Parity, 4);
  EXPECT_TRUE(d.fBinary && d.fParity && d.fOutxCtsFlow && d.fNull);
  EXPECT_FALSE(d.fErrorChar || d.fAbortOnError || d.fOutxDsrFlow);
  EXPECT_EQ(d.ErrorChar, 0);  // no replacement without Replace
  EXPECT_EQ(d.fDtrControl, 2);
  EXPECT_EQ(d.fRtsControl, 3);
  EXPECT_EQ(d.EvtChar, '\r');
  EXPECT_EQ(d.XonLim, 0xFFFF);
  EXPECT_EQ(d.XoffLim, 512);
  s.parityReplace = true;
  d = dcbFor(s);
  EXPECT_TRUE(d.fErrorChar);
  EXPECT_EQ(d.ErrorChar, '?');
}

TEST(Win32Rules, EveryTimedOutOrAbortedWriteIsShortWithTheBytesThatWent) {
  struct Case {
    bool succeeded;
    std::uint32_t error, moved;
    WriteOutcome outcome;
  };
  const Case cases[] = {
      {true, 0, 10, WriteOutcome::Done},
      {true, 0, 4, WriteOutcome::Short},
      {true, 0, 0, WriteOutcome::Short},
      {false, kTimeout, 3, WriteOutcome::Short},
      {false, kSemTimeout, 7, WriteOutcome::Short},
      {false, kCounterTimeout, 0, WriteOutcome::Short},
      {false, kOperationAborted, 2, WriteOutcome::Short},
      {false, kGenFailure, 0, WriteOutcome::Failed},
      {false, kAccessDenied, 0, WriteOutcome::Failed},
      {false, kDeviceRemoved, 5, WriteOutcome::Failed},
  };
  for (const Case& c : cases) {
    const WriteResult r = writeResult(c.succeeded, c.error, c.moved, 10);
    EXPECT_EQ(r.outcome, c.outcome) << c.error << " " << c.moved;
    EXPECT_EQ(r.sent, c.moved);
  }
  EXPECT_EQ(writeResult(true, 0, 12, 10).sent, 10u);  // never more than asked
}

TEST(Win32Rules, ErrorsOfAnOpenDeviceSayItIsGone) {
  struct Case {
    std::uint32_t error;
    SerialErrorKind atOpen, whileOpen;
  };
  using K = SerialErrorKind;
  const Case cases[] = {
      {kFileNotFound, K::NotFound, K::Gone},
      {kDevNotExist, K::NotFound, K::Gone},
      {kAccessDenied, K::InUse, K::Gone},
      {kSharingViolation, K::InUse, K::Other},
      {kNotReady, K::Gone, K::Gone},
      {kSemTimeout, K::Other, K::Gone},
      {kIoDevice, K::Gone, K::Gone},
      {kBadCommand, K::Gone, K::Gone},
      {kDeviceRemoved, K::Gone, K::Gone},
      {kGenFailure, K::Gone, K::Gone},
      {kDeviceNotConnected, K::Gone, K::Gone},
      {kPrivilegeNotHeld, K::PermissionDenied, K::PermissionDenied},
      {kInvalidFunction, K::NotATerminal, K::Unsupported},
      {kInvalidParameter, K::Unsupported, K::Unsupported},
      {kTimeout, K::Other, K::Other},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(serialErrorKind(c.error, SerialErrorPhase::AtOpen), c.atOpen) << c.error;
    EXPECT_EQ(serialErrorKind(c.error, SerialErrorPhase::WhileOpen), c.whileOpen) << c.error;
  }
}

TEST(Win32Rules, AFailedReplaceMovesOnlyWhenTheTargetIsGone) {
  EXPECT_EQ(replaceFailure(kUnableToMoveReplacement), ReplaceFailure::Move);
  EXPECT_EQ(replaceFailure(kUnableToMoveReplacement2), ReplaceFailure::Move);
  EXPECT_EQ(replaceFailure(kFileNotFound), ReplaceFailure::Move);
  EXPECT_EQ(replaceFailure(kSharingViolation), ReplaceFailure::Retry);
  EXPECT_EQ(replaceFailure(kUnableToRemoveReplaced), ReplaceFailure::Retry);
  EXPECT_EQ(replaceFailure(kAccessDenied), ReplaceFailure::Retry);
  EXPECT_EQ(replaceFailure(kInvalidParameter), ReplaceFailure::Refused);
}

}  // namespace
