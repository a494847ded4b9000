#include "support/LoopbackServer.h"
#ifndef _WIN32  // the Winsock side is LoopbackServerWin32.cpp

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <stdexcept>

namespace testing_support {

namespace {

// On the given port (0: a free one, written back).
int boundLoopbackSocket(std::uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throw std::runtime_error("socket");
  // A port taken again keeps connections of before in TIME_WAIT.
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    throw std::runtime_error("bind");
  }
  socklen_t length = sizeof a;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length);
  port = ntohs(a.sin_port);
  return fd;
}

}  // namespace

LoopbackServer::LoopbackServer(int backlog) : backlog_(backlog) {
  listenAgain();
}

void LoopbackServer::stopListening() {
  if (listener_ >= 0) ::close(listener_);
  listener_ = -1;
}

void LoopbackServer::listenAgain() {
  stopListening();
  listener_ = boundLoopbackSocket(port_);
  if (::listen(listener_, backlog_) != 0) throw std::runtime_error("listen");
}

LoopbackServer::~LoopbackServer() {
  for (int i = 0; i < connectionCount_; ++i)
    if (connections_[i] >= 0) ::close(connections_[i]);
  stopListening();
}

int LoopbackServer::accept(int waitMs) {
  pollfd p{listener_, POLLIN, 0};
  if (::poll(&p, 1, waitMs) <= 0) return -1;
  const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd >= 0 && connectionCount_ < 64) connections_[connectionCount_++] = fd;
  return fd;
}

std::string LoopbackServer::receive(int fd, std::size_t count, int waitMs) {
  std::string got;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
  while (got.size() < count) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())
            .count();
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char buffer[65536];
    const ssize_t n = ::recv(fd, buffer, std::min(sizeof buffer, count - got.size()), MSG_DONTWAIT);
    if (n == 0) break;
    if (n > 0) got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

void LoopbackServer::send(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error("send");
    }
    done += static_cast<std::size_t>(n);
  }
}

void LoopbackServer::close(int fd) {
  for (int i = 0; i < connectionCount_; ++i)
    if (connections_[i] == fd) connections_[i] = -1;
  ::close(fd);
}

void LoopbackServer::reset(int fd) {
  linger l{1, 0};
  ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
  close(fd);
}

std::uint16_t LoopbackServer::closedPort() {
  std::uint16_t port = 0;
  ::close(boundLoopbackSocket(port));
  return port;
}

}  // namespace testing_support

#endif
