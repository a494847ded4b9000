// Opening and closing the serial port on ptys: device settings, events and
// their order, failures and what they leave behind.
#include <gtest/gtest.h>

#include <memory>

#include "ComPortTestSupport.h"
#include "platform/ManualEventLoop.h"
#include "platform/SerialDevice.h"
#include "serial/ComPort.h"
#include "support/Pty.h"
#include "support/TempDir.h"

namespace {

using namespace serial;
using serial_test::CountingPort;
using serial_test::EventLog;
using serial_test::kCloseEvents;
using serial_test::kHeldCode;
using serial_test::kMissingCode;
using serial_test::kRefusedSettingCode;
using serial_test::kOpenEvents;
using testing_support::Pty;
using testing_support::TempDir;

bool deviceIsHeld(const std::string& path) {
  try {
    platform::SerialDevice probe(path);
    return false;
  } catch (const platform::SerialDeviceError& e) {
    return e.errorCode() == kHeldCode;
  }
}

class ComPortConnect : public ::testing::Test {
 protected:
  platform::ManualEventLoop loop;
  Pty pty;
  EventLog log;  // outlives the ports, whose destructors still raise events
};

TEST_F(ComPortConnect, ANewPortOpensRaw9600_8N1WithoutHandshaking) {
  TComPort port(loop, "ComPort1");
  EXPECT_EQ(port.port(), "COM1");
#ifdef _WIN32
  EXPECT_EQ(port.devicePath(), "\\\\.\\COM1");
#else
  EXPECT_EQ(port.devicePath(), "/dev/ttyS0");
#endif
  port.setPort(pty.slavePath());
  port.Connect();
  ASSERT_TRUE(port.connected());

#ifndef _WIN32  // a COM pair cannot read back the far end's settings
  const termios t = pty.slaveTermios();
#ifndef _WIN32
  EXPECT_EQ(pty.slaveSpeed(), 9600);
#endif
  EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
  EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | INPCK), 0u);
  EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
  EXPECT_EQ(t.c_oflag & OPOST, 0u);
#endif
  EXPECT_TRUE(deviceIsHeld(pty.slavePath()));
}

TEST_F(ComPortConnect, FlowSettingsReachTheDeviceAtConnect) {
  TComPort port(loop);
  port.setPort(pty.slavePath());
  port.flowControl().setFlowControl(fcHardware);
  port.Connect();
#ifndef _WIN32
  EXPECT_NE(pty.slaveTermios().c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(pty.slaveTermios().c_iflag & (IXON | IXOFF), 0u);
#endif

  // On the open port a change applies at once.
  port.flowControl().setFlowControl(fcSoftware);
#ifndef _WIN32
  EXPECT_EQ(pty.slaveTermios().c_cflag & CRTSCTS, 0u);
  EXPECT_EQ(pty.slaveTermios().c_iflag & (IXON | IXOFF), static_cast<tcflag_t>(IXON | IXOFF));
  EXPECT_EQ(pty.slaveTermios().c_cc[VSTART], 17);
  EXPECT_EQ(pty.slaveTermios().c_cc[VSTOP], 19);
#endif
  port.Disconnect();
  EXPECT_FALSE(port.connected());
  EXPECT_FALSE(deviceIsHeld(pty.slavePath()));
}

TEST_F(ComPortConnect, OpeningAndClosingRaiseTheirEventsOnceInOrder) {
  TComPort port(loop);
  log.attach(port);
  port.setPort(pty.slavePath());

  port.Disconnect();  // closed: nothing
  EXPECT_TRUE(log.take().empty());
  port.Connect();
  EXPECT_EQ(log.take(), kOpenEvents);
  port.Connect();  // open: nothing
  port.setConnected(true);
  EXPECT_TRUE(log.take().empty());
  port.setConnected(false);
  EXPECT_EQ(log.take(), kCloseEvents);
  port.Disconnect();
  EXPECT_TRUE(log.take().empty());

  // With no events to wait for, the open and line-state events still come.
  port.setEvents({});
  port.Connect();
  EXPECT_EQ(log.take(), kOpenEvents);
}

TEST_F(ComPortConnect, ANewPortNameReopensAnOpenPortWithAllEvents) {
  Pty other;
  TComPort port(loop);
  port.setPort(pty.slavePath());
  port.Connect();
  log.attach(port);

  port.setPort(other.slavePath());
  std::vector<std::string> expected = kCloseEvents;
  expected.insert(expected.end(), kOpenEvents.begin(), kOpenEvents.end());
  EXPECT_EQ(log.take(), expected);
  EXPECT_TRUE(port.connected());
  EXPECT_FALSE(deviceIsHeld(pty.slavePath()));
  EXPECT_TRUE(deviceIsHeld(other.slavePath()));

  port.setPort(other.slavePath());  // the same name: nothing
  EXPECT_TRUE(log.take().empty());

  // On a closed port a name is only stored.
  port.Disconnect();
  log.take();
  port.setPort(pty.slavePath());
  EXPECT_TRUE(log.take().empty());
  EXPECT_FALSE(port.connected());
}

TEST_F(ComPortConnect, AHeldDeviceCannotBeOpenedASecondTime) {
  TComPort first(loop), second(loop);
  first.setPort(pty.slavePath());
  second.setPort(pty.slavePath());
  first.Connect();
  log.attach(second);
  try {
    second.Connect();
    FAIL() << "a held device opened twice";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.MessageCode, 1);
    EXPECT_EQ(e.SystemCode, kHeldCode);
    EXPECT_EQ(std::string(e.what()),
              "Unable to open com port (win error code: " + std::to_string(kHeldCode) + ")");
  }
  EXPECT_FALSE(second.connected());
  EXPECT_EQ(second.handle(), platform::kNoHandle);
  EXPECT_EQ(log.take(), std::vector<std::string>{"BeforeOpen"});
  EXPECT_TRUE(first.connected());
}

