#pragma once
// The event loop on Qt: posted messages are queued invocations on the loop's
// own object, timers are precise QTimers (the coarse default drifts by up to
// 5 %, minutes on an hour's interval), descriptors are watched by socket
// notifiers. Create it on the user-interface thread after the application
// object.
#include <memory>

#include "platform/EventLoop.h"
#include "platform/HandoverQueue.h"

class QObject;

namespace platform {

class QtEventLoop : public EventLoop {
 public:
  QtEventLoop();
  ~QtEventLoop() override;
  QtEventLoop(const QtEventLoop&) = delete;
  QtEventLoop& operator=(const QtEventLoop&) = delete;

  void post(std::function<void()> message) override;
  std::unique_ptr<Timer> createTimer() override;
  // On the user-interface thread the call simply runs.
  void invokeAndWait(std::function<void()> call) override;
  void waitServingHandovers(const std::function<bool()>& done) override;
  void wake() override;
  std::unique_ptr<FdWatch> watchFd(int fd, FdEvent event, std::function<void()> onReady) override;
  WallClock::time_point now() const override { return WallClock::now(); }

 private:
  bool onLoopThread() const;

  HandoverQueue handovers_;
  // Receives the queued invocations; destroyed first, so that none of them
  // runs on a loop that is going away.
  std::unique_ptr<QObject> context_;
};

}  // namespace platform
