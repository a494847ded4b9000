#include "platform/ManualEventLoop.h"

#include <algorithm>
#include <vector>

#include "platform/DescriptorWait.h"

namespace platform {
namespace {

// Enough for any real chain of messages posting messages; a handler that
// posts for ever stops here instead of hanging the test.
constexpr int kMaxRounds = 1000;

struct WatchEntry {
  int fd;
  FdEvent event;
  std::function<void()> onReady;
  bool enabled = true;
  bool alive = true;
};

class ManualTimer;

}  // namespace

struct ManualEventLoop::Schedule {
  std::atomic<std::int64_t> elapsedMs{0};
  std::uint64_t nextSeq = 0;
  std::vector<ManualTimer*> timers;
  std::vector<std::shared_ptr<WatchEntry>> watches;
};

namespace {

class ManualTimer final : public Timer {
 public:
  explicit ManualTimer(std::shared_ptr<ManualEventLoop::Schedule> schedule) : schedule_(std::move(schedule)) {
    schedule_->timers.push_back(this);
  }
  ~ManualTimer() override { std::erase(schedule_->timers, this); }

  bool armed() const { return armed_; }
  std::int64_t due() const { return due_; }
  std::uint64_t seq() const { return seq_; }

  // The next period starts before the tick runs, so a handler that changes
  // the interval or stops the timer replaces it.
  void tick() {
    due_ += period_;
    seq_ = schedule_->nextSeq++;
    fire();
  }

 protected:
  void arm(int ms) override {
    armed_ = true;
    period_ = ms;
    due_ = schedule_->elapsedMs + ms;
    seq_ = schedule_->nextSeq++;
  }
  void disarm() override { armed_ = false; }

 private:
  std::shared_ptr<ManualEventLoop::Schedule> schedule_;
  bool armed_ = false;
  int period_ = 0;
  std::int64_t due_ = 0;
  std::uint64_t seq_ = 0;
};

class ManualFdWatch final : public FdWatch {
 public:
  ManualFdWatch(std::shared_ptr<ManualEventLoop::Schedule> schedule, std::shared_ptr<WatchEntry> entry)
      : schedule_(std::move(schedule)), entry_(std::move(entry)) {
    schedule_->watches.push_back(entry_);
  }
  ~ManualFdWatch() override {
    entry_->alive = false;
    std::erase(schedule_->watches, entry_);
  }
  void setEnabled(bool enabled) override { entry_->enabled = enabled; }

 private:
  std::shared_ptr<ManualEventLoop::Schedule> schedule_;
  std::shared_ptr<WatchEntry> entry_;
};

}  // namespace

namespace {

// The armed timer due first by target, ties in the order their periods were
// started; null when none is due.
ManualTimer* firstDue(const ManualEventLoop::Schedule& schedule, std::int64_t target) {
  ManualTimer* next = nullptr;
  for (ManualTimer* timer : schedule.timers) {
    if (!timer->armed() || timer->due() > target) continue;
    if (!next || timer->due() < next->due() || (timer->due() == next->due() && timer->seq() < next->seq()))
      next = timer;
  }
  return next;
}

}  // namespace

WallClock::time_point ManualEventLoop::startTime() {
  using namespace std::chrono;
  return sys_days{year{2024} / June / 3} + hours{8};
}

ManualEventLoop::ManualEventLoop()
    : schedule_(std::make_shared<Schedule>()),
      wallAtZero_(startTime()),
      ownerThread_(std::this_thread::get_id()) {}

ManualEventLoop::~ManualEventLoop() {
  handovers_.close();
}

void ManualEventLoop::post(std::function<void()> message) {
  {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(message));
  }
  // The owner thread is not inside a wait while it posts.
  if (std::this_thread::get_id() != ownerThread_) poller_.wake();
}

std::unique_ptr<Timer> ManualEventLoop::createTimer() {
  return std::make_unique<ManualTimer>(schedule_);
}

void ManualEventLoop::invokeAndWait(std::function<void()> call) {
  if (std::this_thread::get_id() == ownerThread_) {
    call();
    return;
  }
  // The serving goes through the posted queue so that hand-overs keep their
  // place among the messages; waitServingHandovers() serves them directly.
  handovers_.runAndWait(std::move(call), [this] { post([this] { handovers_.serve(); }); });
}

void ManualEventLoop::waitServingHandovers(const std::function<bool()>& done) {
  handovers_.waitServing(done);
}

void ManualEventLoop::wake() {
  handovers_.wake();
  poller_.wake();
}

std::unique_ptr<FdWatch> ManualEventLoop::watchFd(int fd, FdEvent event, std::function<void()> onReady) {
  auto entry = std::make_shared<WatchEntry>();
  entry->fd = fd;
  entry->event = event;
  entry->onReady = std::move(onReady);
  return std::make_unique<ManualFdWatch>(schedule_, std::move(entry));
}

