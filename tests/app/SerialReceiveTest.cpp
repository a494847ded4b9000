// The serial receive event of the main window: bytes from a pty reach the
// panes through ComPort1's event thread, or the capture file in fast-write
// mode; a reply cancels the reply timeout.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "app/TForm1.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "support/Pty.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"
#include "support/Wine.h"

using namespace std::chrono_literals;
using platform::pl;

namespace {

struct SerialReceiveFixture : ::testing::Test {
  SerialReceiveFixture() {
    form = std::make_unique<app::TForm1>(app::MainWindowServices{loop, dialogs, dir.path(), [] {}});
    form->FormCreate();
    form->ComPort1.setPort(scale.slavePath());
  }

  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  testing_support::TempDir dir;
  testing_support::Pty scale;
  std::unique_ptr<app::TForm1> form;
};

TEST_F(SerialReceiveFixture, BytesFromTheScaleReachBothPanesAndCancelTheReplyTimeout) {
  form->ComPort1.Connect();
  form->Timer2->setInterval(3000);
  scale.send("12.5\r\n");
  ASSERT_TRUE(loop.runUntil([&] { return form->Memo1.text() == "12.5\r\n"; }, 2s));
  EXPECT_EQ(form->Memo2.text(), "31 32 2E 35 0D 0A\r\n  ");
  EXPECT_EQ(form->Timer2->interval(), 0);
  EXPECT_EQ(form->Bytes.replyCount(), 1);

  // The reply timeout is cancelled only by bytes actually read: a read that
  // fails (the port is closed) changes nothing.
  form->ComPort1.Disconnect();
  form->Timer2->setInterval(3000);
  form->ComPort1RxChar(form->ComPort1, 5);
  EXPECT_EQ(form->Timer2->interval(), 3000);
  EXPECT_EQ(form->Memo1.text(), "12.5\r\n");
}

TEST_F(SerialReceiveFixture, InFastWriteModeTheBytesGoToTheCaptureFileInstead) {
  const auto capture = dir / "capture.txt";
  form->FastWrite.setChecked(true);
  form->ComPort1.Connect();

  // Without a chosen file the panes take the bytes.
  scale.send("A\n");
  ASSERT_TRUE(loop.runUntil([&] { return form->Memo1.text() == "A\r\n"; }, 2s));

  form->Capture.choose(capture.string());
  scale.send("7.25 kg\r\n");
  // Closing the capture file writes out what it holds; a later chunk appends.
  EXPECT_TRUE(loop.runUntil(
      [&] {
        form->Capture.CloseCaptureFile();
        return testing_support::TempDir::read(capture) == "7.25 kg\r\n";
      },
      2s));
  EXPECT_EQ(form->Memo1.text(), "A\r\n");
}

TEST_F(SerialReceiveFixture, APulledAdapterShowsTheLinkClosedAndKeepsWhatWasReceived) {
  if (testing_support::runningUnderWine()) GTEST_SKIP() << "a COM port under Wine does not vanish with its far end";
  form->btnOpenPortClick();
  ASSERT_TRUE(form->ComPort1.connected());
  scale.send("1.5 g\r\n");
  ASSERT_TRUE(loop.runUntil([&] { return form->Memo1.text() == "1.5 g\r\n"; }, 2s));

  scale.closeMaster();
  ASSERT_TRUE(loop.runUntil([&] { return !form->ComPort1.connected(); }, 2s));
  const std::string& label = form->LabelConnection.caption();
  const std::string closed = pl(" zamknięty");
  ASSERT_GE(label.size(), closed.size());
  EXPECT_EQ(label.substr(label.size() - closed.size()), closed);
  EXPECT_EQ(form->btnOpenPort.caption(), pl("&Otwórz port"));
  EXPECT_EQ(form->Memo1.text(), "1.5 g\r\n");
}

}  // namespace
