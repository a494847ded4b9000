// The serial setup dialog and its lists, driven through scripted dialogs, with
// ports on ptys and a device folder of the test's own.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <termios.h>
#endif

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "serial/ComPort.h"
#include "serial/ComSetupForm.h"
#include "serial/EComPort.h"
#include "support/Pty.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace fs = std::filesystem;
using serial::TComSetupFrm;
using testing_support::TempDir;

namespace {

struct ComSetupTest : ::testing::Test {
  ComSetupTest() {
    fs::create_directories(dir / "dev");
    // The scale's line is listed as a device of its own and mapped as COM1.
#ifndef _WIN32  // Windows lists its ports from the system, not from a device folder
    fs::create_symlink(scale.slavePath(), dir / "dev" / "ttyUSB0");
#endif
    TempDir::write(dir / "Kestrel.ini", "[Devices]\r\nCOM1=" + scale.slavePath() +
                                            "\r\nCOM2=" + (dir / "no-such-device").string() +
                                            "\r\nCOM10=" + scale.slavePath() + "\r\n");
    port.setDeviceMapFile((dir / "Kestrel.ini").string());
    port.setPort("COM1");
  }

  // Runs the dialog; `operate` plays the operator and says how it ends.
  void run(std::function<ui::ModalResult(TComSetupFrm&)> operate) {
    dialogs.onModal = [operate](ui::Form& form) { return operate(dynamic_cast<TComSetupFrm&>(form)); };
    left = serial::SetupExit::Closed;
    serial::RunSetupDialog(port, dialogs, left, dir.path().string());
  }
  static void pick(serial::TComComboBox& combo, const std::string& item) {
    const int i = combo.indexOf(item, false);
    ASSERT_GE(i, 0) << item;
    combo.select(i);
  }

