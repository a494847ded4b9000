// The link's open/close button and label, the port closing by itself, the
// connection settings command and the line error report.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "LinkFixture.h"
#include "platform/Cp1250.h"
#include "serial/ComPort.h"
#include "support/Wine.h"

using platform::pl;

namespace {

using ConnectionFixture = testing_support::LinkFixture;

void expectShown(const app::TForm1& form, const std::string& label, bool open) {
  EXPECT_EQ(form.LabelConnection.caption(), label);
  EXPECT_EQ(form.LabelConnection.font().color, open ? ui::Color::Green : ui::Color::Red) << label;
  EXPECT_EQ(form.btnOpenPort.caption(), open ? pl("&Zamknij port") : pl("&Otwórz port")) << label;
}

TEST_F(ConnectionFixture, TheButtonOpensAndClosesTheSerialPort) {
  auto form = create();
  form->ShowConnectionState();
  expectShown(*form, pl("COM7 9600bps zamknięty"), false);

  form->btnOpenPort.click();
  EXPECT_TRUE(form->ComPort1.connected());
  EXPECT_EQ(form->LinkState, app::LinkOpen);
  expectShown(*form, "COM7 9600bps otwarty", true);

  form->btnOpenPort.click();
  EXPECT_FALSE(form->ComPort1.connected());
  EXPECT_EQ(form->LinkState, app::LinkClosed);
  expectShown(*form, pl("COM7 9600bps zamknięty"), false);
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(ConnectionFixture, APortHeldByAnotherProgramWarnsOnce) {
  serial::TComPort other(loop);
  other.setPort(scale.slavePath());
  other.Connect();
  auto form = create();
  form->btnOpenPort.click();

  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text,
            pl("Wskazany port COM nie istnieje lub jest zajęty przez inny program"));
  EXPECT_EQ(dialogs.messages[0].title, "Tersov9");
  EXPECT_EQ(dialogs.messages[0].icon, ui::MessageIcon::Warning);
  EXPECT_EQ(dialogs.messages[0].buttons, ui::MessageButton::Ok);
  EXPECT_EQ(form->LinkState, app::LinkClosed);
  expectShown(*form, pl("COM7 9600bps zamknięty"), false);
}

TEST_F(ConnectionFixture, SpeedNames) {
  auto form = create("COM3");
  const std::string other = pl("niestandardowa prędkość");
  const std::vector<std::pair<serial::TBaudRate, std::string>> names = {
      {serial::brCustom, other},  {serial::br110, other},       {serial::br2400, other},
      {serial::br4800, "4800"},   {serial::br9600, "9600"},     {serial::br14400, other},
      {serial::br19200, "19200"}, {serial::br38400, "38400"},   {serial::br56000, other},
      {serial::br57600, "57600"}, {serial::br115200, "115200"}, {serial::br128000, other},
      {serial::br256000, other}};
  for (const auto& [rate, name] : names) {
    form->ComPort1.setBaudRate(rate);
    form->ShowConnectionState();
    expectShown(*form, "COM3 " + name + "bps" + pl(" zamknięty"), false);
  }
}

TEST_F(ConnectionFixture, ThePortClosingByItselfShowsTheLinkClosed) {
  if (testing_support::runningUnderWine()) GTEST_SKIP() << "a COM port under Wine does not vanish with its far end";
  auto form = create();
  form->btnOpenPort.click();
  ASSERT_EQ(form->LinkState, app::LinkOpen);
  // The scale's adapter is pulled: the port closes itself.
  scale.closeMaster();
  ASSERT_TRUE(loop.runUntil([&] { return !form->ComPort1.connected(); }, std::chrono::seconds(5)));
  EXPECT_EQ(form->LinkState, app::LinkClosed);
  expectShown(*form, pl("COM7 9600bps zamknięty"), false);

  // Plugged in elsewhere: the next send opens the port again.
  testing_support::Pty second;
  form->ComPort1.setPort(second.slavePath());
  form->CheckBox1.setChecked(false);
  send(*form, "A");
  EXPECT_EQ(second.receive(2000, 1), "A");
  expectShown(*form, second.slavePath() + " 9600bps otwarty", true);

  // A new port name on an open port closes and reopens it: the link stays open.
  testing_support::Pty third;
  form->ComPort1.setPort(third.slavePath());
  EXPECT_EQ(form->LinkState, app::LinkOpen);
  expectShown(*form, third.slavePath() + " 9600bps otwarty", true);
}

TEST_F(ConnectionFixture, EthernetStateFollowsTheLinksMessages) {
  auto form = create();
  useEthernet(*form, app::LinkClosed);
  expectShown(*form, pl("127.0.0.1 zamknięty"), false);

  form->btnOpenPort.click();
  EXPECT_EQ(form->toggles, (std::vector<std::pair<std::string, std::int32_t>>{{"127.0.0.1", 1001}}));
  EXPECT_EQ(form->LinkState, app::LinkClosed);  // until the link's message arrives

  form->postMessage(app::UM_UPDATE_PORT, app::LinkConnecting);
  loop.processPending();
  EXPECT_EQ(form->LinkState, app::LinkConnecting);
  expectShown(*form, "127.0.0.1", false);  // host only, colour and button as before
  form->OnUpdatePortMessage(app::LinkOpen);
  expectShown(*form, "127.0.0.1 otwarty", true);
  form->OnUpdatePortMessage(-1);  // closing arrives sign-extended
  EXPECT_EQ(form->LinkState, app::LinkClosing);
  expectShown(*form, "127.0.0.1", true);
  form->OnUpdatePortMessage(app::LinkClosed);
  expectShown(*form, pl("127.0.0.1 zamknięty"), false);
}

TEST_F(ConnectionFixture, ConnectionSettingsCloseTheLinkShowTheDialogAndReopen) {
  auto form = create("COM8");
  form->btnOpenPort.click();
  dialogs.messages.clear();
  // The dialog chooses COM7 (its apply button is not pressed).
  form->onDialog = [&] {
    EXPECT_FALSE(form->ComPort1.connected());
    form->ComPort1.setPort("COM7");
  };
  form->Terso1.click();
  EXPECT_EQ(form->dialogsShown, 1);
  EXPECT_EQ(form->SavedPort, "COM7");
  EXPECT_TRUE(form->ComPort1.connected());
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_FALSE(form->Capture.fastWriteActive());

  // An open port is closed before the dialog and opened again after it.
  form->onDialog = [&] { EXPECT_EQ(form->LinkState, app::LinkClosed); };
  form->FastWrite.setChecked(true);
  form->Terso1.click();
  EXPECT_EQ(form->LinkState, app::LinkOpen);
  EXPECT_FALSE(form->Capture.fastWriteActive());
  form->Capture.choose((dir / "capture.txt").string());
  form->Terso1.click();
  EXPECT_TRUE(form->Capture.fastWriteActive());

  // The dialog's apply button opens the link itself: a port that does not
  // exist is said once, not again after the dialog.
  form->btnOpenPort.click();
  dialogs.messages.clear();
  form->onDialog = [&] {
    form->ComPort1.setPort("COM99");
    form->btnOpenPort.click();
  };
  form->Terso1.click();
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(form->LinkState, app::LinkClosed);
  form->onDialog = [&] { form->ComPort1.setPort("COM7"); };
  form->Terso1.click();
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(form->LinkState, app::LinkOpen);

  // Over Ethernet the link's state changes only by message: an open link is
  // toggled once before the dialog and not again after it.
  form->btnOpenPort.click();
  useEthernet(*form, app::LinkOpen);
  form->onDialog = nullptr;
  form->Terso1.click();
  EXPECT_EQ(form->toggles.size(), 1u);
  EXPECT_EQ(form->LinkState, app::LinkOpen);
}

TEST_F(ConnectionFixture, LineErrorsAreReportedOnceEachUntilTheNextSend) {
  auto form = create();
  form->CheckBox2.setChecked(false);
  form->CheckBox1.setChecked(false);
  send(*form, "A");
  ASSERT_EQ(wire(1), "A");

  // One query per received byte: two frame errors and one overrun.
  form->lineErrors = {{serial::ceFrame}, {serial::ceFrame}, {serial::ceOverrun}};
  form->ProcessReceived("123", 3);
  EXPECT_EQ(form->Edit2.text(), pl("Błąd:ramki,transmisji,"));
  form->lineErrors = {{serial::ceFrame, serial::ceBreak, serial::ceIO}, {serial::ceTxFull}};
  form->ProcessReceived("45", 2);
  EXPECT_EQ(form->Edit2.text(), pl("Błąd:ramki,transmisji,"));
  form->lineErrors = {{serial::ceRxParity}};
  form->ProcessReceived("6", 1);
  EXPECT_EQ(form->Edit2.text(), pl("Błąd:ramki,transmisji,parzystosci,"));

  // A send starts the report over; all parts of one query in their order.
  send(*form, "B");
  EXPECT_TRUE(form->Edit2.text().empty());
  form->lineErrors = {{serial::ceMode, serial::ceRxParity, serial::ceFrame}};
  form->ProcessReceived("7", 1);
  EXPECT_EQ(form->Edit2.text(), pl("Błąd:ramki,parzystosci,transmisji,"));

  // With "Wyłączone" checked the report is not made.
  send(*form, "C");
  form->CheckBox2.setChecked(true);
  form->lineErrors = {{serial::ceFrame}};
  form->ProcessReceived("8", 1);
  EXPECT_TRUE(form->Edit2.text().empty());
  EXPECT_EQ(wire(2), "BC");
}

TEST_F(ConnectionFixture, WithThePortClosedTheCheckFindsNoErrorsAndLosesNoData) {
  auto form = create();
  form->CheckBox2.setChecked(false);
  form->ProcessReceived("12.5\r\n", 6);
  EXPECT_EQ(form->Memo1.text(), "12.5\r\n");
  EXPECT_TRUE(form->Edit2.text().empty());
  EXPECT_TRUE(dialogs.errors.empty());

  // An open pty has no error counters: no errors either.
  form->btnOpenPort.click();
  form->ProcessReceived("7\n", 2);
  EXPECT_EQ(form->Memo1.text(), "12.5\r\n7\r\n");
  EXPECT_TRUE(form->Edit2.text().empty());
}

}  // namespace
