// The connection dialog and the serial setup dialog behind it as real Qt
// dialogs on the offscreen platform: values picked through the widgets reach
// a port on a pty.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <string>

#include "app/TForm1.h"
#include "config/TConnectionForm.h"
#include "platform/qt/QtEventLoop.h"
#include "serial/ComSetupForm.h"
#include "support/Pty.h"
#include "support/TempDir.h"
#include "support/WhenShown.h"
#include "ui/qt/FormDialog.h"
#include "ui/qt/QtDialogs.h"

// The setup dialog lists the devices of a device folder and the pty reads
// back the speed set, both POSIX's: Windows lists its ports from the system.
#ifndef _WIN32
namespace {

using testing_support::TempDir;
using testing_support::whenShown;

// The operator's pick in a drop-down list.
void pick(QComboBox* combo, const QString& item) {
  ASSERT_NE(combo, nullptr);
  const int i = combo->findText(item);
  ASSERT_GE(i, 0) << item.toStdString();
  combo->setCurrentIndex(i);
  emit combo->activated(i);
}

TEST(ConnectionDialogView, PicksThroughBothDialogsReachThePort) {
  testing_support::Pty scale;
  TempDir dir;
  std::filesystem::create_directories(dir / "root" / "dev");
  const std::string device = (dir / "root" / "dev" / "ttyUSB0").string();
  std::filesystem::create_symlink(scale.slavePath(), device);

  platform::QtEventLoop loop;
  ui::qt::QtDialogs dialogs(loop);
  app::TForm1 form({loop, dialogs, dir.path(), [] {}});
  form.FormCreate();
  config::TConnectionForm connection(form.ConfigOptions, form.ComPort1, form.btnOpenPort, dialogs);
  connection.deviceRoot = (dir / "root").string();
  form.ConnectionForm = &connection;

  bool connectionShown = false;
  bool setupShown = false;
  whenShown("ConnectionForm", [&](ui::qt::FormDialog* d) {
    connectionShown = true;
    EXPECT_EQ(d->windowTitle(), QString::fromUtf8("Ustawienia połączenia"));
    EXPECT_TRUE(d->widgetFor(connection.gbSerialPort)->isVisible());
    EXPECT_FALSE(d->widgetFor(connection.gbEthernet)->isVisible());
    auto* speeds = qobject_cast<QComboBox*>(d->widgetFor(connection.cbBaudRate));
    ASSERT_NE(speeds, nullptr);
    EXPECT_EQ(speeds->count(), 20);
    EXPECT_EQ(speeds->currentText(), "9600");
    EXPECT_EQ(qobject_cast<QLineEdit*>(d->widgetFor(connection.EditIP))->maxLength(), 15);
    EXPECT_EQ(qobject_cast<QLineEdit*>(d->widgetFor(connection.EditPort))->maxLength(), 5);

    whenShown("ComSetupFrm", [&](ui::qt::FormDialog* s) {
      setupShown = true;
      EXPECT_EQ(s->windowTitle(), "RS-232 settings");
      auto* devices = s->findChild<QComboBox*>("Combo1");
      ASSERT_NE(devices, nullptr);
      EXPECT_EQ(devices->currentIndex(), -1);  // COM1 is not mapped here
      pick(devices, QString::fromStdString(device));
      pick(s->findChild<QComboBox*>("Combo2"), "19200");
      pick(s->findChild<QComboBox*>("Combo5"), "Even");
      s->findChild<QPushButton*>("sbApply")->click();
    });
    qobject_cast<QPushButton*>(d->widgetFor(connection.sbSerialAdvanced))->click();

    // The setup dialog's choices are shown here now.
    EXPECT_EQ(speeds->currentText(), "19200");
    EXPECT_EQ(connection.EditCOM.text(), device);
    qobject_cast<QPushButton*>(d->widgetFor(connection.sbApply))->click();
  });
  form.Terso1Click();

  EXPECT_TRUE(connectionShown);
  EXPECT_TRUE(setupShown);
  EXPECT_TRUE(connection.setupApplied());
  EXPECT_EQ(form.ComPort1.port(), "COM" + device);
  EXPECT_EQ(form.ComPort1.baudRate(), serial::br19200);
  EXPECT_EQ(form.ComPort1.parity().bits(), serial::prEven);
  EXPECT_TRUE(form.ComPort1.connected());
  EXPECT_EQ(form.LinkState, app::LinkOpen);
  EXPECT_EQ(scale.slaveSpeed(), 19200);
  form.ComPort1.Disconnect();
}

}  // namespace
#endif
