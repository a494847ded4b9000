#include "platform/Timer.h"

namespace platform {

void Timer::setInterval(int ms) {
  if (ms < 0) ms = 0;
  if (ms == interval_) return;
  interval_ = ms;
  rearm();
}

void Timer::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  rearm();
}

void Timer::rearm() {
  if (running())
    arm(interval_);
  else
    disarm();
}

void Timer::fire() {
  if (running() && onTimer_) onTimer_();
}

}  // namespace platform
