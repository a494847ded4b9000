// The program against the pretend scale over TCP: through ser2net as a real
// serial device server, and straight to the scale listening on a loopback
// port; in both the server goes away while the program uses the link.
#include "ScaleThread.h"
#include "WindowFixture.h"
#include "support/LoopbackServer.h"
#include "support/Ser2net.h"

namespace e2e {
namespace {

using platform::pl;
using testing_support::Ser2net;
using testing_support::TempDir;

const QString kOpen = QString::fromUtf8("127.0.0.1 otwarty");
const QString kClosed = QString::fromUtf8("127.0.0.1 zamknięty");

void useEthernet(app::TForm1& form, int port) {
  form.ConfigOptions.ConnectionKind = config::kEthernetConnection;
  form.ConfigOptions.Host = "127.0.0.1";
  form.ConfigOptions.Port = port;
}

using EthernetEndToEnd = WindowFixture;

TEST_F(EthernetEndToEnd, ThroughSer2netAManualSendIsAnsweredUntilTheServerStops) {
  if (Ser2net::binary().empty()) GTEST_SKIP() << "ser2net is not installed (apt-get install -y ser2net)";
  ScaleThread scale;
  const std::uint16_t port = testing_support::LoopbackServer::closedPort();
  Ser2net server(dir, scale.slavePath(), port);
  ASSERT_TRUE(serveUntil([&] { return Ser2net::listening(port); })) << server.log();

  start(scale.slavePath());
  useEthernet(*form1, port);
  click(form1->btnOpenPort);
  ASSERT_TRUE(serveUntil([&] { return shown(form1->LabelConnection) == kOpen; }))
      << shown(form1->LabelConnection).toStdString() << server.log();

  typeAndSend("SI");
  ASSERT_TRUE(serveUntil([&] { return form1->Bytes.replyCount() == 1; })) << server.log();
  EXPECT_NE(form1->Memo1.text().find("S S     123.45 g"), std::string::npos) << form1->Memo1.text();
  EXPECT_NE(form1->Memo2.text().find("53 20 53 20"), std::string::npos);
  EXPECT_TRUE(serveUntil([&] { return shown(form1->StaticText6) == QString::fromUtf8("Odpowiedzi: 1 / 1"); }))
      << shown(form1->StaticText6).toStdString();

  // With a capture file chosen, the next reply goes to the file as one line.
  const std::string capture = (dir / "wyniki.txt").string();
  dialogs.fileAnswers.push_back(capture);
  click(form1->BitBtnSaveToFile);
  typeAndSend("S");
  ASSERT_TRUE(serveUntil([&] { return form1->Bytes.replyCount() == 2; })) << server.log();
  const std::string weight = nextWeights(1)[0];
  EXPECT_NE(TempDir::read(capture).find(weight + "\r\n"), std::string::npos) << TempDir::read(capture);

  server.stop();
  ASSERT_TRUE(serveUntil([&] { return shown(form1->LabelConnection) == kClosed; }))
      << shown(form1->LabelConnection).toStdString();
  EXPECT_EQ(form1->LinkState, app::LinkClosed);
  expectResponsive();
  EXPECT_TRUE(dialogs.errors.empty()) << report();
}

TEST_F(EthernetEndToEnd, AnAutomaticRunOverTcpKeepsItsRepliesWhenTheScaleStops) {
  auto scale = std::make_unique<ScaleThread>(0);
  const std::string port = std::to_string(scale->tcpPort());
  const std::string orders = (dir / "rozkazy.xml").string();
  const std::string capture = (dir / "wyniki.txt").string();
  // Weighs until stopped; the link columns name the device server.
  saveOrders(orders, {{"1", "file", "0.1", "s", "1", capture, ""},
                      {"2", "S", "0.1", "s", "1", "127.0.0.1", port},
                      {"3", "repeat", "2", "s", "0", "", ""}});
  ASSERT_FALSE(::testing::Test::HasFatalFailure());
  start("/dev/null", orders);
  window->actionFor(form1->Automatyczny1)->trigger();
  ASSERT_TRUE(serveUntil([&] { return form1->Bytes.replyCount() >= 5; }))
      << form1->StaticText5.caption() << report();
  EXPECT_EQ(shown(form1->LabelConnection), kOpen);

  scale->stop();
  ASSERT_TRUE(serveUntil([&] { return shown(form1->LabelConnection) == kClosed; }))
      << shown(form1->LabelConnection).toStdString();
  expectResponsive();
  click(form1->Button6);
  EXPECT_TRUE(serveUntil([&] {
    return form1->StaticText5.caption().find(pl("przerwany")) != std::string::npos;
  })) << form1->StaticText5.caption();

  expectCaptureHoldsTheReplies(*form1, capture);
}

}  // namespace
}  // namespace e2e
