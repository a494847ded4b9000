// The program against the pretend scale over a pty: a manual send, an
// automatic measurement of a saved orders file, and the scale going away in
// the middle of a run, and the session ending by a signal in the middle of a
// run that writes its capture file fast.
#include <signal.h>

#include <filesystem>

#include "platform/StopSignals.h"

#include "ScaleThread.h"
#include "WindowFixture.h"

namespace e2e {
namespace {

using platform::pl;
using testing_support::TempDir;

struct SerialEndToEnd : WindowFixture {
  ScaleThread scale;
};

TEST_F(SerialEndToEnd, AManualSendShowsTheReplyInBothPanes) {
  start(scale.slavePath());
  click(form1->btnOpenPort);
  ASSERT_TRUE(serveUntil([&] {
    return shown(form1->LabelConnection) == QString::fromUtf8("COM7 9600bps otwarty");
  })) << shown(form1->LabelConnection).toStdString();

  typeAndSend("SI");
  ASSERT_TRUE(serveUntil([&] { return form1->Bytes.replyCount() == 1; }));
  EXPECT_EQ(form1->Edit1.text(), "SI");
  EXPECT_NE(form1->Memo1.text().find("S S     123.45 g"), std::string::npos) << form1->Memo1.text();
  EXPECT_NE(form1->Memo2.text().find("53 20 53 20"), std::string::npos) << form1->Memo2.text();
  EXPECT_TRUE(serveUntil([&] { return shown(form1->StaticText6) == QString::fromUtf8("Odpowiedzi: 1 / 1"); }))
      << shown(form1->StaticText6).toStdString();

  // An order the scale does not know gets its error line.
  typeAndSend("XY");
  ASSERT_TRUE(serveUntil([&] { return form1->Bytes.replyCount() == 2; }));
  EXPECT_NE(form1->Memo1.text().find("ES"), std::string::npos);

  click(form1->btnOpenPort);
  EXPECT_TRUE(serveUntil([&] { return form1->LinkState == app::LinkClosed; }));
  EXPECT_TRUE(dialogs.errors.empty());
}

TEST_F(SerialEndToEnd, AnAutomaticMeasurementLeavesEveryReplyInTheCaptureFile) {
  const std::string orders = (dir / "rozkazy.xml").string();
  const std::string capture = (dir / "wyniki.txt").string();
  // Two passes of: the capture file, a weighing, a pause, another weighing;
  // then one alert. A "repeat" row's time is the order it goes back to.
  saveOrders(orders, {{"1", "file", "0.1", "s", "1", capture, ""},
                      {"2", "S", "0.2", "s", "1", "7", "9600"},
                      {"3", "wait", "0.1", "s", "1", "", ""},
                      {"4", "S", "0.2", "s", "1", "7", "9600"},
                      {"5", "repeat", "1", "s", "2", "", ""},
                      {"6", "beep", "0.1", "s", "1", "", ""}});
  ASSERT_FALSE(::testing::Test::HasFatalFailure());
  start(scale.slavePath(), orders);
  ASSERT_EQ(form2->StringGrid1.cell(automatic::colOrder, 6), "beep");

  window->actionFor(form1->Automatyczny1)->trigger();
  // The run ends after its last order; the last reply may come a moment later.
  const std::string finished = pl("Pomiar automatyczny zakończony");
  ASSERT_TRUE(serveUntil([&] {
    return form1->StaticText5.caption().rfind(finished, 0) == 0 &&
           fileLines(TempDir::read(capture)).size() >= 4;
  })) << form1->StaticText5.caption()
      << " " << form1->Bytes.replyCount() << " " << report();
  EXPECT_EQ(form1->SentCount, 4);
  EXPECT_EQ(form1->LabelFileName.caption(), capture);
  EXPECT_EQ(fileLines(TempDir::read(capture)), nextWeights(4)) << TempDir::read(capture);
  EXPECT_EQ(beeps, 1);
  EXPECT_TRUE(remaining->showing());
  EXPECT_TRUE(dialogs.errors.empty());
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SerialEndToEnd, TheScaleGoingAwayMidRunLeavesTheProgramResponsiveAndTheFileIntact) {
  const std::string orders = (dir / "rozkazy.xml").string();
  const std::string capture = (dir / "wyniki.txt").string();
  // Weighs until stopped.
  saveOrders(orders, {{"1", "file", "0.1", "s", "1", capture, ""},
                      {"2", "S", "0.1", "s", "1", "7", "9600"},
                      {"3", "repeat", "1", "s", "0", "", ""}});
  ASSERT_FALSE(::testing::Test::HasFatalFailure());
  start(scale.slavePath(), orders);
  window->actionFor(form1->Automatyczny1)->trigger();
  ASSERT_TRUE(serveUntil([&] { return form1->Bytes.replyCount() >= 3; }))
      << form1->StaticText5.caption() << report();

  scale.stop();
  ASSERT_TRUE(serveUntil([&] {
    return shown(form1->LabelConnection) == QString::fromUtf8("COM7 9600bps zamknięty");
  })) << shown(form1->LabelConnection).toStdString();
  EXPECT_EQ(form1->LinkState, app::LinkClosed);
  // The run has ended by itself, saying once that the port was lost.
  EXPECT_NE(form1->StaticText5.caption().find(pl("przerwany")), std::string::npos)
      << form1->StaticText5.caption();
  EXPECT_FALSE(form1->Button6.visible());
  ASSERT_EQ(dialogs.messages.size(), 1u) << report();
  EXPECT_EQ(dialogs.messages[0].text.rfind(pl("Utracono połączenie z portem COM7"), 0), 0u) << report();
  expectResponsive();

  expectCaptureHoldsTheReplies(*form1, capture);
}

TEST_F(SerialEndToEnd, EachSessionEndSignalMidRunLeavesEveryReplyInTheFastWrittenCaptureFile) {
  for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
    SCOPED_TRACE(signal);
    ScaleThread ownScale;
    const std::string orders = (dir / ("rozkazy" + std::to_string(signal) + ".xml")).string();
    const std::string capture = (dir / ("wyniki" + std::to_string(signal) + ".txt")).string();
    saveOrders(orders, {{"1", "file", "0.1", "s", "1", capture, ""},
                        {"2", "S", "0.05", "s", "1", "7", "9600"},
                        {"3", "repeat", "1", "s", "0", "", ""}});
    ASSERT_FALSE(::testing::Test::HasFatalFailure());
    start(ownScale.slavePath(), orders);
    window->actionFor(form1->FastWrite)->trigger();
    platform::StopSignals sessionEnd(loop, [this] { form1->EndSession(); });
    window->actionFor(form1->Automatyczny1)->trigger();
    ASSERT_TRUE(serveUntil([&] { return form1->Capture.fastWriteActive() && form1->SentCount >= 5; }))
        << form1->StaticText5.caption() << report();
    const int before = terminated;
    ASSERT_EQ(::kill(::getpid(), signal), 0);
    ASSERT_TRUE(serveUntil([&] { return terminated == before + 1; }));
    // The file is closed: what it holds now is all the run gave it, a reply
    // to every send but the last one or two (still on their way when the port
    // closed), in order, each as the scale sent it.
    const std::vector<std::string> lines = fileLines(TempDir::read(capture));
    EXPECT_GE(static_cast<int>(lines.size()), form1->SentCount - 2);
    EXPECT_LE(static_cast<int>(lines.size()), form1->SentCount);
    EXPECT_EQ(lines, nextWeights(static_cast<int>(lines.size())));
    EXPECT_TRUE(dialogs.errors.empty()) << report();
    // The next pass builds the windows anew: these go first, in the order
    // the fixture's end takes them.
    remainingWindow.reset();
    window.reset();
    remaining.reset();
    form2.reset();
    form1.reset();
  }
}

}  // namespace
}  // namespace e2e
