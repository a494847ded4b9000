#pragma once
// One suite for the EventLoop interface, run against every loop. A driver
// per loop owns it and knows how to let time pass:
//   platform::EventLoop& loop();
//   void letTimePass(std::chrono::milliseconds);   // timers due meanwhile fire
//   void processPending();                          // without letting time pass
//   bool runUntil(const std::function<bool()>&, std::chrono::milliseconds realLimit);
//   static constexpr int kUnit;  // ms; timer cases are written in these units
// A real-time driver picks a unit that outlasts the scheduling jitter.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/EventLoop.h"
#include "support/DescriptorPair.h"

namespace testing_support {

template <typename Driver>
class EventLoopSuite : public ::testing::Test {
 protected:
  EventLoopSuite() {
    loop().setErrorReport([this](const std::string& message) { errors.push_back(message); });
  }

  platform::EventLoop& loop() { return driver.loop(); }
  void pass(int units) { driver.letTimePass(std::chrono::milliseconds(units * Driver::kUnit)); }
  bool runUntil(const std::function<bool()>& pred) { return driver.runUntil(pred, std::chrono::seconds(5)); }

  // A timer that counts its ticks.
  std::unique_ptr<platform::Timer> countingTimer(int& ticks) {
    auto timer = loop().createTimer();
    timer->setOnTimer([&ticks] { ++ticks; });
    return timer;
  }