WallClock::time_point ManualEventLoop::now() const {
  return wallAtZero_ + std::chrono::milliseconds(schedule_->elapsedMs.load());
}

void ManualEventLoop::setNow(WallClock::time_point time) {
  wallAtZero_ = std::chrono::time_point_cast<WallClock::duration>(
      time - std::chrono::milliseconds(schedule_->elapsedMs.load()));
}

void ManualEventLoop::advance(std::chrono::milliseconds ms) {
  const std::int64_t target = schedule_->elapsedMs + std::max<std::int64_t>(ms.count(), 0);
  processPending();
  while (ManualTimer* next = firstDue(*schedule_, target)) {
    schedule_->elapsedMs = next->due();
    dispatch([next] { next->tick(); });
    processPending();
  }
  schedule_->elapsedMs = target;
  processPending();
}

bool ManualEventLoop::processPending() {
  bool any = false;
  for (int round = 0; round < kMaxRounds; ++round) {
    bool ran = runPostedRound();
    if (!schedule_->watches.empty()) ran = runReadyFds(0) || ran;
    if (!ran) break;
    any = true;
  }
  return any;
}

bool ManualEventLoop::runUntil(const std::function<bool()>& pred, std::chrono::milliseconds realLimit) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + realLimit;
  for (;;) {
    processPending();
    if (pred()) return true;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return pred();
    // pred() may also turn true on another thread without a word to the loop.
    runReadyFds(static_cast<int>(std::min<std::int64_t>(left.count(), 10)));
  }
}

void ManualEventLoop::runOnRealClock(const std::function<bool()>& done) {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  const std::int64_t base = schedule_->elapsedMs;
  auto realElapsed = [&] {
    return base + std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  };
  for (;;) {
    // Timers due by now tick at their own due times, so their next periods
    // keep their phase; whatever else runs then reads the real time and
    // arms its timers from there.
    const std::int64_t target = realElapsed();
    while (ManualTimer* next = firstDue(*schedule_, target)) {
      schedule_->elapsedMs = std::max<std::int64_t>(schedule_->elapsedMs, next->due());
      dispatch([next] { next->tick(); });
    }
    schedule_->elapsedMs = std::max<std::int64_t>(schedule_->elapsedMs, target);
    processPending();
    if (done()) return;
    std::int64_t wait = -1;
    const std::int64_t now = realElapsed();
    for (ManualTimer* timer : schedule_->timers) {
      if (!timer->armed()) continue;
      const std::int64_t left = std::max<std::int64_t>(0, timer->due() - now);
      wait = wait < 0 ? left : std::min(wait, left);
    }
    {
      std::lock_guard lock(postedMutex_);
      if (!posted_.empty()) wait = 0;
    }
    if (wait != 0) sleepUntilReady(static_cast<int>(std::min<std::int64_t>(wait, 1 << 30)));
  }
}

void ManualEventLoop::sleepUntilReady(int timeoutMs) {
  std::vector<DescriptorWatch> fds;
  for (const auto& entry : schedule_->watches)
    if (entry->enabled) fds.push_back({.fd = entry->fd, .write = entry->event == FdEvent::Write});
  // What woke it is served by the next round.
  waitForDescriptors(poller_, fds, timeoutMs);
}

bool ManualEventLoop::runPostedRound() {
  std::size_t count;
  {
    std::lock_guard lock(postedMutex_);
    count = posted_.size();
  }
  for (std::size_t i = 0; i < count; ++i) {
    std::function<void()> message;
    {
      std::lock_guard lock(postedMutex_);
      message = std::move(posted_.front());
      posted_.pop_front();
    }
    dispatch(message);
  }
  return count > 0;
}

// With a timeout, also wakes when another thread posts; 0 only looks.
bool ManualEventLoop::runReadyFds(int timeoutMs) {
  // Callbacks may destroy watches (their own too): work on a copy that keeps
  // the entries alive.
  std::vector<std::shared_ptr<WatchEntry>> watched;
  std::vector<DescriptorWatch> fds;
  for (const auto& entry : schedule_->watches) {
    if (!entry->enabled) continue;
    watched.push_back(entry);
    fds.push_back({.fd = entry->fd, .write = entry->event == FdEvent::Write});
  }
  if (fds.empty() && timeoutMs <= 0) return false;
  // Interrupted: the caller comes again.
  if (waitForDescriptors(poller_, fds, timeoutMs) != Poller::Result::Ready) return false;
  bool ran = false;
  for (std::size_t i = 0; i < watched.size(); ++i) {
    // Hang-up and error count as ready: the handler's read or write sees them.
    if (!fds[i].ready) continue;
    WatchEntry& entry = *watched[i];
    if (!entry.alive || !entry.enabled) continue;
    dispatch(entry.onReady);
    ran = true;
  }
  return ran;
}

}  // namespace platform
