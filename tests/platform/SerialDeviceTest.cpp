#include "platform/SerialDevice.h"
#ifndef _WIN32  // the Win32 device is tested in SerialDeviceWin32Test.cpp

#include <gtest/gtest.h>
#include <poll.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/posix/SerialTermios.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace {

using platform::SerialDevice;
using platform::SerialDeviceError;
using platform::SerialErrorKind;
using platform::SerialLineSettings;
using testing_support::Pty;

// Waits until the device has count bytes to read (the pty hands data over
// asynchronously); bounded so that a failing test ends.
bool waitForInput(SerialDevice& dev, int count) {
  for (int i = 0; i < 200 && dev.inputQueueCount() < count; ++i) {
    pollfd p{dev.handle(), POLLIN, 0};
    ::poll(&p, 1, 10);
  }
  return dev.inputQueueCount() >= count;
}

int openErrno(const std::string& path) {
  try {
    SerialDevice dev(path);
  } catch (const SerialDeviceError& e) {
    return e.errorCode();
  }
  return 0;
}

TEST(SerialDevice, OpensRawWithAnExclusiveHoldThatEndsWithTheDevice) {
  Pty pty;
  {
    SerialDevice dev(pty.slavePath());
    dev.applyLineSettings(SerialLineSettings{});

    const termios t = pty.slaveTermios();
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP | IXON | IXOFF | INPCK), 0u);
    EXPECT_EQ(t.c_cflag & (CREAD | CLOCAL), static_cast<tcflag_t>(CREAD | CLOCAL));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_EQ(pty.slaveSpeed(), 9600);

    // A second open is refused as "in use", also for root, whom TIOCEXCL
    // alone would let through.
    try {
      SerialDevice second(pty.slavePath());
      ADD_FAILURE() << "a held device opened twice";
    } catch (const SerialDeviceError& e) {
      EXPECT_EQ(e.errorCode(), EBUSY);
      EXPECT_EQ(e.kind(), SerialErrorKind::InUse);
    }
  }
  EXPECT_NO_THROW(SerialDevice again(pty.slavePath()));
}

TEST(SerialDevice, OpenFailuresKeepTheSystemCode) {
  testing_support::TempDir dir;
  EXPECT_EQ(openErrno((dir / "ttyNone").string()), ENOENT);
  EXPECT_EQ(platform::classifySerialErrno(ENOENT), SerialErrorKind::NotFound);

  // A file that is no terminal is refused, not configured.
  testing_support::TempDir::write(dir / "plain", "x");
  EXPECT_EQ(openErrno((dir / "plain").string()), ENOTTY);
  EXPECT_EQ(platform::classifySerialErrno(ENOTTY), SerialErrorKind::NotATerminal);
}

TEST(SerialDevice, StandardAndCustomSpeedsReachTheDevice) {
  Pty pty;
  SerialDevice dev(pty.slavePath());
  SerialLineSettings s;
  // Standard, without a B constant on Linux, and arbitrary.
  for (int speed : {110, 115200, 14400, 56000, 128000, 256000, 12345, 1000000}) {
    s.baudRate = speed;
    dev.applyLineSettings(s);
    EXPECT_EQ(pty.slaveSpeed(), speed);
  }
  // A speed the device refuses leaves the previous configuration.
  s.baudRate = 0;
  try {
    dev.applyLineSettings(s);
    ADD_FAILURE() << "speed 0 accepted";
  } catch (const SerialDeviceError& e) {
    EXPECT_EQ(e.errorCode(), EINVAL);
  }
  EXPECT_EQ(pty.slaveSpeed(), 1000000);
}

