#pragma once
// A thread asleep waiting for handles, and the wake that reaches it from any
// other thread: the serial port's event thread and the manual test loop both
// sleep in one. On POSIX it polls descriptors and wakes through a pipe; on
// Windows it waits for event handles (signalled means ready) and wakes
// through an event of its own.
#include <span>

#include "platform/NativeHandle.h"

namespace platform {

// One handle to wait for. Hang-up and errors are reported whatever is
// waited for.
struct PollWatch {
  NativeHandle handle = kNoHandle;
  bool read = false;   // wait until input is ready
  bool write = false;  // wait until output can be written
  // Filled by Poller::wait.
  bool ready = false;    // what was waited for
  bool hangUp = false;   // hung up or failed
  bool invalid = false;  // no open descriptor
};

class Poller {
 public:
  enum class Result { Ready, TimedOut, Interrupted, Failed };

  // Throws std::system_error when the wake pipe cannot be made.
  Poller();
  ~Poller();
  Poller(const Poller&) = delete;
  Poller& operator=(const Poller&) = delete;

  // From any thread, never blocking: the current or next wait returns. A full
  // pipe wakes just as well.
  void wake() noexcept;

  // Sleeps until a watch is ready or hangs up, wake() is called, or timeoutMs
  // pass (-1: no limit). A wait of 0 only looks at the watches and leaves the
  // wakes for the next wait. Wakes found are taken, and woken() tells.
  Result wait(std::span<PollWatch> watches, int timeoutMs);
  bool woken() const { return woken_; }

 private:
  void drain() noexcept;

  // The wake pipe's ends; on Windows one event, held in both.
  NativeHandle wakeWait_ = kNoHandle;
  NativeHandle wakeSignal_ = kNoHandle;
  bool woken_ = false;
};

}  // namespace platform
