#include "platform/HandoverQueue.h"

#include <chrono>
#include <stdexcept>

#include "platform/EventLoopStopped.h"

namespace platform {
namespace {
// A missed wake() costs at most this much: done() is checked again anyway.
constexpr auto kRecheckInterval = std::chrono::milliseconds(20);
}  // namespace

void HandoverQueue::runAndWait(std::function<void()> call, const std::function<void()>& notifyLoop) {
  Pending pending;
  pending.call = std::move(call);
  {
    std::unique_lock lock(mutex_);
    if (closed_) throw EventLoopStopped();
    queue_.push_back(&pending);
  }
  queued_.notify_all();
  if (notifyLoop) notifyLoop();
  std::unique_lock lock(mutex_);
  finished_.wait(lock, [&] { return pending.finished; });
  if (pending.error) std::rethrow_exception(pending.error);
}

void HandoverQueue::runOne(Pending& pending) {
  try {
    pending.call();
  } catch (...) {
    // Whatever the call threw goes back to the thread that waits for it.
    pending.error = std::current_exception();
  }
  {
    std::lock_guard lock(mutex_);
    pending.finished = true;
  }
  finished_.notify_all();
}

std::size_t HandoverQueue::serve() {
  std::size_t count;
  {
    std::lock_guard lock(mutex_);
    count = queue_.size();
  }
  // Only what was queued at entry: a caller that hands over again at once
  // must not keep the loop here for ever.
  for (std::size_t i = 0; i < count; ++i) {
    Pending* pending;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) return i;
      pending = queue_.front();
      queue_.pop_front();
    }
    runOne(*pending);
  }
  return count;
}

bool HandoverQueue::empty() const {
  std::lock_guard lock(mutex_);
  return queue_.empty();
}

void HandoverQueue::waitServing(const std::function<bool()>& done) {
  for (;;) {
    serve();
    if (done()) return;
    std::unique_lock lock(mutex_);
    queued_.wait_for(lock, kRecheckInterval, [&] { return !queue_.empty() || woken_; });
    woken_ = false;
  }
}

void HandoverQueue::wake() {
  {
    std::lock_guard lock(mutex_);
    woken_ = true;
  }
  queued_.notify_all();
}

void HandoverQueue::close() {
  std::deque<Pending*> abandoned;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    abandoned.swap(queue_);
    for (Pending* pending : abandoned) {
      pending->error = std::make_exception_ptr(EventLoopStopped());
      pending->finished = true;
    }
  }
  finished_.notify_all();
}

}  // namespace platform
