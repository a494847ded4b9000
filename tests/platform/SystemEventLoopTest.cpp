#include "platform/SystemEventLoop.h"

#include <gtest/gtest.h>

#include <csignal>

#include "platform/StopSignals.h"
#include "support/EventLoopSuite.h"

namespace {

// The loop of a run without a window, on the real clock.
struct SystemDriver {
  // Long enough that scheduling jitter on a busy machine does not move a tick
  // across a unit boundary.
  static constexpr int kUnit = 50;

  platform::EventLoop& loop() { return system; }

  void letTimePass(std::chrono::milliseconds ms) {
    runUntil([] { return false; }, ms);
  }

  void processPending() { system.processPending(); }

  // A check now and then: pred() may turn true on another thread without a
  // word to the loop.
  bool runUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
    bool over = false;
    const auto end = system.createTimer();
    end->setOnTimer([&over] { over = true; });
    end->setInterval(static_cast<int>(limit.count()));
    const auto check = system.createTimer();
    check->setOnTimer([] {});
    check->setInterval(5);
    system.run([&] { return over || pred(); });
    return pred();
  }

  platform::SystemEventLoop system;
};

}  // namespace

namespace testing_support {
INSTANTIATE_TYPED_TEST_SUITE_P(System, EventLoopSuite, SystemDriver);
}

namespace {

TEST(SystemEventLoop, NowIsTheTimeOfDayAndStopSignalsReachTheLoop) {
  platform::SystemEventLoop loop;
  const auto before = platform::WallClock::now();
  EXPECT_LE(std::chrono::abs(loop.now() - before), std::chrono::seconds(1));
#ifndef _WIN32
  // SIGINT, SIGTERM and SIGHUP each call the handler on the loop's thread,
  // once per signal; the process goes on.
  int stops = 0;
  {
    platform::StopSignals signals(loop, [&stops] { ++stops; });
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
      const int before = stops;
      std::raise(signal);
      loop.run([&] { return stops > before; });
    }
  }
  EXPECT_EQ(stops, 3);
#endif
}

}  // namespace
