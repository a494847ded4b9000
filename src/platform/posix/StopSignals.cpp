#include "platform/StopSignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace platform {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The pipe's writing end, for the handler; -1 while no one listens.
volatile sig_atomic_t signalPipe = -1;

extern "C" void onSignal(int) {
  const int saved = errno;
  const int fd = signalPipe;
  if (fd >= 0) {
    const char byte = 1;
    // A full pipe already holds a request.
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

struct StopSignals::State {
  int readEnd = -1;
  int writeEnd = -1;
  struct sigaction previous[std::size(kSignals)] = {};
  std::unique_ptr<FdWatch> watch;
};

StopSignals::StopSignals(EventLoop& loop, std::function<void()> onStop) : state_(std::make_unique<State>()) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::system_error(errno, std::generic_category(), "pipe");
  state_->readEnd = fds[0];
  state_->writeEnd = fds[1];
  state_->watch = loop.watchFd(state_->readEnd, FdEvent::Read, [this, onStop = std::move(onStop)] {
    char bytes[64];
    bool any = false;
    while (::read(state_->readEnd, bytes, sizeof bytes) > 0) any = true;
    if (any) onStop();
  });
  signalPipe = state_->writeEnd;
  struct sigaction action = {};
  action.sa_handler = onSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i)
    ::sigaction(kSignals[i], &action, &state_->previous[i]);
}

StopSignals::~StopSignals() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i)
    ::sigaction(kSignals[i], &state_->previous[i], nullptr);
  signalPipe = -1;
  state_->watch.reset();
  ::close(state_->readEnd);
  ::close(state_->writeEnd);
}

}  // namespace platform
