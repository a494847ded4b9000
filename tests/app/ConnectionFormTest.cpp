// The connection settings dialog, shown from the main window's menu on the
// manual loop, with the serial port mapped to a pty.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/TForm1.h"
#include "config/TConnectionForm.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "serial/ComSetupForm.h"
#include "support/Pty.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using platform::pl;
using testing_support::TempDir;

namespace {

const std::string kOpenFailed = pl("Wskazany port COM nie istnieje lub jest zajęty przez inny program");

struct ConnectionFormTest : ::testing::Test {
  ConnectionFormTest() {
    // COM7 and COM12 lead to the scale's line; COM8 names no device.
    TempDir::write(dir / "Kestrel.ini", "[Devices]\r\nCOM7=" + scale.slavePath() +
                                            "\r\nCOM12=" + scale.slavePath() +
                                            "\r\nCOM8=" + (dir / "no-such-device").string() + "\r\n");
    std::filesystem::create_directories(dir / "root" / "dev");
    form = std::make_unique<app::TForm1>(app::MainWindowServices{loop, dialogs, dir.path(), [] {}});
    form->FormCreate();
    form->ComPort1.setPort("COM7");
    connection = std::make_unique<config::TConnectionForm>(form->ConfigOptions, form->ComPort1,
                                                           form->btnOpenPort, dialogs);
    connection->deviceRoot = (dir / "root").string();
    form->ConnectionForm = connection.get();
  }

  // Opens the dialog from the menu; `operate` plays the operator while it is shown.
  void showDialog(std::function<void(config::TConnectionForm&)> operate) {
    dialogs.onModal = [this, operate](ui::Form& shown) {
      if (&shown == connection.get()) operate(*connection);
      return ui::ModalResult::Cancel;
    };
    form->Terso1Click();
  }

  testing_support::Pty scale;
  TempDir dir;
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  std::unique_ptr<app::TForm1> form;
  std::unique_ptr<config::TConnectionForm> connection;
};

TEST_F(ConnectionFormTest, ShowsTheLinkKindItsGroupAndTheSettings) {
  form->ConfigOptions.ConnectionKind = config::kEthernetConnection;
  form->ConfigOptions.Host = "10.0.0.5";
  form->ConfigOptions.Port = 4001;
  form->ComPort1.setPort("COM12");
  form->ComPort1.setBaudRate(serial::br19200);
  connection->onShow();
  EXPECT_EQ(connection->rgConnection.itemIndex(), 1);
  EXPECT_TRUE(connection->gbEthernet.visible());
  EXPECT_FALSE(connection->gbSerialPort.visible());
  EXPECT_EQ(connection->EditIP.text(), "10.0.0.5");
  EXPECT_EQ(connection->EditPort.text(), "4001");
  EXPECT_EQ(connection->EditCOM.text(), "12");
  EXPECT_EQ(connection->cbBaudRate.text(), "19200");
  EXPECT_EQ(connection->bounds(), (ui::Bounds{0, 0, 329, 225}));
  EXPECT_EQ(connection->gbEthernet.bounds(), connection->gbSerialPort.bounds());

  // The operator switches back to the serial port: only its group shows.
  connection->rgConnection.select(0);
  EXPECT_TRUE(connection->gbSerialPort.visible());
  EXPECT_FALSE(connection->gbEthernet.visible());

  // Speeds the list lacks show "4800"; unlisted in the list's text too.
  for (serial::TBaudRate rate : {serial::br14400, serial::br56000, serial::br128000, serial::brCustom}) {
    form->ComPort1.setBaudRate(rate);
    connection->GetCOMPortSettings();
    EXPECT_EQ(connection->cbBaudRate.text(), "4800") << rate;
  }
  // Only the first "COM" goes, as typed in capitals.
  form->ComPort1.setPort("COM/dev/COM1");
  connection->GetCOMPortSettings();
  EXPECT_EQ(connection->EditCOM.text(), "/dev/COM1");
  form->ComPort1.setPort("com3");
  connection->GetCOMPortSettings();
  EXPECT_EQ(connection->EditCOM.text(), "com3");

  // The arrows step the number within 1 to 255.
  connection->EditCOM.setText("255");
  connection->UpDownCOM.click(true);
  EXPECT_EQ(connection->EditCOM.text(), "255");
  connection->UpDownCOM.click(false);
  EXPECT_EQ(connection->EditCOM.text(), "254");
}

TEST_F(ConnectionFormTest, ApplyTakesEveryFieldAndOpensTheLink) {
  form->ComPort1.setBaudRate(serial::br14400);
  showDialog([](config::TConnectionForm& d) {
    // "4800" stands for the unlisted 14400; applying it unchanged sets 4800.
    EXPECT_EQ(d.cbBaudRate.text(), "4800");
    d.EditIP.setText("192.168.1.20");
    d.EditPort.setText("port");
    d.sbApply.click();
  });
  EXPECT_EQ(form->ComPort1.baudRate(), serial::br4800);
  EXPECT_EQ(form->ConfigOptions.Host, "192.168.1.20");
  EXPECT_EQ(form->ConfigOptions.Port, 1001);
  EXPECT_EQ(form->ConfigOptions.ConnectionKind, config::kSerialConnection);
  EXPECT_TRUE(form->ComPort1.connected());
  EXPECT_EQ(form->LinkState, app::LinkOpen);
#ifndef _WIN32  // a COM pair cannot read back the line speed
  EXPECT_EQ(scale.slaveSpeed(), 4800);
#endif
  EXPECT_TRUE(dialogs.messages.empty());

  // Shown again: the open link closes first; speeds without a rate give 9600;
  // 0 is stored as typed; COM12 goes back as it came.
  form->ComPort1.setPort("COM12");
  showDialog([](config::TConnectionForm& d) {
    EXPECT_EQ(d.EditCOM.text(), "12");
    d.cbBaudRate.select(d.cbBaudRate.indexOf("921600", false));
    d.EditPort.setText("0");
    d.sbApply.click();
  });
  EXPECT_FALSE(dialogs.modalForms.empty());
  EXPECT_EQ(form->ComPort1.port(), "COM12");
  EXPECT_EQ(form->SavedPort, "COM12");
  EXPECT_EQ(form->ComPort1.baudRate(), serial::br9600);
  EXPECT_EQ(form->ConfigOptions.Port, 0);
  EXPECT_TRUE(form->ComPort1.connected());
#ifndef _WIN32  // a COM pair cannot read back the line speed
  EXPECT_EQ(scale.slaveSpeed(), 9600);
#endif
}

TEST_F(ConnectionFormTest, CancelChangesNothingAndReopensTheLink) {
  form->ConfigOptions.Host = "10.1.1.1";
  form->ConfigOptions.Port = 23;
  form->ComPort1.setBaudRate(serial::br19200);
  showDialog([](config::TConnectionForm& d) {
    d.rgConnection.select(1);
    d.EditIP.setText("1.2.3.4");
    d.EditPort.setText("99");
    d.EditCOM.setText("8");
    d.cbBaudRate.select(0);
    d.sbCancel.click();
  });
  EXPECT_EQ(connection->modalResult(), ui::ModalResult::Cancel);
  EXPECT_EQ(form->ConfigOptions.ConnectionKind, config::kSerialConnection);
  EXPECT_EQ(form->ConfigOptions.Host, "10.1.1.1");
  EXPECT_EQ(form->ConfigOptions.Port, 23);
  EXPECT_EQ(form->ComPort1.port(), "COM7");
  EXPECT_EQ(form->ComPort1.baudRate(), serial::br19200);
  // The link was closed before; the dialog's button opened it, and the
  // menu then saw it open.
  EXPECT_TRUE(form->ComPort1.connected());
#ifndef _WIN32  // a COM pair cannot read back the line speed
  EXPECT_EQ(scale.slaveSpeed(), 19200);
#endif
  EXPECT_TRUE(dialogs.messages.empty());
}

// The dialog's apply button tries the port; the menu item does not try it a
// second time after the dialog, so the operator sees one box.
TEST_F(ConnectionFormTest, APortThatWillNotOpenIsSaidOnce) {
  showDialog([](config::TConnectionForm& d) {
    d.EditCOM.setText("8");
    d.sbApply.click();
  });
  EXPECT_EQ(form->ComPort1.port(), "COM8");
  EXPECT_FALSE(form->ComPort1.connected());
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, kOpenFailed);
}

