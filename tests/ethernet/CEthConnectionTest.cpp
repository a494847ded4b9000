// The Ethernet link against loopback servers: the states it posts to the main
// window and where the received chunks go.
#include "ethernet/CEthConnection.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#endif

#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "platform/ManualEventLoop.h"
#include "support/LoopbackServer.h"
#include "support/Wine.h"

namespace {

using namespace std::chrono_literals;
using testing_support::LoopbackServer;
using States = std::vector<std::intptr_t>;

// Records the posted states in posting order.
struct RecordingWindow : platform::MessageTarget {
  void postMessage(unsigned message, std::intptr_t wParam, std::intptr_t lParam) override {
    EXPECT_EQ(message, 1025u);
    EXPECT_EQ(lParam, 0);
    states.push_back(wParam);
  }
  States states;
};

struct EthConnectionTest : ::testing::Test {
  EthConnectionTest() {
    loop.setErrorReport([this](const std::string& m) { reports.push_back(m); });
    makeLink();
  }

  void makeLink() {
    ethernet::EthConnectionHandlers h;
    h.window = [this] { return &window; };
    h.processReceived = [this](const std::string& data, std::size_t count) {
      EXPECT_EQ(count, data.size());
      processed += data.substr(0, count);
      ++chunks;
    };
    h.fastWriteActive = [this] { return fastWrite; };
    h.fastWriteData = [this](const std::string& chunk) { fastWritten += chunk; };
    h.closeCaptureFile = [this] { ++captureCloses; };
    link = std::make_unique<ethernet::CEthConnection>(loop, std::move(h));
  }

  bool waitFor(const std::function<bool()>& done) { return loop.runUntil(done, 3000ms); }
  void settle() {
    loop.runUntil([] { return false; }, 150ms);
  }

  // Toggles against the server and waits until the link is open.
  int open(LoopbackServer& server) {
    link->ToggleConnection("127.0.0.1", server.port());
    EXPECT_TRUE(waitFor([&] { return link->EthState == ethernet::EthOpen; }));
    return server.accept();
  }

  platform::ManualEventLoop loop;
  RecordingWindow window;
  std::unique_ptr<ethernet::CEthConnection> link;
  std::vector<std::string> reports;
  std::string processed;
  std::string fastWritten;
  // What the fast-write routing answers.
  bool fastWrite = false;
  int chunks = 0;
  int captureCloses = 0;
};

#ifndef _WIN32
// Winsock answers a full backlog with a reset, not with silence, so the hang
// is made only where the kernel drops the SYNs.
TEST_F(EthConnectionTest, UnreachableServerPostsConnectingOnlyUntilTheNextToggle) {
  // A listener whose backlog is full: the kernel drops further SYNs, so the
  // attempt hangs as it would towards a device server that does not answer.
  LoopbackServer server(0);
  std::vector<int> fillers;
  for (int i = 0; i < 4; ++i) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(server.port());
    ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    fillers.push_back(fd);
  }
  loop.runUntil([] { return false; }, 100ms);

  link->ToggleConnection("127.0.0.1", server.port());
  loop.runUntil([] { return false; }, 400ms);
  EXPECT_EQ(window.states, States{1});
  EXPECT_EQ(link->EthState, ethernet::EthConnecting);
  link->ToggleConnection("127.0.0.1", server.port());
  EXPECT_EQ(window.states, (States{1, 0}));
  EXPECT_TRUE(reports.empty());
  for (int fd : fillers) ::close(fd);
}
#endif

TEST_F(EthConnectionTest, RefusedAttemptFallsBackToClosedAndTheNextToggleTriesAgain) {
  // Left connecting, the link would drop every later send and never try again.
  link->ToggleConnection("127.0.0.1", LoopbackServer::closedPort());
  ASSERT_TRUE(waitFor([&] { return window.states.size() == 2; }));
  EXPECT_EQ(window.states, (States{1, 0}));
  EXPECT_EQ(link->EthState, ethernet::EthClosed);
  LoopbackServer server;
  open(server);
  EXPECT_EQ(window.states, (States{1, 0, 1, 2}));

  // An attempt abandoned before it fails has already posted its 0.
  link->ToggleConnection("127.0.0.1", server.port());
  window.states.clear();
  link->ToggleConnection("127.0.0.1", LoopbackServer::closedPort());
  link->ToggleConnection("127.0.0.1", 1);
  settle();
  EXPECT_EQ(window.states, (States{1, 0}));
  EXPECT_TRUE(reports.empty());
}

TEST_F(EthConnectionTest, FailedLookupsFallBackToClosedSilently) {
  // A name the resolver rejects locally (empty label): 1, then 0 when the lookup fails.
  link->ToggleConnection("no..such.invalid", 1001);
  EXPECT_EQ(window.states, States{1});
  ASSERT_TRUE(waitFor([&] { return window.states.size() == 2; }));
  EXPECT_EQ(window.states, (States{1, 0}));

  // An empty host: the disconnect's 0, then the toggle's own 0.
  window.states.clear();
  link->ToggleConnection("", 1001);
  EXPECT_EQ(window.states, (States{0, 0}));
  settle();
  EXPECT_EQ(window.states, (States{0, 0}));
  EXPECT_TRUE(reports.empty());
}

