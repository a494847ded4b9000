// The main window on the manual loop with scripted dialogs: start-up, the
// reply timeout, the layout and the two ways out.
#include <gtest/gtest.h>

#include <filesystem>

#include "app/TForm1.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "support/DeviceMap.h"
#include "support/Pty.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

using platform::pl;

namespace {

struct MainWindowFixture : ::testing::Test {
  // A window before its start-up; create() also starts it.
  std::unique_ptr<app::TForm1> build() {
    return std::make_unique<app::TForm1>(
        app::MainWindowServices{loop, dialogs, dir.path(), [this] { ++terminated; }});
  }
  std::unique_ptr<app::TForm1> create() {
    auto form = build();
    form->FormCreate();
    return form;
  }

  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  testing_support::TempDir dir;
  int terminated = 0;
};

TEST_F(MainWindowFixture, StartUpSetsTheProcessValuesAndThePaneFonts) {
  auto form = build();
  // A stamped row in progress, in the ASCII-only view.
  form->Button4Click();
  form->InsertTime.setChecked(true);
  form->ProcessReceived("ABCDE", 5);
  form->InsertTime.setChecked(false);
  ASSERT_EQ(form->Bytes.hexColumn(), 5);
  ASSERT_EQ(form->Bytes.hexRowLength(), 200);
  ASSERT_FALSE(form->Bytes.paneLineStart());
  form->LineErrorShown = form->ParityErrorShown = true;
  form->FormCreate();

  EXPECT_EQ(form->MainWindowHandle, form.get());
  EXPECT_EQ(form->Bytes.hexColumn(), 0);
  EXPECT_EQ(form->Bytes.hexRowLength(), 16);
  EXPECT_FALSE(form->LineErrorShown || form->ParityErrorShown);
  EXPECT_EQ(form->Sequencer.measurementsDone(), 0);
  EXPECT_TRUE(form->Bytes.paneLineStart());
  EXPECT_EQ(form->LinkState, app::LinkClosed);
  EXPECT_FALSE(form->Timer1->running() || form->Timer2->running() || form->Timer3->running());

  // Created at the design height of 479: a small screen, panes at size 8.
  EXPECT_TRUE(form->SmallScreen);
  EXPECT_EQ(form->Memo1.font().size, 8);
  EXPECT_EQ(form->Memo2.font().size, 8);
  EXPECT_EQ(form->Memo1.font().name, "Courier New");
  EXPECT_TRUE(form->Memo2.font().bold);
}

TEST_F(MainWindowFixture, WithoutKestrelIniThePortKeepsItsDesignSettings) {
  auto form = create();
  EXPECT_EQ(form->ComPort1.port(), "COM1");
  EXPECT_EQ(form->ComPort1.baudRate(), serial::br9600);
  EXPECT_EQ(form->ComPort1.dataBits(), serial::dbEight);
  EXPECT_EQ(form->ComPort1.stopBits(), serial::sbOneStopBit);
  EXPECT_EQ(form->ComPort1.parity().bits(), serial::prNone);
  EXPECT_EQ(form->SavedPort, "COM1");
  EXPECT_FALSE(form->ComPort1.connected());
}

TEST_F(MainWindowFixture, ThePortOpensADeviceNamedInKestrelIniAndClosingTheWindowClosesIt) {
  testing_support::Pty scale;
  testing_support::writeDeviceMap(dir.path(), {{"COM7", scale.slavePath()}});
  auto form = create();
  form->ComPort1.setPort("COM7");
  form->ComPort1.Connect();
  ASSERT_TRUE(form->ComPort1.connected());
  EXPECT_EQ(form->ComPort1.devicePath(), scale.slavePath());

  form->FormClose();
  EXPECT_FALSE(form->ComPort1.connected());
  EXPECT_EQ(terminated, 1);
}

TEST_F(MainWindowFixture, ATallWindowGivesPaneFontSeven) {
  app::TForm1 form({loop, dialogs, dir.path(), [] {}});
  form.setBounds(0, 0, 1024, 600);
  form.FormCreate();
  EXPECT_FALSE(form.SmallScreen);
  EXPECT_EQ(form.Memo1.font().size, 7);
  EXPECT_EQ(form.Memo2.font().size, 7);
}

TEST_F(MainWindowFixture, ReplyTimeoutShowsOneMessageThreeSecondsAfterTheSend) {
  auto form = create();
  form->Timer1->setInterval(5000);
  form->Timer1->setOnTimer([] {});

  // A send arms the timeout; a second send within the 3 s does not postpone it.
  form->Timer2->setInterval(3000);
  loop.advance(1000);
  form->Timer2->setInterval(3000);

  bool timer1RunningDuringMessage = true;
  dialogs.onMessage = [&](const auto&) { timer1RunningDuringMessage = form->Timer1->running(); };
  loop.advance(1999);
  EXPECT_TRUE(dialogs.messages.empty());
  loop.advance(1);
  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, pl("Brak komunikacji z wagą !"));
  EXPECT_EQ(dialogs.messages[0].title, "RS-232");
  EXPECT_EQ(dialogs.messages[0].buttons, ui::MessageButton::Ok | ui::MessageButton::Cancel);
  EXPECT_FALSE(timer1RunningDuringMessage);

  // Afterwards Timer1 runs again with a new period, the timeout is idle.
  EXPECT_TRUE(form->Timer1->running());
  EXPECT_FALSE(form->Timer2->running());
  EXPECT_EQ(form->Sequencer.secondsToNext(), 5);
  loop.advance(10000);
  EXPECT_EQ(dialogs.messages.size(), 1u);
}

