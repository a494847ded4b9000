// The window's side of receiving: the reply counts in the status texts and
// the view switch (the byte processor itself: ByteProcessorTest.cpp).
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/TForm1.h"
#include "automatic/TForm2.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using platform::pl;

namespace {

struct ReceiveFixture : ::testing::Test {
  std::unique_ptr<app::TForm1> create() {
    auto form = std::make_unique<app::TForm1>(app::MainWindowServices{loop, dialogs, dir.path(), [] {}});
    form->FormCreate();
    return form;
  }

  // What a send does to the counters.
  static void send(app::TForm1& form) {
    form.Bytes.awaitReply();
    ++form.SentCount;
  }

  static void receive(app::TForm1& form, const std::string& bytes) {
    form.ProcessReceived(bytes, bytes.size());
  }

  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  testing_support::TempDir dir;
};

TEST_F(ReceiveFixture, AReplyAfterASendIsShownAndCountedOnce) {
  auto form = create();
  send(*form);
  receive(*form, "12.5\r\n");
  EXPECT_EQ(form->Memo1.text(), "12.5\r\n");
  EXPECT_EQ(form->Memo2.text(), "31 32 2E 35 0D 0A\r\n  ");
  EXPECT_EQ(form->Bytes.replyCount(), 1);
  EXPECT_TRUE(form->Bytes.replyCounted());
  EXPECT_TRUE(form->Bytes.paneLineStart());
  EXPECT_EQ(form->StaticText6.caption(), "Odpowiedzi: 1 / 1");
  // No automatic measurement has run: the reply is reported as an interrupted one.
  EXPECT_EQ(form->StaticText5.caption(), pl("Pomiar automatyczny przerwany (Odpowiedzi: 1 / 1 )"));

  // A second LF before the next send ends a row and counts nothing.
  form->StaticText6.setCaption("x");
  receive(*form, "\n");
  EXPECT_EQ(form->Memo1.text(), "12.5\r\n\r\n");
  EXPECT_EQ(form->Memo2.text(), "31 32 2E 35 0D 0A\r\n  0A\r\n  ");
  EXPECT_EQ(form->Bytes.replyCount(), 1);
  EXPECT_EQ(form->StaticText6.caption(), "x");

  // After a finished measurement its text keeps saying so. (Without an
  // orders editor the list is empty: the run ends at its first step, with
  // the counts at 0; one reply brings them to 1 / 1.)
  form->Automatyczny1Click();
  form->Timer1Timer();
  send(*form);
  receive(*form, "0\n");
  send(*form);
  receive(*form, "1\n");
  EXPECT_EQ(form->StaticText6.caption(), "Odpowiedzi: 2 / 2");
  EXPECT_EQ(form->StaticText5.caption(), pl("Pomiar automatyczny zakończony (Odpowiedzi: 2 / 2 )"));
}

TEST_F(ReceiveFixture, ARunningMeasurementKeepsItsStatusTexts) {
  auto form = create();
  automatic::TForm2 editor(*form);
  editor.StringGrid1.setRowCount(3);
  editor.StringGrid1.setRowCells(1, {"1", "wait", "3", "s", "1", "", ""});
  editor.StringGrid1.setRowCells(2, {"2", "wait", "2.999", "s", "5", "", ""});
  form->Automatyczny1Click();
  form->StaticText5.setCaption("run");
  form->StaticText6.setCaption("countdown");

  // At 3 s or more the countdown owns StaticText6.
  send(*form);
  receive(*form, "1\r\n");
  EXPECT_EQ(form->Bytes.replyCount(), 1);
  EXPECT_EQ(form->StaticText6.caption(), "countdown");
  EXPECT_EQ(form->StaticText5.caption(), "run");

  // Faster measurements show the counts, and the state text still stays.
  form->Timer1Timer();
  EXPECT_EQ(form->Timer1->interval(), 2999);
  form->StaticText5.setCaption("run");
  send(*form);
  receive(*form, "2\r\n");
  EXPECT_EQ(form->StaticText6.caption(), "Odpowiedzi: 2 / 2");
  EXPECT_EQ(form->StaticText5.caption(), "run");
}

TEST_F(ReceiveFixture, ViewSwitchedTwice) {
  auto form = create();
  form->setBounds(0, 0, 1000, 700);
  receive(*form, "ABC");
  form->LineErrorShown = form->FrameErrorShown = true;
  form->Edit2.setText(pl("Błąd:"));

  form->Button4.click();
  EXPECT_EQ(form->Button4.caption(), "&ASCII+HEX");
  EXPECT_EQ(form->Bytes.hexRowLength(), 200);
  EXPECT_FALSE(form->Memo2.visible());
  EXPECT_FALSE(form->StaticText2.visible());
  EXPECT_FALSE(form->LineErrorShown || form->FrameErrorShown);
  EXPECT_EQ(form->Edit2.text(), "");
  EXPECT_EQ(form->Memo1.width(), 900);
  EXPECT_EQ(form->Memo1.font().name, "Courier New");
  EXPECT_EQ(form->Memo1.font().size, 8);

  // The hidden HEX pane is still filled.
  receive(*form, "D");
  EXPECT_EQ(form->Memo2.text(), "41 42 43 44 ");

  form->SmallScreen = false;
  form->Button4.click();
  EXPECT_EQ(form->Button4.caption(), pl("&Tylko ASCII"));
  EXPECT_EQ(form->Bytes.hexRowLength(), 16);
  EXPECT_TRUE(form->Memo2.visible());
  EXPECT_TRUE(form->StaticText2.visible());
  EXPECT_EQ(form->Memo1.width(), 230);
  EXPECT_EQ(form->Memo1.font().size, 7);

  // The eight-byte grouping starts again.
  receive(*form, "12345678");
  EXPECT_EQ(form->Memo2.text(), "41 42 43 44 31 32 33 34 35 36 37 38   ");
}

}  // namespace