TEST_F(ConnectionFormTest, TheAdvancedButtonRefreshesFromWhatTheSetupApplied) {
  std::filesystem::create_directories(dir / "root" / "dev");
  dialogs.onModal = [this](ui::Form& shown) {
    auto* setup = dynamic_cast<serial::TComSetupFrm*>(&shown);
    if (!setup) return ui::ModalResult::Cancel;
    setup->Combo1.select(setup->Combo1.indexOf("COM12", false));
    setup->Combo2.select(setup->Combo2.indexOf("57600", false));
    setup->sbApply.click();
    return ui::ModalResult::Cancel;
  };
  connection->onShow();
  connection->sbSerialAdvanced.click();
  EXPECT_TRUE(connection->setupApplied());
  EXPECT_EQ(form->ComPort1.port(), "COM12");
  EXPECT_EQ(connection->EditCOM.text(), "12");
  EXPECT_EQ(connection->cbBaudRate.text(), "57600");

  // The close box leaves the last answer as it was (the port's settings are
  // shown again); the cancel button clears it.
  for (const bool cancel : {false, true}) {
    dialogs.onModal = [cancel](ui::Form& shown) {
      auto* setup = dynamic_cast<serial::TComSetupFrm*>(&shown);
      if (setup && cancel) setup->sbCancel.click();
      return ui::ModalResult::Cancel;
    };
    connection->EditCOM.setText("5");
    connection->sbSerialAdvanced.click();
    EXPECT_EQ(connection->setupApplied(), !cancel);
    EXPECT_EQ(connection->EditCOM.text(), cancel ? "5" : "12");
  }

#ifndef _WIN32  // Windows lists its ports from the system, not from a device folder
  // A setup dialog that cannot list the devices is absorbed.
  connection->deviceRoot = (dir / "missing").string();
  connection->EditCOM.setText("5");
  EXPECT_NO_THROW(connection->sbSerialAdvanced.click());
  EXPECT_EQ(connection->EditCOM.text(), "5");
#endif
}

}  // namespace
