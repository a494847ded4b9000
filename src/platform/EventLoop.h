#pragma once
// The one interface of the user-interface thread's loop: posted messages,
// timers, hand-overs from other threads, file descriptor readiness and the
// current time. QtEventLoop runs it on Qt; ManualEventLoop runs it in tests
// with a virtual clock.
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "platform/Timer.h"

namespace platform {

using WallClock = std::chrono::system_clock;

// Readiness a file descriptor is watched for.
enum class FdEvent { Read, Write };

// Watches one descriptor while it lives; destroying it stops the watch.
class FdWatch {
 public:
  virtual ~FdWatch() = default;
  // Pauses and resumes the watch (a level-triggered watch that the handler
  // cannot drain at once would otherwise spin).
  virtual void setEnabled(bool enabled) = 0;
};

class EventLoop {
 public:
  using ErrorReport = std::function<void(const std::string& message)>;

  virtual ~EventLoop() = default;

  // Queues a message for the user-interface thread; messages run later, in
  // posting order, never inside the caller. Safe from any thread.
  virtual void post(std::function<void()> message) = 0;

  // A timer with the system's interval rules (see Timer). User-interface
  // thread only.
  virtual std::unique_ptr<Timer> createTimer() = 0;

  // From another thread: runs call on the user-interface thread and blocks
  // until it has run. An exception thrown by call is rethrown here, on the
  // calling thread. Hand-overs run in the order they were made.
  virtual void invokeAndWait(std::function<void()> call) = 0;

  // On the user-interface thread: waits until done() is true, still running
  // the hand-overs other threads make meanwhile (and nothing else). The
  // thread that makes done() true calls wake() afterwards.
  virtual void waitServingHandovers(const std::function<bool()>& done) = 0;
  virtual void wake() = 0;

  // Calls onReady on the user-interface thread whenever fd is ready for the
  // event (level-triggered) until the returned watch is destroyed.
  virtual std::unique_ptr<FdWatch> watchFd(int fd, FdEvent event, std::function<void()> onReady) = 0;

  // The current time of day (virtual under ManualEventLoop).
  virtual WallClock::time_point now() const = 0;

  // The general error report: every message, timer tick, fd callback and
  // widget event is dispatched through dispatch(), so an exception that no
  // handler absorbed is shown to the operator and the loop goes on.
  void setErrorReport(ErrorReport report) { errorReport_ = std::move(report); }
  void dispatch(const std::function<void()>& handler) noexcept;
  void reportError(const std::string& message) noexcept;

 private:
  ErrorReport errorReport_;
};

}  // namespace platform
