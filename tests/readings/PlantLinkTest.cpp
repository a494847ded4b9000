// The plant link against a real broker (mosquitto on 127.0.0.1, started by the
// test): readings arrive whole and in order, none is lost when the broker is
// killed and started again or the link restarts, a wrong password or a broker
// that never acknowledges keeps them for later, TLS with the test's own CA,
// and a stop that does not wait for a goodbye stuck on the network.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/Cp1250.h"
#include "platform/ManualEventLoop.h"
#include "readings/PlantLink.h"
#include "readings/PlantMessage.h"
#include "support/LoopbackServer.h"
#include "support/MemoryPublishQueue.h"
#include "support/MqttBroker.h"

namespace {

using namespace std::chrono_literals;
using readings::LinkState;
using testing_support::MqttBroker;
using testing_support::MqttSubscriber;

const std::string kReadings = "plant/st1/readings";
const std::string kStatus = "plant/st1/status";

// The reading ids in the payloads, as they arrived.
std::vector<std::int64_t> ids(const std::vector<std::string>& payloads) {
  std::vector<std::int64_t> found;
  for (const std::string& p : payloads) found.push_back(std::stoll(p.substr(p.find("\"id\":") + 5)));
  return found;
}

// Every reading from 1 to n arrived, each first time in order (QoS 1 may
// bring a reading twice).
bool allInOrder(const std::vector<std::int64_t>& arrived, std::int64_t n) {
  std::vector<std::int64_t> firsts;
  std::set<std::int64_t> seen;
  for (const std::int64_t id : arrived)
    if (seen.insert(id).second) firsts.push_back(id);
  if (static_cast<std::int64_t>(firsts.size()) != n) return false;
  for (std::int64_t i = 0; i < n; ++i)
    if (firsts[static_cast<std::size_t>(i)] != i + 1) return false;
  return true;
}

// One MQTT packet from a test's pretend broker: its type and body; type 0
// when none came in time.
std::pair<int, std::string> packet(int fd, int waitMs) {
  using testing_support::LoopbackServer;
  const std::string head = LoopbackServer::receive(fd, 1, waitMs);
  if (head.empty()) return {0, {}};
  std::size_t length = 0;
  for (int shift = 0;; shift += 7) {
    const std::string b = LoopbackServer::receive(fd, 1);
    if (b.empty()) return {0, {}};
    length |= static_cast<std::size_t>(b[0] & 0x7F) << shift;
    if (!(b[0] & 0x80)) break;
  }
  return {static_cast<unsigned char>(head[0]) >> 4, LoopbackServer::receive(fd, length)};
}

// The threads this process runs now.
std::size_t threadCount() {
  const std::filesystem::directory_iterator tasks("/proc/self/task");
  return static_cast<std::size_t>(std::distance(begin(tasks), end(tasks)));
}

// A link on a manual loop, its states as the window would see them.
struct Link {
  platform::ManualEventLoop loop;
  testing_support::MemoryPublishQueue queue;
  readings::PlantLink link{queue, loop};
  std::vector<LinkState> states;
  std::string text;

