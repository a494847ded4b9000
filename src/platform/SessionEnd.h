#pragma once
// The end of the operator's session from outside the program: SIGTERM, SIGHUP
// or SIGINT on Linux; on Windows Ctrl+C, Ctrl+Break or the console's close,
// log-off or shut-down for a console program. onEnd runs on the loop's thread,
// once, as a posted message; it ends the program the way "Koniec" does and
// leaves nothing that matters to the destructors: Windows ends a console
// program as soon as its close, log-off or shut-down handler returns, which
// waits (up to a few seconds) for onEnd to have run. (A
// window program on Windows hears of the session's end from its window's
// messages instead: see platform/qt/QtSessionEnd.h.)
#include <functional>
#include <memory>

#include "platform/EventLoop.h"

namespace platform {

class SessionEndWatch {
 public:
  // One watch at a time in a process; the signals' own handling comes back
  // when it is destroyed.
  SessionEndWatch(EventLoop& loop, std::function<void()> onEnd);
  ~SessionEndWatch();
  SessionEndWatch(const SessionEndWatch&) = delete;
  SessionEndWatch& operator=(const SessionEndWatch&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform
