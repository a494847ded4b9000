#pragma once
// A thread asleep waiting for descriptors, and the pipe that wakes it from
// any other thread: the serial port's event thread and the manual test loop
// both sleep in one.
#include <span>

namespace platform {

// One descriptor to wait for. Hang-up and errors are reported whatever is
// waited for.
struct PollWatch {
  int fd = -1;
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

  int readEnd_ = -1;
  int writeEnd_ = -1;
  bool woken_ = false;
};

}  // namespace platform
