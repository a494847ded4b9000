#pragma once
// The orders editor wired to a host on the manual loop (a stand-in for the
// main window here, the main window itself in the window's tests), with
// scripted dialogs and a temporary folder for the orders files.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "automatic/DecimalNumbers.h"
#include "automatic/EditorHost.h"
#include "automatic/TForm2.h"
#include "config/ConfigOptions.h"
#include "platform/ManualEventLoop.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace automatic_test {

using Row = std::vector<std::string>;

// What the editor needs of the main window, and no more: the serial port a
// new row goes to is COM3.
class HostStub : public automatic::EditorHost {
 public:
  // The main window's services, as far as the editor uses them.
  struct Services {
    platform::EventLoop& loop;
    ui::Dialogs& dialogs;
    std::filesystem::path programDir;
    std::function<void()> terminate;
  };
  explicit HostStub(Services services) : dialogs_(services.dialogs) {}

  void setOrdersEditor(automatic::TForm2* editor,
                       std::function<std::vector<automatic::OrderKeyRow>()>) override {
    editor_ = editor;
  }
  automatic::TForm2* ordersEditor() const override { return editor_; }
  void setNotificationWindow(automatic::TRemainingForm* window) override { notification_ = window; }
  automatic::TRemainingForm* notificationWindow() const override { return notification_; }
  ui::Dialogs& dialogs() override { return dialogs_; }
  std::string captureFileName() const override { return captureFile; }
  ui::Rgb captureFileColor() const override { return ui::Color::Black; }
  void chooseCaptureFile(const std::string& name) override { captureFile = name; }
  std::string& ordersFileName() override { return ConfigOptions.OrdersFileName; }
  std::string serialPortName() const override { return "COM3"; }

  std::string captureFile;
  config::TConfigOptions ConfigOptions;

 private:
  ui::Dialogs& dialogs_;
  automatic::TForm2* editor_ = nullptr;
  automatic::TRemainingForm* notification_ = nullptr;
};

template <typename Host>
struct EditorFixtureOn : ::testing::Test {
  EditorFixtureOn() { automatic::setDecimalSeparator('.'); }

  // Puts orders into rows 1.. of the grid (replacing what it held).
  void fill(const std::vector<Row>& rows) {
    ui::StringGrid& grid = form2.StringGrid1;
    grid.setRowCount(2);
    grid.setRowCells(1, {});
    grid.setRowCount(static_cast<int>(rows.size()) + 1);
    for (std::size_t i = 0; i < rows.size(); ++i) grid.setRowCells(static_cast<int>(i) + 1, rows[i]);
  }
  // Rows 1.. of the grid.
  std::vector<Row> rows() const {
    std::vector<Row> result;
    for (int r = 1; r < form2.StringGrid1.rowCount(); ++r) result.push_back(form2.StringGrid1.rowCells(r));
    return result;
  }
  // Five numbered orders "A" to "E".
  void fiveOrders() {
    fill({{"1", "A", "5", "s", "1", "3", ""},
          {"2", "B", "5", "s", "1", "3", ""},
          {"3", "C", "5", "s", "1", "3", ""},
          {"4", "D", "5", "s", "1", "3", ""},
          {"5", "E", "5", "s", "1", "3", ""}});
  }
  // Orders file names are Windows-1250; these are ASCII paths.
  std::string path(const std::string& name) const { return (dir / name).string(); }
  std::string read(const std::string& name) const { return testing_support::TempDir::read(dir / name); }
  void write(const std::string& name, const std::string& bytes) const {
    testing_support::TempDir::write(dir / name, bytes);
  }

  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  testing_support::TempDir dir;
  Host form1{{loop, dialogs, dir.path(), [] {}}};
  automatic::TForm2 form2{form1};
};

using EditorFixture = EditorFixtureOn<HostStub>;

}  // namespace automatic_test
