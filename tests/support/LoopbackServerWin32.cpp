#include "support/LoopbackServer.h"
#ifdef _WIN32  // the POSIX side is LoopbackServer.cpp

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <chrono>
#include <stdexcept>

namespace testing_support {

namespace {

SOCKET native(int fd) {
  return static_cast<SOCKET>(static_cast<unsigned>(fd));
}

// On the given port (0: a free one, written back).
int boundLoopbackSocket(std::uint16_t& port) {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  if (!started) throw std::runtime_error("WSAStartup");
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) throw std::runtime_error("socket");
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::closesocket(s);
    throw std::runtime_error("bind");
  }
  int length = sizeof a;
  ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &length);
  port = ntohs(a.sin_port);
  return static_cast<int>(s);
}

bool waitReadable(int fd, int waitMs) {
  WSAPOLLFD p{native(fd), POLLRDNORM, 0};
  return WSAPoll(&p, 1, waitMs) > 0;
}

}  // namespace

LoopbackServer::LoopbackServer(int backlog) : backlog_(backlog) {
  listenAgain();
}

void LoopbackServer::stopListening() {
  if (listener_ >= 0) ::closesocket(native(listener_));
  listener_ = -1;
}

void LoopbackServer::listenAgain() {
  stopListening();
  listener_ = boundLoopbackSocket(port_);
  if (::listen(native(listener_), backlog_) != 0) throw std::runtime_error("listen");
}

LoopbackServer::~LoopbackServer() {
  for (int i = 0; i < connectionCount_; ++i)
    if (connections_[i] >= 0) ::closesocket(native(connections_[i]));
  stopListening();
}

int LoopbackServer::accept(int waitMs) {
  if (!waitReadable(listener_, waitMs)) return -1;
  const SOCKET s = ::accept(native(listener_), nullptr, nullptr);
  if (s == INVALID_SOCKET) return -1;
  const int fd = static_cast<int>(s);
  if (connectionCount_ < 64) connections_[connectionCount_++] = fd;
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
    if (!waitReadable(fd, static_cast<int>(left))) continue;
    char buffer[65536];
    const int n =
        ::recv(native(fd), buffer, static_cast<int>(std::min(sizeof buffer, count - got.size())), 0);
    if (n <= 0) break;
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

void LoopbackServer::send(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const int n = ::send(native(fd), bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
    if (n < 0) throw std::runtime_error("send");
    done += static_cast<std::size_t>(n);
  }
}

void LoopbackServer::close(int fd) {
  for (int i = 0; i < connectionCount_; ++i)
    if (connections_[i] == fd) connections_[i] = -1;
  ::closesocket(native(fd));
}

void LoopbackServer::reset(int fd) {
  linger l{1, 0};
  ::setsockopt(native(fd), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
  close(fd);
}

std::uint16_t LoopbackServer::closedPort() {
  std::uint16_t port = 0;
  ::closesocket(native(boundLoopbackSocket(port)));
  return port;
}

}  // namespace testing_support

#endif
