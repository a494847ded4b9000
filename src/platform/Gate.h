#pragma once
// A gate between a worker thread that may outlive what it calls (a loop to
// post to, a store to read) and the owner that goes away first. A call passes
// only while the gate is open; closing it waits for a call in progress, and
// none passes after. Shared by the two sides (a shared_ptr), so that the
// worker may keep it after the owner has gone.
#include <mutex>

namespace platform {

class Gate {
 public:
  // Runs call under the gate's lock when the gate is open; whether it ran.
  template <class Call>
  bool pass(Call&& call) {
    std::lock_guard lock(mutex_);
    if (!open_) return false;
    call();
    return true;
  }

  void close() {
    std::lock_guard lock(mutex_);
    open_ = false;
  }

 private:
  std::mutex mutex_;
  bool open_ = true;
};

}  // namespace platform
