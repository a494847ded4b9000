#include "platform/Poller.h"

#include <gtest/gtest.h>

#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace {

using platform::Poller;
using platform::PollWatch;

#ifdef _WIN32
// On Windows the poller waits for event handles: signalled is ready.
TEST(Poller, WakesFromAnotherThreadAndReportsSignalledHandles) {
  Poller poller;
  HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  PollWatch watch{.handle = event, .read = true};

  std::thread waker([&] { poller.wake(); });
  EXPECT_EQ(poller.wait(std::span(&watch, 1), -1), Poller::Result::Ready);
  waker.join();
  EXPECT_TRUE(poller.woken());
  EXPECT_FALSE(watch.ready);
  EXPECT_EQ(poller.wait(std::span(&watch, 1), 1), Poller::Result::TimedOut);

  // A wake made before a look of 0 stays for the next wait.
  poller.wake();
  SetEvent(event);
  EXPECT_EQ(poller.wait(std::span(&watch, 1), 0), Poller::Result::Ready);
  EXPECT_TRUE(watch.ready);
  EXPECT_FALSE(poller.woken());
  EXPECT_EQ(poller.wait(std::span(&watch, 1), -1), Poller::Result::Ready);
  EXPECT_TRUE(poller.woken());
  EXPECT_TRUE(watch.ready);  // still signalled: a watch is level-triggered

  // A handle that is not watched for anything is not waited for.
  watch.read = false;
  EXPECT_EQ(poller.wait(std::span(&watch, 1), 1), Poller::Result::TimedOut);
  CloseHandle(event);
}
#else

struct Pipe {
  Pipe() { EXPECT_EQ(::pipe(fds), 0); }
  ~Pipe() {
    for (int fd : fds)
      if (fd >= 0) ::close(fd);
  }
  void closeWriteEnd() {
    ::close(fds[1]);
    fds[1] = -1;
  }
  int fds[2] = {-1, -1};
};

TEST(Poller, WakesFromAnotherThreadAndReportsReadinessAndHangUp) {
  Poller poller;
  Pipe device;
  PollWatch watch{.handle = device.fds[0], .read = true};

  // A wake from another thread ends a wait without a limit; the wake is taken.
  std::thread waker([&] { poller.wake(); });
  EXPECT_EQ(poller.wait(std::span(&watch, 1), -1), Poller::Result::Ready);
  waker.join();
  EXPECT_TRUE(poller.woken());
  EXPECT_FALSE(watch.ready);
  EXPECT_EQ(poller.wait(std::span(&watch, 1), 1), Poller::Result::TimedOut);

  // A wake made before a look of 0 stays for the next wait.
  poller.wake();
  ASSERT_EQ(::write(device.fds[1], "x", 1), 1);
  EXPECT_EQ(poller.wait(std::span(&watch, 1), 0), Poller::Result::Ready);
  EXPECT_TRUE(watch.ready);
  EXPECT_FALSE(poller.woken());
  EXPECT_EQ(poller.wait(std::span(&watch, 1), -1), Poller::Result::Ready);
  EXPECT_TRUE(poller.woken());

  // Hang-up is reported also where input is not waited for.
  device.closeWriteEnd();
  watch.read = false;
  EXPECT_EQ(poller.wait(std::span(&watch, 1), -1), Poller::Result::Ready);
  EXPECT_TRUE(watch.hangUp);
  EXPECT_FALSE(watch.ready);
}
#endif

}  // namespace
