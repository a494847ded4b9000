#pragma once
// The main window on the manual loop with its serial port mapped to a pty, and
// the Ethernet link, the connection dialog and the line error query replaced by
// recorders, for the send and connection state tests.
#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/TForm1.h"
#include "platform/ManualEventLoop.h"
#include "support/DeviceMap.h"
#include "support/Pty.h"
#include "support/RecordingForm.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace testing_support {

struct LinkFixture : ::testing::Test {
  LinkFixture() {
    // COM7 is the scale's line; COM8 names no device.
    writeDeviceMap(dir.path(), {{"COM7", scale.slavePath()}, {"COM8", (dir / "no-such-device").string()}});
    loop.setErrorReport([this](const std::string& message) { dialogs.showError(message); });
  }

  std::unique_ptr<RecordingForm> create(const std::string& port = "COM7") {
    auto form = std::make_unique<RecordingForm>(app::MainWindowServices{loop, dialogs, dir.path(), [] {}});
    form->FormCreate();
    form->ComPort1.setPort(port);
    return form;
  }

  // What the operator does runs through the loop's dispatch, as in the view:
  // an error no handler absorbs reaches the general error report.
  void operatorDoes(const std::function<void()>& action) { loop.dispatch(action); }

  // Types a text into the send line and presses the button.
  void send(app::TForm1& form, const std::string& text) {
    form.Edit1.setText(text);
    operatorDoes([&] { form.btnWyslij.click(); });
  }

  // What the scale has received: waits (bounded) until `count` bytes arrived.
  std::string wire(std::size_t count) { return scale.receive(2000, count); }

  static void useEthernet(app::TForm1& form, std::uint8_t linkState) {
    form.ConfigOptions.ConnectionKind = config::kEthernetConnection;
    form.ConfigOptions.Host = "127.0.0.1";
    form.ConfigOptions.Port = 1001;
    form.OnUpdatePortMessage(linkState);
  }

  testing_support::Pty scale;
  testing_support::TempDir dir;
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
};

}  // namespace testing_support
