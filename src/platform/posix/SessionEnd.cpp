#include "platform/SessionEnd.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <stdexcept>
#include <string>

namespace platform {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

// The write end of the watch's pipe, for the handler; -1 with no watch.
std::atomic<int> g_wakeFd{-1};

extern "C" void onSessionSignal(int) {
  const int saved = errno;
  const int fd = g_wakeFd.load();
  if (fd >= 0) {
    const char byte = 1;
    // A full pipe already holds a wake-up.
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
  }
  errno = saved;
}

}  // namespace

struct SessionEndWatch::State {
  int pipe[2] = {-1, -1};
  struct sigaction previous[std::size(kSignals)] {};
  std::unique_ptr<FdWatch> watch;
  bool fired = false;
};

SessionEndWatch::SessionEndWatch(EventLoop& loop, std::function<void()> onEnd) : state_(std::make_unique<State>()) {
  State& s = *state_;
  if (::pipe2(s.pipe, O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::runtime_error("pipe2: " + std::to_string(errno));
  s.watch = loop.watchFd(s.pipe[0], FdEvent::Read, [&s, onEnd = std::move(onEnd)] {
    char buffer[64];
    while (::read(s.pipe[0], buffer, sizeof buffer) > 0) {
    }
    // A second signal while the first one's end is on its way changes nothing.
    if (s.fired) return;
    s.fired = true;
    onEnd();
  });
  g_wakeFd.store(s.pipe[1]);
  struct sigaction action {};
  action.sa_handler = onSessionSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &s.previous[i]);
}

SessionEndWatch::~SessionEndWatch() {
  State& s = *state_;
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &s.previous[i], nullptr);
  g_wakeFd.store(-1);
  s.watch.reset();
  ::close(s.pipe[0]);
  ::close(s.pipe[1]);
}

}  // namespace platform
