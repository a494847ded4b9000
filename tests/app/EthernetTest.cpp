// The main window over its Ethernet link against a loopback device server on
// the manual loop.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <sys/socket.h>
#endif

#include <chrono>
#include <filesystem>
#include <string>

#include "app/TForm1.h"
#include "automatic/TForm2.h"
#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "support/LoopbackServer.h"
#include "support/ScriptedDialogs.h"
#include "support/TempDir.h"

namespace {

using namespace std::chrono_literals;
using platform::pl;
using testing_support::LoopbackServer;
using testing_support::TempDir;

void useEthernet(app::TForm1& form, std::uint16_t port) {
  form.ConfigOptions.ConnectionKind = config::kEthernetConnection;
  form.ConfigOptions.Host = "127.0.0.1";
  form.ConfigOptions.Port = port;
}

struct EthernetWindowTest : ::testing::Test {
  EthernetWindowTest() {
    loop.setErrorReport([this](const std::string& m) { dialogs.showError(m); });
    form.FormCreate();
    useEthernet(form, server.port());
  }

  bool waitFor(const std::function<bool()>& done) { return loop.runUntil(done, 3000ms); }

  int open() {
    form.btnOpenPort.click();
    EXPECT_TRUE(waitFor([&] { return form.LinkState == app::LinkOpen; }));
    return server.accept();
  }

