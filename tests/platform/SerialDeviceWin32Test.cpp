// The Win32 serial device on a COM port pair (under Wine two ends of a pty
// pair): the one-byte wait read, the byte it holds, exclusive opens, queues
// and the lines a pty lacks. The POSIX device is tested in SerialDeviceTest.
#ifdef _WIN32
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/SerialDevice.h"
#include "support/Pty.h"

namespace {

using platform::SerialDevice;
using platform::SerialDeviceError;
using platform::SerialErrorKind;
using testing_support::Pty;

SerialErrorKind openFailure(const std::string& path) {
  try {
    SerialDevice dev(path);
  } catch (const SerialDeviceError& e) {
    return e.kind();
  }
  return SerialErrorKind::Other;
}

bool signalled(platform::NativeHandle handle, DWORD waitMs) {
  return WaitForSingleObject(static_cast<HANDLE>(handle), waitMs) == WAIT_OBJECT_0;
}

TEST(SerialDeviceWin32, OpensExclusivelyAndSaysWhyAnOpenFailed) {
  Pty pty;
  {
    SerialDevice dev(pty.slavePath());
    dev.applyLineSettings(platform::SerialLineSettings{});
    EXPECT_EQ(openFailure(pty.slavePath()), SerialErrorKind::InUse);
  }
  SerialDevice again(pty.slavePath());  // the hold ended with the device
  EXPECT_EQ(openFailure("\\\\.\\COM199"), SerialErrorKind::NotFound);
}

TEST(SerialDeviceWin32, TheWaitReadWakesOnDataAndItsByteComesFirst) {
  Pty pty;
  SerialDevice dev(pty.slavePath());
  dev.applyLineSettings(platform::SerialLineSettings{});
  platform::NativeHandle wait = dev.inputWaitHandle();
  EXPECT_FALSE(signalled(wait, 50));
  char buffer[64];
  EXPECT_EQ(dev.readSome(buffer, sizeof buffer), 0u);

  pty.send("SI\r\n");
  wait = dev.inputWaitHandle();
  ASSERT_TRUE(signalled(wait, 2000));
  for (int i = 0; i < 100 && dev.inputQueueCount() < 4; ++i) Sleep(10);
  EXPECT_EQ(dev.inputQueueCount(), 4);  // the held byte counts
  // The handle stays signalled while its byte is unread, like a readable
  // descriptor, and a second look arms nothing new.
  EXPECT_TRUE(signalled(dev.inputWaitHandle(), 0));
  EXPECT_EQ(std::string(buffer, dev.readSome(buffer, 1)), "S");
  EXPECT_EQ(std::string(buffer, dev.readSome(buffer, sizeof buffer)), "I\r\n");
  EXPECT_EQ(dev.inputQueueCount(), 0);

  // A read with a total timeout waits through the wait read.
  dev.setTimeouts({0, 0, 1000, 100, 1000});
  pty.send("+0001.5 g");
  EXPECT_EQ(std::string(buffer, dev.read(buffer, 9)), "+0001.5 g");

  EXPECT_EQ(dev.write("OK\r\n", 4), 4u);
  EXPECT_EQ(pty.receive(2000, 4), "OK\r\n");
}

TEST(SerialDeviceWin32, PurgeDropsTheHeldByteAndAPtyHasNoModemLines) {
  Pty pty;
  SerialDevice dev(pty.slavePath());
  dev.applyLineSettings(platform::SerialLineSettings{});
  pty.send("xyz");
  ASSERT_TRUE(signalled(dev.inputWaitHandle(), 2000));
  Sleep(50);  // the rest arrives too
  dev.purge(true, true);
  EXPECT_EQ(dev.inputQueueCount(), 0);
  EXPECT_FALSE(signalled(dev.inputWaitHandle(), 50));

  // Under Wine a pty answers GetCommModemStatus with error 50: all lines off.
  EXPECT_FALSE(dev.hasModemLines());
  const platform::SerialModemLines lines = dev.modemLines();
  EXPECT_FALSE(lines.cts || lines.dsr || lines.ring || lines.rlsd);
  dev.setDtr(true);
  dev.setRts(true);
  platform::SerialLineCounters counters;
  EXPECT_TRUE(dev.lineCounters(counters));
  EXPECT_FALSE(dev.takeLineErrors().any());
}

// Wine's ports never hold output nor refuse a framing, so this shows only
// that the paths work; Win32RulesTest holds what they decide.
TEST(SerialDeviceWin32, WritesWithoutWaitingAndResizesQueuesUnderThePendingRead) {
  Pty pty;
  SerialDevice dev(pty.slavePath());
  platform::SerialLineSettings settings;
  settings.stopBits = platform::SerialStopBits::OneAndHalf;
  settings.xoffChar = settings.xonChar;
  EXPECT_NO_THROW(dev.applyLineSettings(settings));

  EXPECT_EQ(dev.writeSome("AB", 2), 2u);
  EXPECT_EQ(dev.write("CD", 2), 2u);  // after the first has gone
  EXPECT_EQ(pty.receive(2000, 4), "ABCD");

  EXPECT_FALSE(signalled(dev.inputWaitHandle(), 0));
  dev.setQueueSizes(4096, 2048);
  pty.send("Q");
  ASSERT_TRUE(signalled(dev.inputWaitHandle(), 2000));
  char byte = 0;
  EXPECT_EQ(dev.readSome(&byte, 1), 1u);
  EXPECT_EQ(byte, 'Q');
}

}  // namespace
#endif
