// Changing the serial port's settings: what is stored, what reaches an open
// device and when.
#include <gtest/gtest.h>

#include "ComPortTestSupport.h"
#include "platform/ManualEventLoop.h"
#include "serial/ComPort.h"
#include "support/Pty.h"

namespace {

using namespace serial;
using serial_test::CountingPort;
using testing_support::Pty;

class ComPortSettings : public ::testing::Test {
 protected:
  void open(TCustomComPort& port) {
    port.setPort(pty.slavePath());
    port.Connect();
  }
  platform::ManualEventLoop loop;
  Pty pty;
};

TEST_F(ComPortSettings, EverySpeedReachesTheDeviceAndCustomOnlyWithBrCustom) {
  TComPort port(loop);
  port.setCustomBaudRate(31250);
  open(port);
  for (int r = br110; r <= br256000; ++r) {
    port.setBaudRate(static_cast<TBaudRate>(r));
#ifndef _WIN32  // a COM pair cannot read back the far end's settings
    EXPECT_EQ(pty.slaveSpeed(), BaudRateValue(static_cast<TBaudRate>(r))) << "TBaudRate " << r;
#endif
  }
  port.setBaudRate(brCustom);
#ifndef _WIN32
  EXPECT_EQ(pty.slaveSpeed(), 31250);
#endif
  port.setCustomBaudRate(250000);
#ifndef _WIN32
  EXPECT_EQ(pty.slaveSpeed(), 250000);
#endif
  port.setBaudRate(br2400);
#ifndef _WIN32
  EXPECT_EQ(pty.slaveSpeed(), 2400);
#endif
}

TEST_F(ComPortSettings, AClosedPortStoresSettingsUntilConnect) {
  CountingPort port(loop);
  port.setBaudRate(br57600);
  port.setStopBits(sbTwoStopBits);
  port.flowControl().setOutCTSFlow(true);
  EXPECT_EQ(port.baudRate(), br57600);
  port.setPort(pty.slavePath());
#ifndef _WIN32
  EXPECT_NE(pty.slaveSpeed(), 57600);
#endif

  port.Connect();
  EXPECT_EQ(port.allApplies, 1);
#ifndef _WIN32
  EXPECT_EQ(pty.slaveSpeed(), 57600);
  EXPECT_NE(pty.slaveTermios().c_cflag & CSTOPB, 0u);
  EXPECT_NE(pty.slaveTermios().c_cflag & CRTSCTS, 0u);
#endif
}

TEST_F(ComPortSettings, ABatchReachesTheDeviceAsExactlyOneApply) {
  CountingPort port(loop);
  open(port);
  port.allApplies = 0;

  port.EndBatch();  // without BeginBatch: nothing
  EXPECT_EQ(port.allApplies, 0);

  port.BeginBatch();
  port.BeginBatch();
  port.setBaudRate(br19200);
  port.setStopBits(sbTwoStopBits);
  port.flowControl().setFlowControl(fcHardware);
  port.parity().setBits(prEven);
  port.timeouts().setReadInterval(10);
  port.buffer().setInputSize(4096);
  port.EndBatch();
#ifndef _WIN32
  EXPECT_EQ(pty.slaveSpeed(), 9600);
  EXPECT_EQ(pty.slaveTermios().c_cflag & (CSTOPB | CRTSCTS), 0u);
#endif
  EXPECT_EQ(port.allApplies, 0);

  port.EndBatch();
  EXPECT_EQ(port.allApplies, 1);
#ifndef _WIN32
  EXPECT_EQ(pty.slaveSpeed(), 19200);
  EXPECT_EQ(pty.slaveTermios().c_cflag & (CSTOPB | CRTSCTS), static_cast<tcflag_t>(CSTOPB | CRTSCTS));
#endif
  port.EndBatch();
  EXPECT_EQ(port.allApplies, 1);
}

TEST_F(ComPortSettings, ComputedFlowControlBothWays) {
  CountingPort port(loop);
  TComFlowControl& fc = port.flowControl();
  EXPECT_EQ(fc.flowControl(), fcNone);

  fc.setFlowControl(fcHardware);
  EXPECT_EQ(fc.controlRTS(), rtsHandshake);
  EXPECT_TRUE(fc.outCTSFlow());
  EXPECT_FALSE(fc.xonXoffIn() || fc.xonXoffOut());
  EXPECT_EQ(fc.flowControl(), fcHardware);

  fc.setFlowControl(fcSoftware);  // clears the hardware switches first
  EXPECT_EQ(fc.controlRTS(), rtsDisable);
  EXPECT_FALSE(fc.outCTSFlow());
  EXPECT_TRUE(fc.xonXoffIn() && fc.xonXoffOut());
  EXPECT_EQ(fc.flowControl(), fcSoftware);

  // The switches that play no part in the computed value.
  fc.setControlDTR(dtrHandshake);
  fc.setOutDSRFlow(true);
  fc.setDSRSensitivity(true);
  fc.setTxContinueOnXoff(true);
  EXPECT_EQ(fc.flowControl(), fcSoftware);

  fc.setXonXoffIn(false);  // one switch of a pair
  EXPECT_EQ(fc.flowControl(), fcCustom);
  fc.setFlowControl(fcNone);
  EXPECT_EQ(fc.flowControl(), fcNone);
  EXPECT_EQ(fc.controlDTR(), dtrHandshake);
  fc.setControlRTS(rtsEnable);
  EXPECT_EQ(fc.flowControl(), fcCustom);
  fc.setFlowControl(fcNone);
  fc.setOutCTSFlow(true);
  EXPECT_EQ(fc.flowControl(), fcCustom);

  // fcCustom changes no switch, yet re-applies like every write of it.
  const int before = port.lineApplies;
  fc.setFlowControl(fcCustom);
  EXPECT_TRUE(fc.outCTSFlow());
  EXPECT_EQ(fc.controlRTS(), rtsDisable);
  EXPECT_EQ(port.lineApplies, before + 1);
  fc.setOutCTSFlow(true);  // unchanged value: no apply
  EXPECT_EQ(port.lineApplies, before + 1);
}

TEST_F(ComPortSettings, BufferSizesAreEvenAndSetTheXonLimits) {
  CountingPort port(loop);
  EXPECT_EQ(port.LineSettings().xonLimit, 256);
  port.buffer().setInputSize(1025);
  EXPECT_EQ(port.buffer().inputSize(), 1024);
  port.buffer().setInputSize(2048);
  EXPECT_EQ(port.LineSettings().xonLimit, 512);
  EXPECT_EQ(port.LineSettings().xoffLimit, 512);
  port.buffer().setOutputSize(7);
  EXPECT_EQ(port.buffer().outputSize(), 6);
  port.buffer().setOutputSize(-3);  // not positive: stored as given
  EXPECT_EQ(port.buffer().outputSize(), -3);
}

TEST_F(ComPortSettings, AssigningASettingsObjectCopiesAllAndAppliesOnce) {
  CountingPort port(loop);
  open(port);
  TComFlowControl edited = port.flowControl();  // a detached copy
  edited.setFlowControl(fcHardware);
  edited.setXonChar(1);
  EXPECT_EQ(port.flowControl().flowControl(), fcNone);

  const int before = port.lineApplies;
  port.setFlowControl(edited);
  EXPECT_EQ(port.lineApplies, before + 1);
  EXPECT_EQ(port.flowControl().flowControl(), fcHardware);
  EXPECT_EQ(port.flowControl().xonChar(), 1);
#ifndef _WIN32
  EXPECT_NE(pty.slaveTermios().c_cflag & CRTSCTS, 0u);
#endif

  TComParity parity;
  parity.setBits(prOdd);
  parity.setCheck(true);
  port.setParity(parity);
  EXPECT_EQ(port.parity().bits(), prOdd);
  EXPECT_TRUE(port.parity().check());
}

TEST_F(ComPortSettings, SyncMethodCannotChangeOnAnOpenPort) {
  TComPort port(loop);
  port.setSyncMethod(smWindowSync);
  EXPECT_EQ(port.syncMethod(), smWindowSync);
  open(port);
  try {
    port.setSyncMethod(smNone);
    FAIL() << "changed while open";
  } catch (const EComPort& e) {
    EXPECT_EQ(e.MessageCode, 14);
    EXPECT_EQ(e.SystemCode, -1);
    EXPECT_STREQ(e.what(), "Cannot set property while connected");
  }
  EXPECT_EQ(port.syncMethod(), smWindowSync);
  EXPECT_NO_THROW(port.setSyncMethod(smWindowSync));  // the same value is no change
  EXPECT_TRUE(port.connected());
}

TEST(EComPort, MessagesAndTheSystemCodeSuffix) {
  EXPECT_STREQ(EComPort(5, 25).what(), "PurgeComm function failed (win error code: 25)");
  EXPECT_STREQ(EComPort(16).what(), "Failed to store settings");
  EXPECT_STREQ(EComPort(23, 0).what(), "Registry error (win error code: 0)");
  EXPECT_EQ(ComErrorMessage(19), "Cannot change led state if ComPort is selected");
  EXPECT_EQ(ComErrorMessage(0), "");
  EXPECT_EQ(ComErrorMessage(24), "");
}

}  // namespace