  LoopbackServer server;
  TempDir dir;
  platform::ManualEventLoop loop;
  testing_support::ScriptedDialogs dialogs;
  app::TForm1 form{{loop, dialogs, dir.path(), [] {}}};
};

TEST_F(EthernetWindowTest, OpensSendsShowsTheReplyAndCancelsTheReplyTimeout) {
  form.btnOpenPort.click();
  // The window learns the state from the posted message only.
  EXPECT_EQ(form.LinkState, app::LinkClosed);
  ASSERT_TRUE(waitFor([&] { return form.LinkState == app::LinkOpen; }));
  EXPECT_EQ(form.LabelConnection.caption(), "127.0.0.1 otwarty");
  EXPECT_EQ(form.LabelConnection.font().color, ui::Color::Green);
  EXPECT_EQ(form.btnOpenPort.caption(), "&Zamknij port");
  const int peer = server.accept();
  ASSERT_GE(peer, 0);

  form.CheckBox3.setChecked(true);
  form.Edit1.setText("$FF$02PS00");
  form.btnWyslij.click();
  EXPECT_EQ(LoopbackServer::receive(peer, 8), "\xFF\x02PS00\r\n");
  form.Edit1.setText("SI");
  form.btnWyslij.click();
  EXPECT_EQ(LoopbackServer::receive(peer, 4), "SI\r\n");
  EXPECT_EQ(form.SentCount, 2);
  EXPECT_EQ(form.Timer2->interval(), 3000);

  // The reply, split across two chunks.
  LoopbackServer::send(peer, "S S     12");
  ASSERT_TRUE(waitFor([&] { return form.Memo1.text().find("12") != std::string::npos; }));
  EXPECT_EQ(form.Timer2->interval(), 0);  // Ethernet data cancels the reply timeout too
  LoopbackServer::send(peer, ".5 g\r\n");
  ASSERT_TRUE(waitFor([&] { return form.Bytes.replyCount() == 1; }));
  EXPECT_NE(form.Memo1.text().find("S S     12.5 g"), std::string::npos);
  EXPECT_NE(form.Memo2.text().find("53 20 53"), std::string::npos);

  // The peer goes away: closed, and the next send only starts a new connection.
  server.close(peer);
  ASSERT_TRUE(waitFor([&] { return form.LabelConnection.caption() == pl("127.0.0.1 zamknięty"); }));
  form.btnWyslij.click();
  EXPECT_EQ(form.SentCount, 2);
  ASSERT_TRUE(waitFor([&] { return form.LinkState == app::LinkOpen; }));
  EXPECT_TRUE(dialogs.errors.empty());
  EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(EthernetWindowTest, FastWriteStreamsChunksAndClosingTheLinkClosesTheFile) {
  const std::string file = (dir / "capture.txt").string();
  dialogs.fileAnswers.push_back(file);
  form.BitBtnSaveToFileClick();
  form.FastWriteClick();
  ASSERT_TRUE(form.Capture.fastWriteActive());

  const int peer = open();
  LoopbackServer::send(peer, std::string("raw\0bytes\r\n", 11));
  ASSERT_TRUE(waitFor([&] { return form.LabelFileName.font().color == ui::Color::Green; }));
  EXPECT_TRUE(form.Memo1.text().empty());

  form.btnOpenPort.click();  // closes the link and, in fast-write mode, the file
  ASSERT_TRUE(waitFor([&] { return form.LabelFileName.font().color == ui::Color::Red; }));
  EXPECT_EQ(TempDir::read(file), std::string("raw\0bytes\r\n", 11));
  EXPECT_EQ(form.LinkState, app::LinkClosed);

  // Clearing the file sends Ethernet chunks to the panes again.
  form.BitBtnClearFileClick();
  EXPECT_FALSE(form.Capture.fastWriteActive());
}

TEST_F(EthernetWindowTest, ClosingTheWindowClosesTheConnection) {
  const int peer = open();
  form.FormClose();
  EXPECT_EQ(form.EthConn, nullptr);
  EXPECT_EQ(LoopbackServer::receive(peer, 1, 1000), "");
  char probe;
#ifdef _WIN32
  u_long nonBlocking = 1;
  ioctlsocket(static_cast<SOCKET>(peer), FIONBIO, &nonBlocking);
  EXPECT_EQ(::recv(static_cast<SOCKET>(peer), &probe, 1, 0), 0);  // an orderly close, seen by the server
#else
  EXPECT_EQ(::recv(peer, &probe, 1, MSG_DONTWAIT), 0);  // an orderly close, seen by the server
#endif
}

TEST_F(EthernetWindowTest, AnAutomaticRunReachesTheDeviceServerAgainWhenItComesBack) {
  // One order every second, eight times, to the device server.
  automatic::TForm2 editor(form);
  editor.StringGrid1.setRowCount(2);
  editor.StringGrid1.setRowCells(1, {"1", "SI", "1", "s", "8", "127.0.0.1", std::to_string(server.port())});
  loop.dispatch([&] { form.Automatyczny1.click(); });
  ASSERT_TRUE(waitFor([&] { return form.LinkState == app::LinkOpen; }));
  int peer = server.accept();
  loop.advance(1000);
  EXPECT_EQ(LoopbackServer::receive(peer, 4), "SI\r\n");

  // The server drops the link and refuses two orders' attempts: each time
  // the window shows the link closed, so the next order tries again.
  server.close(peer);
  server.stopListening();
  ASSERT_TRUE(waitFor([&] { return form.LinkState == app::LinkClosed; }));
  for (int away = 0; away < 2; ++away) {
    loop.advance(1000);
    EXPECT_TRUE(waitFor([&] {
      return form.LinkState == app::LinkClosed && form.LabelConnection.caption() == pl("127.0.0.1 zamknięty");
    })) << "order "
        << away + 2 << ": link state " << int{form.LinkState};
  }

  // Back: the next order reconnects, and the four after it reach the server.
  server.listenAgain();
  loop.advance(1000);
  EXPECT_TRUE(waitFor([&] { return form.LinkState == app::LinkOpen; }));
  peer = server.accept(500);
  std::string reached;
  for (int order = 0; order < 4; ++order) {
    loop.advance(1000);
    if (peer >= 0) reached += LoopbackServer::receive(peer, 4, 500);
  }
  EXPECT_EQ(reached, "SI\r\nSI\r\nSI\r\nSI\r\n")
      << "orders that reached the returned server: " << reached.size() / 4;
  EXPECT_NE(form.StaticText5.caption().find(pl("zakończony (Odpowiedzi: 0 / 5 )")), std::string::npos)
      << form.StaticText5.caption();
  EXPECT_TRUE(dialogs.errors.empty());
  EXPECT_TRUE(dialogs.messages.empty());
}

// A device server that cannot be reached: "Otwórz port" says so in the error
// line when error messages are on, and a run stops at its first order that
// never had the link, naming it and the address, with no order after it.
TEST_F(EthernetWindowTest, AnUnreachableDeviceServerStopsTheRunAndIsReported) {
  server.stopListening();
  const std::string address = "127.0.0.1:" + std::to_string(server.port());
  form.CheckBox2.setChecked(false);
  form.btnOpenPort.click();
  ASSERT_TRUE(waitFor([&] { return !form.Edit2.text().empty(); }));
  EXPECT_EQ(form.Edit2.text(), pl("Błąd: brak połączenia z ") + address);
  EXPECT_EQ(form.LinkState, app::LinkClosed);

  automatic::TForm2 editor(form);
  editor.StringGrid1.setRowCount(3);
  editor.StringGrid1.setRowCells(1, {"1", "SI", "1", "s", "3", "127.0.0.1", std::to_string(server.port())});
  editor.StringGrid1.setRowCells(2, {"2", "beep", "1", "s", "1", "1", "9600"});
  loop.dispatch([&] { form.Automatyczny1.click(); });
  ASSERT_TRUE(waitFor([&] { return !dialogs.messages.empty(); }));
  EXPECT_EQ(dialogs.messages[0].text,
            pl("Nie można połączyć się z serwerem portów ") + address + pl(" (rozkaz nr 1)"));
  EXPECT_EQ(form.StaticText5.caption(), pl("Pomiar automatyczny przerwany (Odpowiedzi: 0 / 0 )"));
  EXPECT_FALSE(form.Button6.visible());
  // Nothing runs on: no send, no beep, the caption stays.
  loop.advance(5000);
  EXPECT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(form.Sequencer.currentOrder(), 1);
  EXPECT_EQ(form.StaticText5.caption(), pl("Pomiar automatyczny przerwany (Odpowiedzi: 0 / 0 )"));
  EXPECT_TRUE(dialogs.errors.empty());
}

}  // namespace