  testing_support::Pty scale;
  TempDir dir;
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  // How the last dialog was left.
  serial::SetupExit left = serial::SetupExit::Closed;
  serial::TComPort port{loop, "ComPort1"};
};

TEST_F(ComSetupTest, ShowsThePortsSettingsInItsListsAndTexts) {
  port.setBaudRate(serial::br19200);
  port.setDataBits(serial::dbSeven);
  port.setStopBits(serial::sbTwoStopBits);
  port.parity().setBits(serial::prEven);
  // DSR flow plays no part in the flow control shown.
  port.flowControl().setControlRTS(serial::rtsHandshake);
  port.flowControl().setOutCTSFlow(true);
  port.flowControl().setOutDSRFlow(true);
  run([&](TComSetupFrm& f) {
    EXPECT_EQ(f.caption(), "RS-232 settings");
    EXPECT_EQ(f.GroupBox1.caption(), " Settings: ");
    EXPECT_EQ(f.Label6.caption(), "Flow control:");
    EXPECT_EQ(f.sbApply.caption(), "Zastosuj");
    EXPECT_FALSE(f.BitBtnApply.visible());
#ifdef _WIN32  // the system's own ports, which vary, and the mapped names
    const std::vector<std::string> listed = f.Combo1.items();
    for (const char* name : {"COM1", "COM10", "COM2"})
      EXPECT_NE(std::find(listed.begin(), listed.end(), name), listed.end()) << name;
#else
    EXPECT_EQ(f.Combo1.items(),
              (std::vector<std::string>{(dir / "dev" / "ttyUSB0").string(), "COM1", "COM10", "COM2"}));
#endif
    EXPECT_EQ(f.Combo2.items().size(), 16u);
    EXPECT_EQ(f.Combo2.items().front(), "Custom");
    EXPECT_EQ(f.Combo5.items(), (std::vector<std::string>{"None", "Odd", "Even", "Mark", "Space"}));
    EXPECT_EQ(f.Combo6.items(), (std::vector<std::string>{"Hardware", "Software", "None", "Custom"}));
    const std::vector<std::string> shown = {f.Combo1.text(), f.Combo2.text(), f.Combo3.text(),
                                            f.Combo4.text(), f.Combo5.text(), f.Combo6.text()};
    EXPECT_EQ(shown, (std::vector<std::string>{"COM1", "19200", "7", "2", "Even", "Hardware"}));
    EXPECT_EQ(f.Combo4.bounds(), (ui::Bounds{80, 88, 129, 21}));
    return ui::ModalResult::Cancel;
  });
  EXPECT_EQ(dialogs.modalForms, std::vector<std::string>{"ComSetupFrm"});
}

TEST_F(ComSetupTest, ApplyWritesEveryChoiceToTheOpenPortAtOnce) {
  port.Connect();
  run([&](TComSetupFrm& f) {
    pick(f.Combo1, "COM10");
    pick(f.Combo2, "38400");
    pick(f.Combo3, "7");
    pick(f.Combo4, "2");
    pick(f.Combo5, "Odd");
    pick(f.Combo6, "Software");
    // Nothing reaches the port before the apply button.
    EXPECT_EQ(port.baudRate(), serial::br9600);
    f.sbApply.click();
    return ui::ModalResult::Cancel;
  });
  EXPECT_EQ(left, serial::SetupExit::Applied);
  EXPECT_EQ(port.port(), "COM10");
  EXPECT_TRUE(port.connected());
  EXPECT_EQ(port.flowControl().flowControl(), serial::fcSoftware);
#ifndef _WIN32  // a COM pair cannot read back the far end's settings
  const termios t = scale.slaveTermios();
  EXPECT_EQ(scale.slaveSpeed(), 38400);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
#endif
  // A pty keeps 8 bits without parity whatever is asked; the port holds them.
  EXPECT_EQ(port.dataBits(), serial::dbSeven);
  EXPECT_EQ(port.parity().bits(), serial::prOdd);
#ifndef _WIN32
  EXPECT_TRUE(t.c_iflag & IXON);
#endif
}

TEST_F(ComSetupTest, CancelAndTheCloseBoxWriteNothing) {
  run([&](TComSetupFrm& f) {
    pick(f.Combo2, "110");
    return ui::ModalResult::Cancel;  // the close box
  });
  EXPECT_EQ(left, serial::SetupExit::Closed);
  run([&](TComSetupFrm& f) {
    pick(f.Combo2, "110");
    f.sbCancel.click();
    return ui::ModalResult::Ok;
  });
  EXPECT_EQ(left, serial::SetupExit::Cancelled);
  EXPECT_EQ(port.baudRate(), serial::br9600);
}

TEST_F(ComSetupTest, DevicesMissingFromTheListOrWrittenInSmallLetters) {
  // An unmapped COMn name is not listed: no selection, and applying keeps
  // the port's device rather than writing an empty name.
  port.setPort("COM7");
  run([&](TComSetupFrm& f) {
    EXPECT_EQ(f.Combo1.itemIndex(), -1);
    EXPECT_EQ(f.Combo1.text(), "");
    f.sbApply.click();
    return ui::ModalResult::Cancel;
  });
  EXPECT_EQ(port.port(), "COM7");

  // A listed name in small letters selects the item; applying writes it as listed.
  port.setPort("com10");
  run([&](TComSetupFrm& f) {
    EXPECT_EQ(f.Combo1.text(), "COM10");
    f.sbApply.click();
    return ui::ModalResult::Cancel;
  });
  EXPECT_EQ(port.port(), "COM10");
}

TEST_F(ComSetupTest, CustomSpeedAndCustomFlow) {
  port.flowControl().setXonXoffOut(true);
  port.flowControl().setXonXoffIn(true);
  port.Connect();
  run([&](TComSetupFrm& f) {
    pick(f.Combo2, "Custom");
    pick(f.Combo6, "Custom");
    f.sbApply.click();
    return ui::ModalResult::Cancel;
  });
  EXPECT_EQ(port.baudRate(), serial::brCustom);
#ifndef _WIN32
  EXPECT_EQ(scale.slaveSpeed(), port.customBaudRate());
#endif
  EXPECT_EQ(port.customBaudRate(), 9600);
  // "Custom" flow leaves the switches as they were.
  EXPECT_EQ(port.flowControl().flowControl(), serial::fcSoftware);
#ifndef _WIN32
  EXPECT_TRUE(scale.slaveTermios().c_iflag & IXON);
#endif
}

TEST_F(ComSetupTest, FailuresOfTheListAndOfTheApply) {
#ifndef _WIN32  // Windows lists its ports without a device folder
  // No device folder: code 23, and no dialog is shown.
  fs::remove_all(dir / "dev");
  try {
    run([](TComSetupFrm&) { return ui::ModalResult::Ok; });
    FAIL() << "no device list, yet the dialog ran";
  } catch (const serial::EComPort& e) {
    EXPECT_EQ(e.MessageCode, serial::CError_RegError);
    EXPECT_EQ(e.SystemCode, ENOENT);
  }
  EXPECT_TRUE(dialogs.modalForms.empty());
#endif

  // A device that will not reopen stops the batch: the speed after it is not
  // written, and the port takes settings again afterwards.
  fs::create_directories(dir / "dev");
  port.Connect();
  try {
    run([&](TComSetupFrm& f) {
      pick(f.Combo1, "COM2");
      pick(f.Combo2, "57600");
      f.sbApply.click();
      return ui::ModalResult::Cancel;
    });
    FAIL() << "the missing device opened";
  } catch (const serial::EComPort& e) {
    EXPECT_EQ(e.MessageCode, serial::CError_OpenFailed);
  }
  EXPECT_EQ(left, serial::SetupExit::Applied);
  EXPECT_EQ(port.baudRate(), serial::br9600);
  EXPECT_FALSE(port.connected());
  port.setPort("COM1");
  port.Connect();
  port.setBaudRate(serial::br19200);
#ifndef _WIN32
  EXPECT_EQ(scale.slaveSpeed(), 19200);
#endif
}

TEST(ComComboBox, PicksTextAndAutoApply) {
  platform::ManualEventLoop loop;
  serial::TComPort port(loop);
  serial::TComComboBox combo("Combo");
  combo.setComProperty(serial::cpParity);
  // Unbound, the first item is selected.
  EXPECT_EQ(combo.text(), "None");
  combo.setComPort(&port);
  // Text selects ignoring case and leaves the pending value alone.
  combo.setText("mark");
  EXPECT_EQ(combo.text(), "Mark");
  EXPECT_EQ(combo.pending().Parity, serial::prNone);
  combo.setText("nothing");
  EXPECT_EQ(combo.text(), "Mark");
  int changes = 0;
  combo.onChange = [&] {
    ++changes;
    EXPECT_EQ(port.parity().bits(), serial::prSpace);  // applied before the notice
  };
  combo.setAutoApply(true);
  combo.select(combo.indexOf("Space", false));
  EXPECT_EQ(changes, 1);
  combo.setComPort(nullptr);
  EXPECT_EQ(combo.text(), "None");
}

// The device list shows a port's description when the system has one, the
// name alone otherwise; what is picked and stored is always the name.
TEST(ComComboBox, PortDescriptionsAreShownWithTheName) {
  EXPECT_EQ(serial::PortListText("COM3", ""), "COM3");
  EXPECT_EQ(serial::PortListText("COM3", "USB-SERIAL CH340 (COM3)"), "USB-SERIAL CH340 (COM3)");
  // Not fooled by a longer name that starts alike; UTF-8 shown as Windows-1250.
  EXPECT_EQ(serial::PortListText("COM1", "Port komunikacyjny łącza (COM10)"),
            platform::pl("Port komunikacyjny łącza (COM10) (COM1)"));
}

}  // namespace
