#include "platform/SocketCalls.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::sockets {

int lastError() {
  return errno;
}

std::string message(int code) {
  return std::strerror(code);
}

bool wouldBlock(int code) {
  return code == EAGAIN || code == EWOULDBLOCK;
}

bool interrupted(int code) {
  return code == EINTR;
}

bool inProgress(int code) {
  return code == EINPROGRESS;
}

int addressNotAvailable() {
  return EADDRNOTAVAIL;
}

int open(int& socket) {
  socket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (socket < 0) return errno;
  const int one = 1;
  ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  return 0;
}

int connect(int socket, std::uint32_t addressNetOrder, std::uint16_t port) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = addressNetOrder;
  target.sin_port = htons(port);
  int rc;
  do {
    rc = ::connect(socket, reinterpret_cast<const sockaddr*>(&target), sizeof target);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? 0 : errno;
}

int pendingError(int socket) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

bool available(int socket, std::size_t& count) {
  int n = 0;
  if (::ioctl(socket, FIONREAD, &n) != 0 || n < 0) return false;
  count = static_cast<std::size_t>(n);
  return true;
}

long long receive(int socket, char* buffer, std::size_t size, bool peek) {
  return ::recv(socket, buffer, size, peek ? MSG_PEEK : 0);
}

long long send(int socket, const char* data, std::size_t size) {
  return ::send(socket, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
}

void close(int socket) {
  ::close(socket);
}

bool parseDotted(const std::string& host, std::uint32_t& addressNetOrder) {
  in_addr address{};
  if (::inet_pton(AF_INET, host.c_str(), &address) != 1) return false;
  addressNetOrder = address.s_addr;
  return true;
}

int lookUp(const std::string& host, std::uint32_t& addressNetOrder, std::string& failure) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  int rc = host.empty() ? EAI_NONAME : ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
  const int savedErrno = errno;
  if (rc == 0) {
    if (found && found->ai_addr && found->ai_family == AF_INET)
      addressNetOrder = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    else
      rc = EAI_NONAME;
  }
  if (found) ::freeaddrinfo(found);
  if (rc == 0) return 0;
  // The resolver's own code and text, or the system's.
  if (rc == EAI_SYSTEM) {
    const int code = savedErrno != 0 ? savedErrno : EIO;
    failure = message(code);
    return code;
  }
  failure = ::gai_strerror(rc);
  return rc < 0 ? -rc : rc;
}

}  // namespace platform::sockets
