#pragma once
// A timer on the user-interface thread with the system's interval rules:
// - an interval of 0 stops it; a non-zero interval starts it;
// - setting the interval it already has changes nothing (a running period is
//   not restarted);
// - a new interval starts a new period;
// - disabling and enabling it starts its period anew.
// The rules live here once; an event loop only arms and disarms periods.
#include <functional>

namespace platform {

class Timer {
 public:
  virtual ~Timer() = default;

  int interval() const { return interval_; }
  void setInterval(int ms);
  bool enabled() const { return enabled_; }
  void setEnabled(bool enabled);
  // Runs at the end of each period while the timer is running.
  void setOnTimer(std::function<void()> onTimer) { onTimer_ = std::move(onTimer); }
  bool running() const { return enabled_ && interval_ > 0; }

 protected:
  // Starts a new period of ms milliseconds, replacing any running one.
  virtual void arm(int ms) = 0;
  virtual void disarm() = 0;
  // Called by the loop at the end of each period.
  void fire();

 private:
  void rearm();

  int interval_ = 0;
  bool enabled_ = true;
  std::function<void()> onTimer_;
};

}  // namespace platform