TEST(SerialDevice, TermiosCarriesFramingParityAndFlow) {
  // A pty keeps stop bits and flow flags but forces CS8 without parity, so
  // framing and parity are checked on the termios the device would be given.
  termios cooked{};
  cooked.c_lflag = ICANON | ECHO | ISIG;
  cooked.c_iflag = ICRNL | IXANY | ISTRIP;
  cooked.c_oflag = OPOST;
  cooked.c_cflag = CS8 | PARENB | CSTOPB;

  SerialLineSettings s;
  const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
  for (int bits = 5; bits <= 8; ++bits) {
    s.dataBits = bits;
    EXPECT_EQ(platform::termiosFor(s, cooked).c_cflag & CSIZE, sizes[bits - 5]) << bits;
  }
  const auto parityFlags = [&](platform::SerialParity p) {
    s.parity = p;
    return platform::termiosFor(s, cooked).c_cflag & (PARENB | PARODD | CMSPAR);
  };
  EXPECT_EQ(parityFlags(platform::SerialParity::None), 0u);
  EXPECT_EQ(parityFlags(platform::SerialParity::Odd), static_cast<tcflag_t>(PARENB | PARODD));
  EXPECT_EQ(parityFlags(platform::SerialParity::Even), static_cast<tcflag_t>(PARENB));
  EXPECT_EQ(parityFlags(platform::SerialParity::Mark), static_cast<tcflag_t>(PARENB | PARODD | CMSPAR));
  EXPECT_EQ(parityFlags(platform::SerialParity::Space), static_cast<tcflag_t>(PARENB | CMSPAR));
  s.parity = platform::SerialParity::None;

  // Raw whatever the terminal was before.
  termios t = platform::termiosFor(s, cooked);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_iflag & (ICRNL | IXANY | ISTRIP), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
  EXPECT_EQ(t.c_cflag & CSTOPB, 0u);

  // 1.5 stop bits become CSTOPB: the UART sends 1.5 with 5 data bits.
  s.stopBits = platform::SerialStopBits::OneAndHalf;
  EXPECT_NE(platform::termiosFor(s, cooked).c_cflag & CSTOPB, 0u);

  // Parity errors turn bytes into 0 only when replacing was asked for.
  s.parityCheck = true;
  EXPECT_EQ(platform::termiosFor(s, cooked).c_iflag & INPCK, 0u);
  s.parityReplace = true;
  EXPECT_NE(platform::termiosFor(s, cooked).c_iflag & INPCK, 0u);

  // What the pty can show: stop bits, handshaking and the Xon/Xoff bytes.
  Pty pty;
  SerialDevice dev(pty.slavePath());
  s = SerialLineSettings{};
  s.stopBits = platform::SerialStopBits::Two;
  s.rts = platform::SerialRts::Handshake;
  s.xonXoffIn = true;
  s.xonXoffOut = true;
  s.xonChar = 0x11 + 1;
  s.xoffChar = 0x13 + 1;
  dev.applyLineSettings(s);
  t = pty.slaveTermios();
  EXPECT_NE(t.c_cflag & CSTOPB, 0u);
  EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
  EXPECT_EQ(t.c_cc[VSTART], 0x12);
  EXPECT_EQ(t.c_cc[VSTOP], 0x14);
}

TEST(SerialDevice, TransfersNeverBlockAndQueuesCountAndPurge) {
  Pty pty;
  SerialDevice dev(pty.slavePath());
  dev.applyLineSettings(SerialLineSettings{});
  char buffer[64];

  // Nothing received: both reads return at once with nothing.
  EXPECT_EQ(dev.readSome(buffer, sizeof buffer), 0u);
  EXPECT_EQ(dev.read(buffer, sizeof buffer), 0u);

  pty.send("abc");
  ASSERT_TRUE(waitForInput(dev, 3));
  EXPECT_EQ(dev.inputQueueCount(), 3);
  ASSERT_EQ(dev.read(buffer, sizeof buffer), 3u);
  EXPECT_EQ(std::string(buffer, 3), "abc");
  EXPECT_EQ(dev.inputQueueCount(), 0);

  EXPECT_EQ(dev.write("hello\r\n", 7), 7u);
  EXPECT_EQ(pty.receive(1000, 7), "hello\r\n");  // raw: no CR/LF translation

  pty.send("stale");
  ASSERT_TRUE(waitForInput(dev, 5));
  dev.purge(true, false);
  EXPECT_EQ(dev.inputQueueCount(), 0);
  EXPECT_EQ(dev.outputQueueCount(), 0);

  // Discarding zero bytes happens on reading.
  SerialLineSettings s;
  s.discardNull = true;
  dev.applyLineSettings(s);
  pty.send(std::string("a\0b\0", 4));
  ASSERT_TRUE(waitForInput(dev, 4));
  ASSERT_EQ(dev.readSome(buffer, sizeof buffer), 2u);
  EXPECT_EQ(std::string(buffer, 2), "ab");
}

TEST(SerialDevice, AWriteTheFarEndDoesNotTakeEndsShortAtItsTimeout) {
  Pty pty;  // the master never reads: the pty's queue fills up
  SerialDevice dev(pty.slavePath());
  dev.applyLineSettings(SerialLineSettings{});
  platform::SerialTimeouts t;
  t.writeTotalMultiplier = 0;
  t.writeTotalConstant = 20;
  dev.setTimeouts(t);
  const std::string big(1 << 20, 'x');
  const std::size_t written = dev.write(big.data(), big.size());
  EXPECT_GT(written, 0u);
  EXPECT_LT(written, big.size());
}

TEST(SerialDevice, APtyHasNoModemLinesNorLineErrorsAndThatIsNoFailure) {
  Pty pty;
  SerialDevice dev(pty.slavePath());
  SerialLineSettings s;
  s.dtr = platform::SerialDtr::On;
  s.rts = platform::SerialRts::On;
  EXPECT_NO_THROW(dev.applyLineSettings(s));
  const auto lines = dev.modemLines();
  EXPECT_FALSE(lines.cts || lines.dsr || lines.ring || lines.rlsd);
  EXPECT_FALSE(dev.takeLineErrors().any());
  EXPECT_NO_THROW(dev.setDtr(false));
}

TEST(SerialDevice, AVanishedFarEndIsReportedAsGone) {
  Pty pty;
  SerialDevice dev(pty.slavePath());
  dev.applyLineSettings(SerialLineSettings{});
  pty.closeMaster();
  char buffer[8];
  try {
    dev.readSome(buffer, sizeof buffer);
    ADD_FAILURE() << "a read after hang-up reported no failure";
  } catch (const SerialDeviceError& e) {
    EXPECT_EQ(e.kind(), SerialErrorKind::Gone) << e.what();
  }
}

}  // namespace

#endif