  Link() {
    // A state once however often its text changes (the readings waiting).
    link.onStateChanged = [this](LinkState s, const std::string& t) {
      if (states.empty() || states.back() != s) states.push_back(s);
      text = t;
    };
  }
  static readings::PlantLinkSettings settings(std::uint16_t port) {
    readings::PlantLinkSettings s;
    s.enabled = true;
    s.host = "127.0.0.1";
    s.port = port;
    s.station = "st1";
    s.prefix = "plant";
    return s;
  }
  void add(int from, int to) {
    for (int n = from; n <= to; ++n) queue.add(testing_support::sampleReading(n));
    link.wake();
  }
  bool reaches(LinkState s) {
    return loop.runUntil([&] { return !states.empty() && states.back() == s; }, 20s);
  }
  bool allPublished() {
    return loop.runUntil([&] { return queue.unpublished().empty(); }, 20s);
  }
};

TEST(PlantLink, ReadingsArriveWholeAndInOrderThroughABrokerKill) {
  MqttBroker broker;
  MqttSubscriber subscriber(broker.port(), "plant/#");
  Link l;
  l.add(1, 3);
  l.link.start(Link::settings(broker.port()));
  ASSERT_TRUE(l.reaches(LinkState::Connected));
  ASSERT_TRUE(subscriber.waitFor([&](auto& m) {
    return MqttSubscriber::payloadsOn(m, kReadings).size() >= 3;
  }) && l.allPublished());
  // The message is the reading, field for field.
  const std::vector<std::string> first = subscriber.payloads(kReadings);
  for (int n = 1; n <= 3; ++n) {
    readings::StoredReading r = testing_support::sampleReading(n);
    r.id = n;
    EXPECT_EQ(first[static_cast<std::size_t>(n - 1)], readings::readingJson(r, "st1"));
  }
  EXPECT_EQ(subscriber.payloads(kStatus), std::vector<std::string>{"online"});

  // The broker dies; what is read meanwhile waits, and goes out in order once
  // it is back (also what was on the wire when it died).
  l.add(4, 10);
  broker.kill();
  l.add(11, 20);
  ASSERT_TRUE(l.reaches(LinkState::Unreachable));
  EXPECT_FALSE(l.queue.unpublished().empty());
  broker.start();
  ASSERT_TRUE(l.reaches(LinkState::Connected));
  l.add(21, 25);
  ASSERT_TRUE(l.allPublished());
  ASSERT_TRUE(subscriber.waitFor([&](auto& m) {
    return allInOrder(ids(MqttSubscriber::payloadsOn(m, kReadings)), 25);
  })) << ::testing::PrintToString(ids(subscriber.payloads(kReadings)));

  // A clean stop says "offline" (retained: a late subscriber sees it too).
  l.link.stop();
  EXPECT_TRUE(l.reaches(LinkState::Off));
  ASSERT_TRUE(subscriber.waitFor(
      [&](auto& m) { return MqttSubscriber::payloadsOn(m, kStatus).back() == "offline"; }));
  MqttSubscriber late(broker.port(), kStatus);
  ASSERT_TRUE(late.waitFor([](auto& m) { return !m.empty(); }));
  EXPECT_EQ(late.messages().front().payload, "offline");
  EXPECT_TRUE(late.messages().front().retained);
  EXPECT_EQ(l.states, (std::vector<LinkState>{LinkState::Connecting, LinkState::Connected,
                                              LinkState::Unreachable, LinkState::Connected, LinkState::Off}));
}

TEST(PlantLink, NoBrokerAtStartThenARestartSendsTheOldestFirst) {
  MqttBroker broker;
  broker.kill();
  Link l;
  l.add(1, 5);
  // Nothing listens; then a name that does not resolve.
  l.link.start(Link::settings(broker.port()));
  ASSERT_TRUE(l.reaches(LinkState::Unreachable));
  EXPECT_EQ(l.text, l.link.stateText());
  auto unresolvable = Link::settings(broker.port());
  unresolvable.host = "no-such-host.invalid";
  l.link.start(unresolvable);
  ASSERT_TRUE(l.reaches(LinkState::Unreachable));
  l.link.stop();
  EXPECT_EQ(l.queue.unpublished().size(), 5u);

  // The program starts again with the broker up and more readings.
  broker.start();
  MqttSubscriber subscriber(broker.port(), kReadings);
  l.add(6, 7);
  readings::PlantLink again(l.queue, l.loop);
  again.start(Link::settings(broker.port()));
  ASSERT_TRUE(
      subscriber.waitFor([&](auto& m) { return MqttSubscriber::payloadsOn(m, kReadings).size() >= 7; }));
  EXPECT_TRUE(allInOrder(ids(subscriber.payloads(kReadings)), 7));
  EXPECT_TRUE(l.allPublished());
}

TEST(PlantLink, WrongPasswordIsRefusedAndTheReadingsWait) {
  MqttBroker broker({.user = "waga", .password = "dobre"});
  Link l;
  l.add(1, 4);
  auto s = Link::settings(broker.port());
  s.user = "waga";
  s.password = "złe";
  l.link.start(s);
  ASSERT_TRUE(l.reaches(LinkState::Refused));
  // The refusal, and how many readings wait.
  EXPECT_EQ(l.text,
            readings::linkStateText(LinkState::Refused) + platform::pl("; 4 odczyty czekają na wysłanie"));
  EXPECT_NE(l.text.find(platform::pl("hasło")), std::string::npos);
  EXPECT_EQ(l.queue.unpublished().size(), 4u);

  s.password = "dobre";
  l.link.start(s);
  ASSERT_TRUE(l.reaches(LinkState::Connected));
  EXPECT_TRUE(l.allPublished());
}

TEST(PlantLink, TlsWithTheTestsOwnCertificateAuthority) {
  MqttBroker::Options tls;
  tls.tls = true;
  MqttBroker broker(tls);
  MqttSubscriber subscriber(broker.port(), kReadings, {}, broker.caFile());
  Link l;
  l.add(1, 2);
  auto s = Link::settings(broker.port());
  s.tls = true;
  s.caFile = "/no/such/ca.crt";
  l.link.start(s);
  ASSERT_TRUE(l.reaches(LinkState::Unreachable));
  EXPECT_NE(l.text.find("/no/such/ca.crt"), std::string::npos);

  // A certificate that this CA did not sign.
  MqttBroker stranger(tls);
  s.caFile = stranger.caFile();
  l.link.start(s);
  ASSERT_TRUE(l.reaches(LinkState::Unreachable));

  s.caFile = broker.caFile();
  l.link.start(s);
  ASSERT_TRUE(l.reaches(LinkState::Connected));
  ASSERT_TRUE(
      subscriber.waitFor([&](auto& m) { return MqttSubscriber::payloadsOn(m, kReadings).size() >= 2; }));
  EXPECT_TRUE(l.allPublished());
}

// A broker that takes the connection and never acknowledges a publish: the
// link holds at most its window on the wire and the rest in the journal.
TEST(PlantLink, ABrokerThatNeverAcknowledgesCostsNoMoreThanTheWindow) {
  testing_support::LoopbackServer server;
  Link l;
  l.add(1, 1000);
  l.link.start(Link::settings(server.port()));
  const int fd = server.accept(10000);
  ASSERT_GE(fd, 0);
  // CONNECT in, CONNACK (accepted) out.
  ASSERT_EQ(packet(fd, 5000).first, 1);
  testing_support::LoopbackServer::send(fd, std::string("\x20\x02\x00\x00", 4));
  ASSERT_TRUE(l.reaches(LinkState::Connected));

  // PUBLISH packets until the stream goes quiet; more readings and wakes
  // change nothing.
  std::size_t publishes = 0;
  for (std::pair<int, std::string> p; (p = packet(fd, 1000)).first != 0;) {
    if (p.first == 3) ++publishes;
    if (publishes == 1) l.add(1001, 1100);
  }
  // The status and a window of readings.
  EXPECT_EQ(publishes, readings::PlantLink::kWindow + 1);
  EXPECT_LE(l.queue.largestLimit(), readings::PlantLink::kWindow);
  EXPECT_EQ(l.queue.unpublished().size(), 1100u);
}

// A broker that takes the connection and then reads nothing: the readings
// fill the connection, and the goodbye after them cannot get through, so the
// link's thread sits in the library until the connection breaks. The link
// ends without waiting for it, and so do its queue and loop right after; the
// thread, once free, touches neither.
TEST(PlantLink, AStopDoesNotWaitForAGoodbyeThatCannotGetThrough) {
  // Threads that a runtime starts with the first thread (a sanitizer's) are
  // counted as there before.
  std::thread([] {}).join();
  const std::size_t threadsBefore = threadCount();
  testing_support::LoopbackServer server;
  int fd = -1;
  {
    Link l;
    // Far more than the connection's buffers take while nobody reads.
    for (int n = 1; n <= static_cast<int>(readings::PlantLink::kWindow); ++n) {
      readings::StoredReading r = testing_support::sampleReading(n);
      r.text.assign(128 * 1024, 'x');
      l.queue.add(r);
    }
    l.link.start(Link::settings(server.port()));
    fd = server.accept(10000);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(packet(fd, 5000).first, 1);
    testing_support::LoopbackServer::send(fd, std::string("\x20\x02\x00\x00", 4));
    // Once the readings are read from the queue they are on their way.
    ASSERT_TRUE(l.loop.runUntil([&] { return l.queue.largestLimit() > 0; }, 20s));
  }
  // The goodbye is still under way.
  EXPECT_GT(threadCount(), threadsBefore);
  // The broken connection frees the thread, which ends.
  server.reset(fd);
  platform::ManualEventLoop wait;
  EXPECT_TRUE(wait.runUntil([&] { return threadCount() == threadsBefore; }, 20s));
}

}  // namespace
