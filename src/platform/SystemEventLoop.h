#pragma once
// The loop of a run without a window: the manual loop's schedule driven by
// the real clock, with nothing of a toolkit. It sleeps while nothing is due.
#include <functional>

#include "platform/ManualEventLoop.h"

namespace platform {

class SystemEventLoop final : public ManualEventLoop {
 public:
  // now() starts at the time of day.
  SystemEventLoop() { setNow(WallClock::now()); }

  // Serves messages, timers, hand-overs and watched descriptors as they
  // come due, until done() is true.
  void run(const std::function<bool()>& done) { runOnRealClock(done); }
};

}  // namespace platform
