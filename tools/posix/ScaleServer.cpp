#include "ScaleServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace scale {

namespace {

// While the terminal has the pty closed the master reports a hang-up at once
// on every poll; it is looked at again this often instead of spinning.
constexpr std::chrono::milliseconds kReopenCheck{100};

[[noreturn]] void fail(const std::string& what, int error) {
  throw std::runtime_error(what + ": " + std::strerror(error));
}

void setNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) fail("fcntl", errno);
}

bool hungUp(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
}

}  // namespace

ScaleServer::ScaleServer(const ServerOptions& options, std::FILE* log)
    : options_(options), log_(log), protocol_(drift_) {
  if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) fail("pipe", errno);
  try {
    if (options_.tcpPort >= 0)
      openTcp(options_.tcpPort);
    else
      openPty();
  } catch (...) {
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
    throw;
  }
}

ScaleServer::~ScaleServer() {
  closeClient();
  for (int fd : {master_, listenFd_, stopPipe_[0], stopPipe_[1]})
    if (fd >= 0) ::close(fd);
}

void ScaleServer::openPty() {
  int slave = -1;
  if (::openpty(&master_, &slave, nullptr, nullptr, nullptr) != 0) fail("openpty", errno);
  // Raw until the terminal sets its own line: no echo, no CR to LF.
  termios t{};
  if (::tcgetattr(slave, &t) == 0) {
    ::cfmakeraw(&t);
    ::tcsetattr(slave, TCSANOW, &t);
  }
  char name[256];
  if (::ttyname_r(slave, name, sizeof name) != 0) {
    const int error = errno;
    ::close(slave);
    fail("ttyname", error);
  }
  slavePath_ = name;
  // Our own slave descriptor is not kept: the terminal takes an exclusive
  // hold on the device, which must end when the terminal closes it.
  ::close(slave);
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  setNonBlocking(master_);
}

void ScaleServer::openTcp(int port) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listenFd_ < 0) fail("socket", errno);
  const int on = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never any other address
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    fail("bind 127.0.0.1:" + std::to_string(port), errno);
  if (::listen(listenFd_, 4) != 0) fail("listen", errno);
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  tcpPort_ = ntohs(address.sin_port);
}

void ScaleServer::stop() {
  const char byte = 's';
  [[maybe_unused]] const ssize_t n = ::write(stopPipe_[1], &byte, 1);
}

void ScaleServer::run() {
  if (tcp())
    logf("listening on 127.0.0.1:%d", tcpPort_);
  else
    logf("pty %s; waiting for the terminal", slavePath_.c_str());
  checkPtyReopened();
  startPacing();

  for (;;) {
    const bool connected = tcp() ? client_ >= 0 : ptyConnected_;
    Clock::time_point wake = pace(connected);
    const Clock::time_point now = Clock::now();

    pollfd fds[2] = {{stopPipe_[0], POLLIN, 0}, {-1, POLLIN, 0}};
    if (tcp())
      fds[1].fd = client_ >= 0 ? client_ : listenFd_;
    else if (ptyConnected_)
      fds[1].fd = master_;  // a negative fd is skipped by poll

    if (!tcp() && !ptyConnected_) wake = std::min(wake, now + kReopenCheck);
    const auto waitMs = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
    const int ready = ::poll(fds, 2, static_cast<int>(std::max<long long>(waitMs, 0)));
    if (ready < 0) {
      if (errno == EINTR) continue;
      fail("poll", errno);
    }
    if (fds[0].revents) {
      logf("stopping");
      return;
    }
    if (fds[1].fd >= 0 && fds[1].revents) {
      if (fds[1].fd == listenFd_) {
        sockaddr_in peer{};
        socklen_t length = sizeof peer;
        client_ =
            ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &length, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client_ >= 0) {
          protocol_.reset();
          droppedReported_ = false;
          restartStream();
          logf("client connected from port %d", ntohs(peer.sin_port));
        }
      } else {
        handleInput(fds[1].fd);
      }
    }
    if (!tcp() && !ptyConnected_) checkPtyReopened();
    if (!tcp() && ptyConnected_ && !connected) restartStream();
  }
}

void ScaleServer::checkPtyReopened() {
  if (tcp() || ptyConnected_ || hungUp(master_)) return;
  ptyConnected_ = true;
  droppedReported_ = false;
  protocol_.reset();
  logf("terminal opened the line");
}

void ScaleServer::lineClosed(const char* why) {
  if (tcp()) {
    logf("client %s", why);
    closeClient();
  } else {
    // The master stays open; the terminal may open the line again.
    ptyConnected_ = false;
    logf("terminal %s; waiting for it to open the line again", why);
  }
}

void ScaleServer::closeClient() {
  if (client_ >= 0) ::close(client_);
  client_ = -1;
}

void ScaleServer::handleInput(int fd) {
  char buffer[512];
  const ssize_t n = ::read(fd, buffer, sizeof buffer);
  if (n > 0) {
    answer(buffer, static_cast<std::size_t>(n));
    return;
  }
  if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
  // A pty master reads EIO once the slave is closed; a socket reads 0.
  lineClosed(n == 0 ? "closed the connection" : "closed the line");
}

void ScaleServer::send(const std::string& bytes) {
  const int fd = tcp() ? client_ : master_;
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = tcp() ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                            : ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno == EAGAIN) {
      notReading();
      return;
    }
    lineClosed("went away");
    return;
  }
}

}  // namespace scale
