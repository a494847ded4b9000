#pragma once
// Calls that other threads hand to the user-interface thread and wait for.
// Both event loops keep one: the loop tells the queue when it may serve, the
// queue does the locking, the waiting and the passing back of exceptions.
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>

namespace platform {

class HandoverQueue {
 public:
  // From another thread: queues call, calls notifyLoop so the user-interface
  // thread comes to serve it, and blocks until it has run. Rethrows what the
  // call threw. Throws std::runtime_error when the queue is closed.
  void runAndWait(std::function<void()> call, const std::function<void()>& notifyLoop);

  // On the user-interface thread: runs the calls queued at entry, in order.
  // Returns how many ran.
  std::size_t serve();
  bool empty() const;

  // On the user-interface thread: serves calls until done() is true. Wakes on
  // each new call and on wake(); checks done() now and then regardless.
  void waitServing(const std::function<bool()>& done);
  void wake();

  // Fails every waiting and every later caller (the loop is going away).
  void close();

 private:
  struct Pending {
    std::function<void()> call;
    std::exception_ptr error;
    bool finished = false;
  };

  void runOne(Pending& pending);

  mutable std::mutex mutex_;
  std::condition_variable queued_;    // the user-interface thread waits here
  std::condition_variable finished_;  // the handing threads wait here
  std::deque<Pending*> queue_;
  bool woken_ = false;
  bool closed_ = false;
};

}  // namespace platform
