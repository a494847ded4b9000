// The TCP client against real loopback servers: the rules the Ethernet link
// relies on, in the order its events arrive.
#include "platform/TcpSocket.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <string>
#include <vector>

#include "platform/ManualEventLoop.h"
#include "support/LoopbackServer.h"
#include "support/Wine.h"

namespace {

using namespace std::chrono_literals;
using testing_support::LoopbackServer;

// The codes the socket reports are the system's own.
#ifdef _WIN32
constexpr int kRefused = 10061;  // WSAECONNREFUSED
constexpr int kReset = 10054;    // WSAECONNRESET
#else
constexpr int kRefused = ECONNREFUSED;
constexpr int kReset = ECONNRESET;
#endif

struct TcpSocketTest : ::testing::Test {
  TcpSocketTest() {
    loop.setErrorReport([this](const std::string& m) { reports.push_back(m); });
    socket.OnConnect = [this](platform::TcpSocket&) { log.push_back("connect"); };
    socket.OnDisconnect = [this](platform::TcpSocket&) { log.push_back("disconnect"); };
    socket.OnRead = [this](platform::TcpSocket& s) { received += s.receiveText(); };
    socket.OnError = [this](platform::TcpSocket&, int& code) {
      log.push_back("error");
      lastError = code;
      if (clearErrors) code = 0;
    };
  }

  bool waitFor(const std::function<bool()>& done) { return loop.runUntil(done, 3000ms); }
  // Serves the loop a little longer, to show that nothing more happens.
  void settle() {
    loop.runUntil([] { return false; }, 150ms);
  }

  platform::ManualEventLoop loop;
  platform::TcpSocket socket{loop};
  std::vector<std::string> log;
  std::vector<std::string> reports;
  std::string received;
  int lastError = 0;
  bool clearErrors = true;
};

using Log = std::vector<std::string>;

TEST_F(TcpSocketTest, ConnectsExchangesAndClosesLocally) {
  LoopbackServer server;
  socket.setHost("127.0.0.1");
  // Used as 16 bits: the port plus 65536 is the same port.
  socket.setPort(server.port() + 65536);
  socket.setActive(true);
  EXPECT_FALSE(socket.active());
  EXPECT_TRUE(log.empty());  // nothing inside the call
  ASSERT_TRUE(waitFor([&] { return socket.active(); }));
  EXPECT_EQ(log, Log{"connect"});
  const int peer = server.accept();
  ASSERT_GE(peer, 0);

  socket.sendText(std::string("SI\r\n\0x", 6));
  EXPECT_EQ(LoopbackServer::receive(peer, 6), std::string("SI\r\n\0x", 6));
  LoopbackServer::send(peer, std::string("S S\0 12.5 g\r\n", 13));
  ASSERT_TRUE(waitFor([&] { return received.size() == 13; }));
  EXPECT_EQ(received, std::string("S S\0 12.5 g\r\n", 13));

  // Active := false on a connection fires the disconnect before it returns.
  socket.setActive(false);
  EXPECT_EQ(log, (Log{"connect", "disconnect"}));
  EXPECT_FALSE(socket.active());
  EXPECT_EQ(LoopbackServer::receive(peer, 1, 500), "");  // the server sees the close
  socket.sendText("dropped");                            // closed: nothing happens
  settle();
  EXPECT_EQ(log, (Log{"connect", "disconnect"}));
  EXPECT_TRUE(reports.empty());
}

TEST_F(TcpSocketTest, RefusedAttemptGivesTheErrorAloneAndDeactivatingLeavesAnAttemptRunning) {
  socket.setHost("127.0.0.1");
  socket.setPort(LoopbackServer::closedPort());
  socket.setActive(true);
  socket.setActive(false);  // not connected: does nothing
  ASSERT_TRUE(waitFor([&] { return !log.empty(); }));
  settle();
  EXPECT_EQ(log, Log{"error"});
  EXPECT_EQ(lastError, kRefused);
  EXPECT_FALSE(socket.active());
  EXPECT_TRUE(reports.empty());

  // An attempt abandoned by Active := false still completes.
  LoopbackServer server;
  log.clear();
  socket.setPort(server.port());
  socket.setActive(true);
  socket.setActive(false);
  ASSERT_TRUE(waitFor([&] { return socket.active(); }));
  EXPECT_EQ(log, Log{"connect"});
}

TEST_F(TcpSocketTest, FailedLookupsGiveErrorThenDisconnect) {
  // An empty host fails inside the call.
  socket.setHost("");
  socket.setPort(1001);
  socket.setActive(true);
  EXPECT_EQ(log, (Log{"error", "disconnect"}));

  // A name the resolver rejects locally (an empty label: no query leaves the
  // machine) fails on the lookup thread; the result comes back on the loop.
  log.clear();
  socket.setHost("no..such.invalid");
  socket.setActive(true);
  EXPECT_TRUE(log.empty());
  ASSERT_TRUE(waitFor([&] { return log.size() == 2; }));
  EXPECT_EQ(log, (Log{"error", "disconnect"}));
  EXPECT_TRUE(reports.empty());

  // An error the handler leaves standing is raised: the general error report shows it.
  clearErrors = false;
  log.clear();
  socket.setActive(true);
  ASSERT_TRUE(waitFor([&] { return !reports.empty(); }));
  EXPECT_EQ(log, (Log{"error", "disconnect"}));
  EXPECT_EQ(reports.front().rfind("Windows socket error: ", 0), 0u) << reports.front();
  EXPECT_NE(reports.front().find("on API 'gethostbyname'"), std::string::npos) << reports.front();
  EXPECT_THROW(
      {
        socket.setHost("");
        socket.setActive(true);
      },
      platform::SocketError);
}

TEST_F(TcpSocketTest, NameLookedUpOffTheLoopConnects) {
  LoopbackServer server;
  socket.setHost("localhost");
  socket.setPort(server.port());
  socket.setActive(true);
  ASSERT_TRUE(waitFor([&] { return socket.active(); }));
  EXPECT_EQ(log, Log{"connect"});
}

TEST_F(TcpSocketTest, ResetByPeerGivesTheErrorAloneUntilASendFails) {
  if (testing_support::runningUnderWine()) GTEST_SKIP() << "under Wine a peer's reset reads as an orderly close";
  LoopbackServer server;
  socket.setHost("127.0.0.1");
  socket.setPort(server.port());
  socket.setActive(true);
  ASSERT_TRUE(waitFor([&] { return socket.active(); }));
  server.reset(server.accept());
  ASSERT_TRUE(waitFor([&] { return log.size() == 2; }));
  settle();
  EXPECT_EQ(log, (Log{"connect", "error"}));
  EXPECT_EQ(lastError, kReset);
  EXPECT_TRUE(socket.active());

  socket.sendText("SI\r\n");
  EXPECT_EQ(log, (Log{"connect", "error", "error", "disconnect"}));
  EXPECT_FALSE(socket.active());
  EXPECT_TRUE(reports.empty());
}

TEST_F(TcpSocketTest, DestroyedDuringALookupDropsTheResult) {
  // The lookup thread finds its socket gone and posts nothing.
  for (int i = 0; i < 20; ++i) {
    platform::TcpSocket shortLived(loop);
    bool fired = false;
    shortLived.OnError = [&](platform::TcpSocket&, int& code) {
      fired = true;
      code = 0;
    };
    shortLived.setHost("localhost");
    shortLived.setPort(1);
    shortLived.setActive(true);
    EXPECT_FALSE(fired);
  }
  settle();
  EXPECT_TRUE(reports.empty());
}

}  // namespace