TEST_F(EthConnectionTest, TwoTogglesBeforeTheLoopRunsStillOpenTheLink) {
  LoopbackServer server;
  link->ToggleConnection("127.0.0.1", server.port());
  link->ToggleConnection("127.0.0.1", server.port());
  EXPECT_EQ(window.states, (States{1, 0}));
  ASSERT_TRUE(waitFor([&] { return window.states.size() == 3; }));
  EXPECT_EQ(window.states, (States{1, 0, 2}));
  EXPECT_TRUE(link->connected());
  EXPECT_GE(server.accept(), 0);
}

TEST_F(EthConnectionTest, ClosingAnOpenLinkClosesTheFastWriteFileOnlyInFastWriteMode) {
  LoopbackServer server;
  const int peer = open(server);
  link->ToggleConnection("127.0.0.1", server.port());
  EXPECT_EQ(window.states, (States{1, 2, 0, 0}));
  EXPECT_EQ(captureCloses, 0);
  EXPECT_FALSE(link->connected());
  EXPECT_EQ(LoopbackServer::receive(peer, 1, 500), "");

  window.states.clear();
  open(server);
  fastWrite = true;
  link->ToggleConnection("127.0.0.1", server.port());
  EXPECT_EQ(window.states, (States{1, 2, 0, 0}));
  EXPECT_EQ(captureCloses, 1);
}

TEST_F(EthConnectionTest, ServerCloseDropsSendsUntilTheNextToggleReconnects) {
  LoopbackServer server;
  server.close(open(server));
  ASSERT_TRUE(waitFor([&] { return link->EthState == ethernet::EthClosed; }));
  EXPECT_EQ(window.states, (States{1, 2, 0}));
  link->SendData("lost\r\n");
  EXPECT_EQ(window.states, (States{1, 2, 0}));

  const int peer = open(server);
  EXPECT_EQ(window.states, (States{1, 2, 0, 1, 2}));
  link->SendData("SI\r\n");
  EXPECT_EQ(LoopbackServer::receive(peer, 4), "SI\r\n");
  EXPECT_EQ(LoopbackServer::receive(peer, 1, 200), "");  // the dropped send never went out
}

TEST_F(EthConnectionTest, EveryByteValuePassesUnchangedToTheRightReceiver) {
  LoopbackServer server;
  const int peer = open(server);
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(i);
  LoopbackServer::send(peer, all + all);
  ASSERT_TRUE(waitFor([&] { return processed.size() == 512; }));
  EXPECT_EQ(processed, all + all);
  EXPECT_GE(chunks, 1);
  EXPECT_TRUE(fastWritten.empty());

  fastWrite = true;
  LoopbackServer::send(peer, std::string("\0\0ab\0", 5));
  ASSERT_TRUE(waitFor([&] { return fastWritten.size() == 5; }));
  EXPECT_EQ(fastWritten, std::string("\0\0ab\0", 5));
  EXPECT_EQ(processed.size(), 512u);
}

TEST_F(EthConnectionTest, PortIsTakenModulo65536) {
  LoopbackServer server;
  link->ToggleConnection("127.0.0.1", server.port() + 65536);
  ASSERT_TRUE(waitFor([&] { return link->EthState == ethernet::EthOpen; }));
  EXPECT_GE(server.accept(), 0);
}

TEST_F(EthConnectionTest, ResetByPeerChangesNoStateUntilASendFails) {
  if (testing_support::runningUnderWine()) GTEST_SKIP() << "under Wine a peer's reset reads as an orderly close";
  LoopbackServer server;
  server.reset(open(server));
  settle();
  EXPECT_EQ(window.states, (States{1, 2}));
  EXPECT_EQ(link->EthState, ethernet::EthOpen);
  link->SendData("SI\r\n");
  EXPECT_EQ(window.states, (States{1, 2, 0}));
  EXPECT_TRUE(reports.empty());
}

TEST_F(EthConnectionTest, TargetRejectedAtOnceFallsBackAndReportsTheSocketError) {
  link->ToggleConnection("127.0.0.1", 0);
  ASSERT_TRUE(waitFor([&] { return !reports.empty(); }));
  EXPECT_EQ(window.states, (States{1, 0}));
#ifdef _WIN32
  // The text is the system's own; the code is Winsock's WSAEADDRNOTAVAIL.
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].rfind("Windows socket error: ", 0), 0u) << reports[0];
  EXPECT_NE(reports[0].find(" (10049), on API 'connect'"), std::string::npos) << reports[0];
#else
  EXPECT_EQ(reports, std::vector<std::string>{"Windows socket error: Cannot assign requested address (" +
                                              std::to_string(EADDRNOTAVAIL) + "), on API 'connect'"});
#endif
}

TEST_F(EthConnectionTest, DestructionClosesAnOpenLinkAndPostsIt) {
  LoopbackServer server;
  const int peer = open(server);
  link.reset();
  EXPECT_EQ(window.states, (States{1, 2, 0}));
  EXPECT_EQ(LoopbackServer::receive(peer, 1, 500), "");
  EXPECT_EQ(captureCloses, 0);
}

}  // namespace
