#include "support/Pty.h"
#ifndef _WIN32  // the COM-port side is PtyWin32.cpp

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/posix/SerialSpeed.h"

namespace testing_support {

Pty::Pty() {
  char name[256] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
    throw std::runtime_error(std::string("openpty: ") + std::strerror(errno));
  slavePath_ = name;
  ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
  ::fcntl(master_, F_SETFD, FD_CLOEXEC);
  ::fcntl(slave_, F_SETFD, FD_CLOEXEC);
  // The master is the scale's end: raw, so bytes pass unchanged.
  termios t{};
  tcgetattr(slave_, &t);
  cfmakeraw(&t);
  tcsetattr(slave_, TCSANOW, &t);
}

Pty::~Pty() {
  if (slave_ >= 0) ::close(slave_);
  if (master_ >= 0) ::close(master_);
}

termios Pty::slaveTermios() const {
  termios t{};
  if (tcgetattr(slave_, &t) != 0) throw std::runtime_error(std::string("tcgetattr: ") + std::strerror(errno));
  return t;
}

int Pty::slaveSpeed() const {
  return platform::readLineSpeed(slave_);
}

void Pty::send(const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd p{master_, POLLOUT, 0};
        ::poll(&p, 1, 1000);
        continue;
      }
      throw std::runtime_error(std::string("pty write: ") + std::strerror(errno));
    }
    done += static_cast<std::size_t>(n);
  }
}

void Pty::closeMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

std::string Pty::receive(int waitMs, std::size_t atLeast) {
  std::string out;
  char buffer[4096];
  while (out.size() < atLeast) {
    pollfd p{master_, POLLIN, 0};
    if (::poll(&p, 1, waitMs) <= 0) break;
    const ssize_t n = ::read(master_, buffer, sizeof buffer);
    if (n <= 0) break;
    out.append(buffer, static_cast<std::size_t>(n));
  }
  return out;
}

}  // namespace testing_support

#endif
