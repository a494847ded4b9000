#pragma once
// The event loop for tests: a virtual clock that moves only when the test says
// so, and real file descriptor readiness through poll(). A test of "a send at
// 5 s, 10 s and 15 s" runs in milliseconds and sees exact times.
//
// Threads: post(), invokeAndWait() and wake() are safe from any thread; the
// rest belongs to the thread that created the loop (the user-interface thread
// of the test). Hand-overs from other threads run when that thread calls
// processPending(), advance(), runUntil() or waitServingHandovers().
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/EventLoop.h"
#include "platform/HandoverQueue.h"
#include "platform/Poller.h"

namespace platform {

class ManualEventLoop : public EventLoop {
 public:
  // now() of a new loop: Monday 3 June 2024, 08:00:00.000 UTC.
  static WallClock::time_point startTime();

  ManualEventLoop();
  ~ManualEventLoop() override;
  ManualEventLoop(const ManualEventLoop&) = delete;
  ManualEventLoop& operator=(const ManualEventLoop&) = delete;

  void post(std::function<void()> message) override;
  std::unique_ptr<Timer> createTimer() override;
  // On the loop's own thread the call simply runs.
  void invokeAndWait(std::function<void()> call) override;
  void waitServingHandovers(const std::function<bool()>& done) override;
  void wake() override;
  std::unique_ptr<FdWatch> watchFd(int fd, FdEvent event, std::function<void()> onReady) override;
  WallClock::time_point now() const override;

  // Sets the time of day. Timers keep their periods: they run on the virtual
  // time that advance() moves, not on the time of day.
  void setNow(WallClock::time_point time);

  // Moves the clock on by ms. Each timer due meanwhile fires at its exact due
  // time (now() reads that time inside the tick), in time order, ties in the
  // order their periods were started; a period shorter than ms fires several
  // times. Pending work (as processPending()) is served before each tick and
  // after the last.
  void advance(std::chrono::milliseconds ms);
  void advance(int ms) { advance(std::chrono::milliseconds(ms)); }

  // Runs posted messages, hand-overs and the callbacks of ready descriptors
  // without waiting and without moving the clock, again and again until
  // nothing is left. Each round runs only what was pending when it began, and
  // the rounds are bounded, so a handler that posts for ever cannot hang it.
  // Returns whether anything ran. A test's loop may add to it (advance()
  // serves pending work through it).
  virtual bool processPending();

  // Waits in real time on the watched descriptors and on messages and
  // hand-overs from other threads, serving them, until pred() is true or
  // realLimit has passed. Does not move the virtual clock. Returns pred().
  bool runUntil(const std::function<bool()>& pred, std::chrono::milliseconds realLimit);

  // Internal: the virtual time, timers and watches, shared with the timers and
  // watches it hands out so that they may outlive the loop.
  struct Schedule;

 protected:
  // The same schedule on the real clock, for a program without a window:
  // sleeps until a timer is due, a watched descriptor is ready or another
  // thread posts, moves the clock to the real time that has passed, and
  // serves what is due, until done() is true after a round.
  void runOnRealClock(const std::function<bool()>& done);

 private:
  bool runPostedRound();
  bool runReadyFds(int timeoutMs);
  // Sleeps until a watched descriptor is ready, another thread posts or
  // timeoutMs pass (-1: no limit), running nothing.
  void sleepUntilReady(int timeoutMs);

  std::shared_ptr<Schedule> schedule_;
  std::atomic<std::int64_t> elapsedMs_{0};
  WallClock::time_point wallAtZero_;
  std::thread::id ownerThread_;

  std::mutex postedMutex_;
  std::deque<std::function<void()>> posted_;
  HandoverQueue handovers_;
  // runUntil() sleeps here; another thread's post wakes it.
  Poller poller_;
};

}  // namespace platform
