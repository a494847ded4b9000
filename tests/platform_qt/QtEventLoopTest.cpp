#include "platform/qt/QtEventLoop.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include "support/EventLoopSuite.h"

namespace {

// Runs the real Qt loop in the test; the loop under test never does this.
struct QtDriver {
  // Long enough that scheduling jitter on a busy machine does not move a tick
  // across a unit boundary.
  static constexpr int kUnit = 50;

  platform::EventLoop& loop() { return qt; }

  void letTimePass(std::chrono::milliseconds ms) {
    QEventLoop wait;
    QTimer::singleShot(static_cast<int>(ms.count()), Qt::PreciseTimer, &wait, &QEventLoop::quit);
    wait.exec();
  }

  void processPending() { QCoreApplication::processEvents(); }

  bool runUntil(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
    if (pred()) return true;
    QEventLoop wait;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &wait, [&] {
      if (pred()) wait.quit();
    });
    check.start(5);
    QTimer::singleShot(static_cast<int>(limit.count()), &wait, &QEventLoop::quit);
    wait.exec();
    return pred();
  }

  platform::QtEventLoop qt;
};

}  // namespace

namespace testing_support {
INSTANTIATE_TYPED_TEST_SUITE_P(Qt, EventLoopSuite, QtDriver);
}

namespace {

TEST(QtEventLoop, MessagesLeftQueuedDieWithTheLoop) {
  bool ran = false;
  {
    platform::QtEventLoop loop;
    loop.post([&] { ran = true; });
  }
  QCoreApplication::processEvents();
  EXPECT_FALSE(ran);
}

TEST(QtEventLoop, NowIsTheTimeOfDay) {
  platform::QtEventLoop loop;
  const auto before = platform::WallClock::now();
  const auto now = loop.now();
  EXPECT_LE(before, now);
  EXPECT_LE(now, platform::WallClock::now());
}

}  // namespace
