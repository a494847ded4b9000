#pragma once
// Requests from outside to stop: Ctrl+C, SIGTERM and SIGHUP on POSIX (through
// a pipe the signal handler writes to, watched by the loop), Ctrl+C,
// Ctrl+Break and the console's closing on Windows. Each request calls onStop
// on the loop's thread. One at a time per process. A run without a window
// stops as its Stop button does; the window program ends as "Koniec" does
// (a window program on Windows hears of the session's end from its window's
// messages instead: platform/qt/QtSessionEnd.h).
#include <functional>
#include <memory>

#include "platform/EventLoop.h"

namespace platform {

class StopSignals {
 public:
  StopSignals(EventLoop& loop, std::function<void()> onStop);
  ~StopSignals();
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
