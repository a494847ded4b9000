#include "platform/ManualEventLoop.h"

#include <gtest/gtest.h>

#include "support/EventLoopSuite.h"

namespace {

using namespace std::chrono_literals;
using platform::ManualEventLoop;

struct ManualDriver {
  static constexpr int kUnit = 1000;
  platform::EventLoop& loop() { return manual; }
  void letTimePass(std::chrono::milliseconds ms) { manual.advance(ms); }
  void processPending() { manual.processPending(); }
  bool runUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
    return manual.runUntil(pred, limit);
  }
  ManualEventLoop manual;
};

}  // namespace

namespace testing_support {
INSTANTIATE_TYPED_TEST_SUITE_P(Manual, EventLoopSuite, ManualDriver);
}

namespace {

// Milliseconds since the loop's start.
long long msSinceStart(const ManualEventLoop& loop) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(loop.now() - ManualEventLoop::startTime())
      .count();
}

TEST(ManualEventLoop, TimerFiresAtItsExactTimes) {
  ManualEventLoop loop;
  std::vector<long long> at;
  auto timer = loop.createTimer();
  timer->setOnTimer([&] { at.push_back(msSinceStart(loop)); });
  timer->setInterval(5000);
  for (long long due : {5000, 10000, 15000}) {
    loop.advance(due - 1 - msSinceStart(loop));
    EXPECT_EQ(at.size(), static_cast<std::size_t>(due / 5000 - 1)) << "fired before " << due;
    loop.advance(1);
    ASSERT_EQ(at.size(), static_cast<std::size_t>(due / 5000)) << "not fired at " << due;
    EXPECT_EQ(at.back(), due);
  }
}

TEST(ManualEventLoop, OneAdvanceFiresEachDueTickAtItsOwnTime) {
  ManualEventLoop loop;
  std::vector<std::string> events;
  auto fast = loop.createTimer();
  auto slow = loop.createTimer();
  fast->setOnTimer([&] {
    events.push_back("fast " + std::to_string(msSinceStart(loop)));
    // Runs before the next tick, at the tick's time.
    loop.post([&] { events.push_back("posted " + std::to_string(msSinceStart(loop))); });
  });
  slow->setOnTimer([&] { events.push_back("slow " + std::to_string(msSinceStart(loop))); });
  fast->setInterval(1000);
  slow->setInterval(2500);
  loop.advance(3500);
  EXPECT_EQ(events, (std::vector<std::string>{"fast 1000", "posted 1000", "fast 2000", "posted 2000",
                                              "slow 2500", "fast 3000", "posted 3000"}));
  EXPECT_EQ(msSinceStart(loop), 3500);
}

TEST(ManualEventLoop, TiesFireInTheOrderThePeriodsStarted) {
  ManualEventLoop loop;
  std::string order;
  auto c = loop.createTimer();
  auto a = loop.createTimer();
  auto b = loop.createTimer();
  a->setOnTimer([&] { order += 'a'; });
  b->setOnTimer([&] { order += 'b'; });
  c->setOnTimer([&] { order += 'c'; });
  c->setInterval(2000);  // created first, armed first
  a->setInterval(1000);
  b->setInterval(1000);
  loop.advance(1000);
  EXPECT_EQ(order, "ab");
  // At 2000 c's period (started at 0) comes before the periods a and b began at 1000.
  loop.advance(1000);
  EXPECT_EQ(order, "abcab");
}

TEST(ManualEventLoop, TimerStoppedOrDestroyedByAnotherTickAtTheSameTimeDoesNotFire) {
  ManualEventLoop loop;
  int stoppedTicks = 0, destroyedTicks = 0;
  auto first = loop.createTimer();
  auto stopped = loop.createTimer();
  auto destroyed = loop.createTimer();
  first->setOnTimer([&] {
    stopped->setEnabled(false);
    destroyed.reset();
  });
  stopped->setOnTimer([&] { ++stoppedTicks; });
  destroyed->setOnTimer([&] { ++destroyedTicks; });
  first->setInterval(1000);
  stopped->setInterval(1000);
  destroyed->setInterval(1000);
  loop.advance(5000);
  EXPECT_EQ(stoppedTicks, 0);
  EXPECT_EQ(destroyedTicks, 0);
}

TEST(ManualEventLoop, ClockMovesOnlyWithAdvance) {
  ManualEventLoop loop;
  EXPECT_EQ(loop.now(), ManualEventLoop::startTime());
  loop.advance(1500ms);
  EXPECT_EQ(msSinceStart(loop), 1500);
  loop.processPending();
  EXPECT_TRUE(loop.runUntil([] { return true; }, 10ms));
  EXPECT_EQ(msSinceStart(loop), 1500);

  // Setting the time of day leaves the timers' periods alone.
  int ticks = 0;
  auto timer = loop.createTimer();
  timer->setOnTimer([&] { ++ticks; });
  timer->setInterval(1000);
  const auto evening = ManualEventLoop::startTime() + 12h;
  loop.setNow(evening);
  EXPECT_EQ(loop.now(), evening);
  EXPECT_EQ(ticks, 0);
  loop.advance(999);
  EXPECT_EQ(ticks, 0);
  loop.advance(1);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(loop.now(), evening + 1000ms);
}

TEST(ManualEventLoop, ProcessPendingRunsChainsButCannotBeHungByAnEndlessOne) {
  ManualEventLoop loop;
  std::vector<int> chain;
  loop.post([&] {
    loop.post([&] {
      loop.post([&] { chain.push_back(3); });
      chain.push_back(2);
    });
    chain.push_back(1);
  });
  EXPECT_TRUE(loop.processPending());
  EXPECT_EQ(chain, (std::vector<int>{1, 2, 3}));
  EXPECT_FALSE(loop.processPending()) << "nothing left";

  int endless = 0;
  std::function<void()> again = [&] {
    ++endless;
    loop.post(again);
  };
  loop.post(again);
  loop.processPending();
  EXPECT_GT(endless, 1);
  loop.advance(1000);  // also returns
}

TEST(ManualEventLoop, RunUntilGivesUpAfterItsLimit) {
  ManualEventLoop loop;
  EXPECT_FALSE(loop.runUntil([] { return false; }, 20ms));
}

}  // namespace