  Driver driver;
  std::vector<std::string> errors;
};

TYPED_TEST_SUITE_P(EventLoopSuite);

TYPED_TEST_P(EventLoopSuite, PostedMessagesRunLaterInPostingOrder) {
  std::vector<int> order;
  this->loop().post([&] {
    order.push_back(1);
    // Posted from a handler: runs after everything already queued.
    this->loop().post([&] { order.push_back(4); });
  });
  this->loop().post([&] { order.push_back(2); });
  this->loop().post([&] { order.push_back(3); });
  EXPECT_TRUE(order.empty()) << "a message ran inside post()";
  ASSERT_TRUE(this->runUntil([&] { return order.size() == 4; }));
  EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TYPED_TEST_P(EventLoopSuite, MessagesFromAnotherThreadRunOnTheLoopThreadInOrder) {
  constexpr int kCount = 500;
  std::vector<int> order;
  bool allOnLoopThread = true;
  const auto loopThread = std::this_thread::get_id();
  std::thread poster([&] {
    for (int i = 0; i < kCount; ++i)
      this->loop().post([&, i] {
        order.push_back(i);
        allOnLoopThread = allOnLoopThread && std::this_thread::get_id() == loopThread;
      });
  });
  const bool all = this->runUntil([&] { return order.size() == kCount; });
  poster.join();
  ASSERT_TRUE(all);
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(order[i], i);
  EXPECT_TRUE(allOnLoopThread);
}

TYPED_TEST_P(EventLoopSuite, TimerRepeatsAndIntervalZeroStopsIt) {
  int ticks = 0;
  auto timer = this->countingTimer(ticks);
  this->pass(3);
  EXPECT_EQ(ticks, 0) << "a new timer has no interval";
  timer->setInterval(2 * TypeParam::kUnit);
  this->pass(5);  // ticks at 2 and 4
  EXPECT_EQ(ticks, 2);
  timer->setInterval(0);
  EXPECT_FALSE(timer->running());
  this->pass(5);
  EXPECT_EQ(ticks, 2);
}

TYPED_TEST_P(EventLoopSuite, SettingTheSameIntervalKeepsTheRunningPeriod) {
  int ticks = 0;
  auto timer = this->countingTimer(ticks);
  timer->setInterval(4 * TypeParam::kUnit);
  this->pass(3);
  timer->setInterval(4 * TypeParam::kUnit);
  this->pass(2);  // the period began at 0: tick at 4, a restart would tick at 7
  EXPECT_EQ(ticks, 1);
}

TYPED_TEST_P(EventLoopSuite, NewIntervalStartsANewPeriod) {
  int ticks = 0;
  auto timer = this->countingTimer(ticks);
  timer->setInterval(4 * TypeParam::kUnit);
  this->pass(3);
  timer->setInterval(3 * TypeParam::kUnit);  // new period: tick at 6, not 4
  this->pass(2);
  EXPECT_EQ(ticks, 0);
  this->pass(2);
  EXPECT_EQ(ticks, 1);
}

TYPED_TEST_P(EventLoopSuite, DisableAndEnableRestartsThePeriod) {
  int ticks = 0;
  auto timer = this->countingTimer(ticks);
  timer->setInterval(4 * TypeParam::kUnit);
  this->pass(3);
  timer->setEnabled(false);
  this->pass(2);
  EXPECT_EQ(ticks, 0);
  timer->setEnabled(true);  // at 5: ticks at 9
  this->pass(3);
  EXPECT_EQ(ticks, 0);
  this->pass(2);
  EXPECT_EQ(ticks, 1);
}

TYPED_TEST_P(EventLoopSuite, HandlerCanChangeTheIntervalFromInsideTheTick) {
  int ticks = 0;
  auto timer = this->loop().createTimer();
  timer->setOnTimer([&] {
    if (++ticks == 1) timer->setInterval(5 * TypeParam::kUnit);
  });
  timer->setInterval(2 * TypeParam::kUnit);  // ticks at 2, then every 5: 7, 12
  this->pass(3);
  EXPECT_EQ(ticks, 1);
  this->pass(3);  // the old period would have ticked at 4 and 6
  EXPECT_EQ(ticks, 1);
  this->pass(2);
  EXPECT_EQ(ticks, 2);
}

TYPED_TEST_P(EventLoopSuite, InvokeAndWaitRunsOnTheLoopThreadAndReturnsAfterIt) {
  const auto loopThread = std::this_thread::get_id();
  std::thread::id ranOn;
  bool sawItRun = false;
  std::atomic<bool> finished{false};
  std::string caught;
  std::thread worker([&] {
    bool ran = false;
    this->loop().invokeAndWait([&] {
      ranOn = std::this_thread::get_id();
      ran = true;
    });
    sawItRun = ran;
    try {
      this->loop().invokeAndWait([] { throw std::runtime_error("no such port"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
    finished = true;
  });
  const bool done = this->runUntil([&] { return finished.load(); });
  worker.join();
  ASSERT_TRUE(done);
  EXPECT_EQ(ranOn, loopThread);
  EXPECT_TRUE(sawItRun);
  EXPECT_EQ(caught, "no such port");
  EXPECT_TRUE(this->errors.empty()) << "the caller got the exception; it is not reported too";

  // On the loop thread itself the call runs at once.
  bool inline_ = false;
  this->loop().invokeAndWait([&] { inline_ = true; });
  EXPECT_TRUE(inline_);
}

TYPED_TEST_P(EventLoopSuite, WaitServingHandoversLetsTheWaitedThreadFinish) {
  bool messageRan = false;
  this->loop().post([&] { messageRan = true; });
  std::atomic<bool> finished{false};
  std::vector<std::thread::id> ranOn;
  std::thread worker([&] {
    // A hand-over the waiting thread must serve, or neither gets on.
    for (int i = 0; i < 3; ++i)
      this->loop().invokeAndWait([&] { ranOn.push_back(std::this_thread::get_id()); });
    finished = true;
    this->loop().wake();
  });
  this->loop().waitServingHandovers([&] { return finished.load(); });
  worker.join();
  EXPECT_EQ(ranOn, std::vector<std::thread::id>(3, std::this_thread::get_id()));
  EXPECT_FALSE(messageRan) << "the wait serves hand-overs only";
  EXPECT_TRUE(this->runUntil([&] { return messageRan; }));
}

TYPED_TEST_P(EventLoopSuite, WatchesAPipeForReadiness) {
  DescriptorPair pipe;
  std::string received;
  int readCalls = 0;
  auto readWatch = this->loop().watchFd(pipe.readEnd(), platform::FdEvent::Read, [&] {
    ++readCalls;
    received += pipe.read();
  });
  this->driver.processPending();
  EXPECT_EQ(readCalls, 0) << "nothing to read yet";
  ASSERT_TRUE(pipe.write("one\ntw"));
  EXPECT_TRUE(this->runUntil([&] { return received == "one\ntw"; }));

  readWatch->setEnabled(false);
  ASSERT_TRUE(pipe.write("o\n"));
  const int callsWhilePaused = readCalls;
  this->pass(1);
  EXPECT_EQ(readCalls, callsWhilePaused);
  readWatch->setEnabled(true);
  EXPECT_TRUE(this->runUntil([&] { return received == "one\ntwo\n"; }));

  readWatch.reset();
  ASSERT_TRUE(pipe.write("x"));
  const int callsAfterStop = readCalls;
  this->pass(1);
  EXPECT_EQ(readCalls, callsAfterStop);

  // An empty pipe is ready for writing at once.
  int writeCalls = 0;
  std::unique_ptr<platform::FdWatch> writeWatch;
  writeWatch = this->loop().watchFd(pipe.writeEnd(), platform::FdEvent::Write, [&] {
    ++writeCalls;
    writeWatch->setEnabled(false);
  });
  EXPECT_TRUE(this->runUntil([&] { return writeCalls > 0; }));
  this->pass(1);
  EXPECT_EQ(writeCalls, 1);
  writeWatch.reset();
}

TYPED_TEST_P(EventLoopSuite, UnhandledErrorsReachTheReportAndTheLoopGoesOn) {
  bool after = false;
  this->loop().post([] { throw std::runtime_error("bad message"); });
  this->loop().post([&] { after = true; });
  EXPECT_TRUE(this->runUntil([&] { return after; }));

  int ticks = 0;
  auto timer = this->loop().createTimer();
  timer->setOnTimer([&] {
    ++ticks;
    throw std::invalid_argument("bad tick");
  });
  timer->setInterval(2 * TypeParam::kUnit);
  this->pass(5);
  EXPECT_EQ(ticks, 2) << "the timer keeps running";
  timer->setInterval(0);

  DescriptorPair pipe;
  std::unique_ptr<platform::FdWatch> watch;
  watch = this->loop().watchFd(pipe.readEnd(), platform::FdEvent::Read, [&] {
    watch->setEnabled(false);
    throw std::runtime_error("bad read");
  });
  ASSERT_TRUE(pipe.write("x"));
  EXPECT_TRUE(this->runUntil([&] { return this->errors.size() >= 4; }));
  watch.reset();

  EXPECT_EQ(this->errors, (std::vector<std::string>{"bad message", "bad tick", "bad tick", "bad read"}));
}

REGISTER_TYPED_TEST_SUITE_P(EventLoopSuite, PostedMessagesRunLaterInPostingOrder,
                            MessagesFromAnotherThreadRunOnTheLoopThreadInOrder,
                            TimerRepeatsAndIntervalZeroStopsIt, SettingTheSameIntervalKeepsTheRunningPeriod,
                            NewIntervalStartsANewPeriod, DisableAndEnableRestartsThePeriod,
                            HandlerCanChangeTheIntervalFromInsideTheTick,
                            InvokeAndWaitRunsOnTheLoopThreadAndReturnsAfterIt,
                            WaitServingHandoversLetsTheWaitedThreadFinish, WatchesAPipeForReadiness,
                            UnhandledErrorsReachTheReportAndTheLoopGoesOn);

}  // namespace testing_support
