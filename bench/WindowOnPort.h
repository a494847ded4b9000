#pragma once
// The real main window of a benchmark: Qt's event loop, the window shown on
// the offscreen platform with both panes, and its serial port opened on a
// device (a pty's slave) through the port name COM7.
#include <QApplication>
#include <cstdlib>
#include <memory>
#include <string>

#include "app/TForm1.h"
#include "platform/qt/QtEventLoop.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "ui/qt/FormWindow.h"

namespace bench_support {

class WindowOnPort {
 public:
  explicit WindowOnPort(const std::string& device) : settings_(device) {
    form.FormCreate();
    form.ComPort1.setPort("COM7");
    window = std::make_unique<ui::qt::FormWindow>(form, loop);
    window->resize(1000, 700);
    window->show();
  }
  // Opens the port and lets the window take in what that changed.
  void open() {
    form.ComPort1.Connect();
    QApplication::processEvents();
  }
  const testing_support::TempDir& dir() const { return settings_.dir; }

 private:
  // Fresh options and a settings folder that maps COM7 to the device.
  struct Settings {
    explicit Settings(const std::string& device) {
      testing_support::TempDir::write(dir / "Kestrel.ini", "[Devices]\r\nCOM7=" + device + "\r\n");
      // TERSO_BENCH_EVERY_ROW=1: every row with a weight is a reading, kept
      // in the readings journal beside the settings.
      if (const char* everyRow = std::getenv("TERSO_BENCH_EVERY_ROW"); everyRow && std::string(everyRow) == "1")
        testing_support::TempDir::write(dir / "terso.ini", "[Readings]\r\nEveryRow=1\r\n");
    }
    testing_support::TempDir dir;
  };
  Settings settings_;

 public:
  platform::QtEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  app::TForm1 form{{loop, dialogs, settings_.dir.path(), [] {}}};
  std::unique_ptr<ui::qt::FormWindow> window;
};

}  // namespace bench_support
