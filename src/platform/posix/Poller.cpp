#include "platform/Poller.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>
#include <system_error>
#include <vector>

namespace platform {

Poller::Poller() {
  int fds[2];
  if (::pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0)
    throw std::system_error(errno, std::generic_category(), "pipe");
  wakeWait_ = fds[0];
  wakeSignal_ = fds[1];
}

Poller::~Poller() {
  ::close(wakeWait_);
  ::close(wakeSignal_);
}

void Poller::wake() noexcept {
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(wakeSignal_, &byte, 1);
}

void Poller::drain() noexcept {
  char buffer[256];
  while (::read(wakeWait_, buffer, sizeof buffer) > 0) {
  }
}

Poller::Result Poller::wait(std::span<PollWatch> watches, int timeoutMs) {
  woken_ = false;
  // The event thread waits for two descriptors: no allocation for a few.
  pollfd few[8];
  std::vector<pollfd> many;
  const bool withWake = timeoutMs != 0;
  const std::size_t count = watches.size() + (withWake ? 1 : 0);
  if (count > std::size(few)) many.resize(count);
  pollfd* fds = many.empty() ? few : many.data();
  for (std::size_t i = 0; i < watches.size(); ++i) {
    PollWatch& w = watches[i];
    w.ready = w.hangUp = w.invalid = false;
    fds[i] = {w.handle, static_cast<short>((w.read ? POLLIN : 0) | (w.write ? POLLOUT : 0)), 0};
  }
  if (withWake) fds[count - 1] = {wakeWait_, POLLIN, 0};
  const int n = ::poll(fds, count, timeoutMs);
  if (n < 0) return errno == EINTR ? Result::Interrupted : Result::Failed;
  if (n == 0) return Result::TimedOut;
  if (withWake && (fds[count - 1].revents & POLLIN)) {
    drain();
    woken_ = true;
  }
  for (std::size_t i = 0; i < watches.size(); ++i) {
    const short r = fds[i].revents;
    watches[i].ready = (r & fds[i].events) != 0;
    watches[i].hangUp = (r & (POLLHUP | POLLERR)) != 0;
    watches[i].invalid = (r & POLLNVAL) != 0;
  }
  return Result::Ready;
}

}  // namespace platform