TEST_F(MainWindowFixture, SecondsToNextRoundsHalvesToEven) {
  auto form = create();
  form->Timer1->setInterval(2500);
  form->Timer2Timer();
  EXPECT_EQ(form->Sequencer.secondsToNext(), 2);
  form->Timer1->setInterval(3500);
  form->Timer2Timer();
  EXPECT_EQ(form->Sequencer.secondsToNext(), 4);
}

TEST_F(MainWindowFixture, NotificationsTakeEffectOnlyWhenTheLoopRuns) {
  auto form = create();
  form->postMessage(app::UM_UPDATE_PORT, app::LinkConnecting);
  form->postMessage(app::UM_UPDATE_PORT, app::LinkOpen);
  EXPECT_EQ(form->LinkState, app::LinkClosed);
  loop.processPending();
  EXPECT_EQ(form->LinkState, app::LinkOpen);
}

TEST_F(MainWindowFixture, OptionTogglesInvertTheirMarks) {
  auto form = create();
  EXPECT_TRUE(form->ZapiszASCII.checked());
  form->ZapiszASCII.click();
  EXPECT_FALSE(form->ZapiszASCII.checked());
  for (ui::MenuItem* item :
       {&form->WindRows, &form->InsertTime, &form->ChangePointToColon, &form->FastWrite}) {
    EXPECT_FALSE(item->checked());
    item->click();
    EXPECT_TRUE(item->checked()) << item->name();
  }
}

TEST_F(MainWindowFixture, LayoutPlacesThePanesInProportion) {
  auto form = create();
  form->setBounds(0, 0, 1000, 700);
  form->pozycjonowanie();
  // 0.05 * 700 = 35; 0.23 * 1000 = 230; 0.6 * 700 = 420.
  EXPECT_EQ(form->Memo1.bounds(), (ui::Bounds{50, 35, 230, 420}));
  EXPECT_EQ(form->Memo2.bounds(), (ui::Bounds{330, 35, 650, 420}));
  EXPECT_EQ(form->StaticText1.top(), 35 - 21);
  EXPECT_EQ(form->btnOpenPort.top(), 35 + 420 + 14);
  EXPECT_EQ(form->btnWyslij.left(), 50 + 100 + 20);
  EXPECT_EQ(form->Edit1.top(), 455 + 70);
  EXPECT_EQ(form->Bevel1.bounds(), (ui::Bounds{0, 3, 1000, 2}));

  // The ASCII-only view gives the ASCII pane 90 % of the width.
  form->View = app::TForm1::PaneView::AsciiOnly;
  form->Memo2.setVisible(false);
  form->pozycjonowanie();
  EXPECT_EQ(form->Memo1.width(), 900);
  EXPECT_EQ(form->LabelFileName.top(), 35 - 21);

  // Halves go to the even neighbour: 0.05 * 250 = 12.5 -> 12; 0.05 * 350 = 17.5 -> 18.
  form->setBounds(0, 0, 250, 350);
  form->pozycjonowanie();
  EXPECT_EQ(form->Memo1.left(), 12);
  EXPECT_EQ(form->Memo1.top(), 18);
}

TEST_F(MainWindowFixture, ActivationShowsTheStoredOptionsAndCloseStoresThem) {
  auto form = create();
  form->ConfigOptions.WindRow = true;
  form->ConfigOptions.WindRowMode = 5;
  form->ConfigOptions.WindRowChar = "=";
  form->ConfigOptions.SaveASCII = false;
  form->ConfigOptions.FastWrite = true;
  form->FormActivate();
  EXPECT_EQ(form->windowState(), ui::WindowState::Maximized);
  EXPECT_TRUE(form->WindRows.checked());
  EXPECT_EQ(form->rgWindRowsString.itemIndex(), 1);
  EXPECT_EQ(form->EditWindRowsString.text(), "=");
  EXPECT_FALSE(form->ZapiszASCII.checked());
  EXPECT_TRUE(form->FastWrite.checked());
  EXPECT_EQ(form->Plikrozkazow1.caption(), form->ConfigOptions.OrdersFileName);

  // An edit of the wrap text is kept: the next activation shows it again.
  form->EditWindRowsString.setText("$0D");
  form->ConfigOptions.WindRowMode = -7;
  form->FormActivate();
  EXPECT_EQ(form->EditWindRowsString.text(), "$0D");
  EXPECT_EQ(form->rgWindRowsString.itemIndex(), -1);

  // Closing copies the window's options back and writes both files; no
  // selection is stored as -1.
  form->EditWindRowsString.setText("$0D");
  form->InsertTime.click();
  form->FormClose();
  EXPECT_EQ(form->ConfigOptions.WindRowChar, "$0D");
  EXPECT_EQ(form->ConfigOptions.WindRowMode, -1);
  EXPECT_TRUE(form->ConfigOptions.InsertTime);
  EXPECT_TRUE(std::filesystem::exists(dir / "config.xml"));
  EXPECT_TRUE(std::filesystem::exists(dir / "Kestrel.ini"));
  const std::string xml = testing_support::TempDir::read(dir / "config.xml");
  EXPECT_NE(xml.find("$0D"), std::string::npos) << xml;
}

TEST_F(MainWindowFixture, KoniecTerminatesWithoutWritingAnyFile) {
  auto form = create();
  form->WindRows.click();
  form->Koniec1.click();
  EXPECT_EQ(terminated, 1);
  // The readings journal, kept from the start, is the only file.
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename().string().rfind("readings.db", 0), 0u) << entry.path();
}

}  // namespace