TEST_F(ComPortConnect, PortNamesResolveThroughTheDevicesSection) {
  TempDir dir;
  const auto ini = (dir / "Kestrel.ini").string();
  TempDir::write(ini, "[ComPort1]\nPort=COM7\n[Devices]\nCOM7=" + pty.slavePath() + "\n");
  TComPort port(loop, "ComPort1");
  port.setDeviceMapFile(ini);
  port.setPort("COM7");
  EXPECT_EQ(port.devicePath(), pty.slavePath());
  port.Connect();
  EXPECT_TRUE(deviceIsHeld(pty.slavePath()));
  port.Disconnect();

#ifndef _WIN32  // "COM" before a path names that path only on POSIX
  port.setPort("COM" + pty.slavePath());
  port.Connect();
  EXPECT_TRUE(deviceIsHeld(pty.slavePath()));
  port.Disconnect();
#endif

  // A name that names no device: code 1 with the system code.
  port.setPort("ttyTersoNoSuchDevice");
  log.attach(port);
  try {
    port.Connect();
    FAIL() << "a missing device opened";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.MessageCode, 1);
    EXPECT_EQ(e.SystemCode, kMissingCode);
    EXPECT_EQ(std::string(e.what()),
              "Unable to open com port (win error code: " + std::to_string(kMissingCode) + ")");
  }
  EXPECT_FALSE(port.connected());
  EXPECT_EQ(log.take(), std::vector<std::string>{"BeforeOpen"});
}

TEST_F(ComPortConnect, AFailedApplyDuringConnectClosesTheDeviceAgain) {
  TComPort port(loop);
  log.attach(port);
  port.setPort(pty.slavePath());
  port.setBaudRate(brCustom);
  port.setCustomBaudRate(0);  // no device takes 0 bit/s
  try {
    port.Connect();
    FAIL() << "speed 0 accepted";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.MessageCode, 7);
    EXPECT_EQ(e.SystemCode, kRefusedSettingCode);
  }
  EXPECT_FALSE(port.connected());
  EXPECT_FALSE(deviceIsHeld(pty.slavePath()));
  EXPECT_EQ(log.take(), std::vector<std::string>{"BeforeOpen"});

  // On an open port the new value is kept, the device keeps its speed and
  // the port stays open.
  port.setCustomBaudRate(4800);
  port.Connect();
  log.take();
  EXPECT_THROW(port.setCustomBaudRate(-1), EComPort);
  EXPECT_EQ(port.customBaudRate(), -1);
#ifndef _WIN32
  EXPECT_EQ(pty.slaveSpeed(), 4800);
#endif
  EXPECT_TRUE(port.connected());
}

TEST_F(ComPortConnect, DestroyingAnOpenPortClosesItWithItsEvents) {
  {
    auto port = std::make_unique<TComPort>(loop);
    port->setPort(pty.slavePath());
    port->Connect();
    log.attach(*port);
  }
  EXPECT_EQ(log.take(), kCloseEvents);
  EXPECT_FALSE(deviceIsHeld(pty.slavePath()));
}

TEST_F(ComPortConnect, APortLoadedAsConnectedOpensWhenLoadingEnds) {
  std::vector<std::string> reports;
  loop.setErrorReport([&](const std::string& m) { reports.push_back(m); });

  TComPort port(loop);
  port.BeginLoading();
  port.setPort(pty.slavePath());
  port.setBaudRate(br19200);
  port.setConnected(true);
  EXPECT_FALSE(port.connected());
  port.Loaded();
  EXPECT_TRUE(port.connected());
#ifndef _WIN32
  EXPECT_EQ(pty.slaveSpeed(), 19200);
#endif
  EXPECT_TRUE(reports.empty());

  // A failure goes to the error report and the port stays closed.
  TComPort missing(loop);
  missing.BeginLoading();
  missing.setPort("ttyTersoNoSuchDevice");
  missing.setConnected(true);
  missing.Loaded();
  EXPECT_FALSE(missing.connected());
  EXPECT_EQ(reports, std::vector<std::string>{
                         "Unable to open com port (win error code: " + std::to_string(kMissingCode) + ")"});
}

}  // namespace
