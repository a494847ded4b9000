#include "platform/SocketCalls.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include "platform/win32/Win32Text.h"

namespace platform::sockets {

namespace {

// Winsock, started once for the whole process and left running.
int startUp() {
  static int result = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data);
  }();
  return result;
}

SOCKET native(int socket) {
  return static_cast<SOCKET>(static_cast<unsigned>(socket));
}

std::size_t capped(std::size_t size) {
  return size > 0x40000000u ? 0x40000000u : size;
}

}  // namespace

int lastError() {
  return WSAGetLastError();
}

std::string message(int code) {
  return win32::errorText(static_cast<unsigned long>(code));
}

bool wouldBlock(int code) {
  return code == WSAEWOULDBLOCK;
}

bool interrupted(int code) {
  return code == WSAEINTR;
}

bool inProgress(int code) {
  return code == WSAEWOULDBLOCK || code == WSAEINPROGRESS;
}

int addressNotAvailable() {
  return WSAEADDRNOTAVAIL;
}

int open(int& socket) {
  if (const int error = startUp(); error != 0) return error;
  const SOCKET s = ::WSASocketW(AF_INET, SOCK_STREAM, IPPROTO_TCP, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
  if (s == INVALID_SOCKET) return WSAGetLastError();
  u_long nonBlocking = 1;
  if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    const int error = WSAGetLastError();
    ::closesocket(s);
    return error;
  }
  const BOOL one = TRUE;
  ::setsockopt(s, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  socket = static_cast<int>(s);
  return 0;
}

int connect(int socket, std::uint32_t addressNetOrder, std::uint16_t port) {
  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = addressNetOrder;
  target.sin_port = htons(port);
  return ::connect(native(socket), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0
             ? 0
             : WSAGetLastError();
}

int pendingError(int socket) {
  int error = 0;
  int length = sizeof error;
  if (::getsockopt(native(socket), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0)
    return WSAGetLastError();
  return error;
}

bool available(int socket, std::size_t& count) {
  u_long n = 0;
  if (::ioctlsocket(native(socket), FIONREAD, &n) != 0) return false;
  count = n;
  return true;
}

long long receive(int socket, char* buffer, std::size_t size, bool peek) {
  return ::recv(native(socket), buffer, static_cast<int>(capped(size)), peek ? MSG_PEEK : 0);
}

// The socket is non-blocking, and Windows raises no signal for a closed peer.
long long send(int socket, const char* data, std::size_t size) {
  return ::send(native(socket), data, static_cast<int>(capped(size)), 0);
}

void close(int socket) {
  ::closesocket(native(socket));
}

bool parseDotted(const std::string& host, std::uint32_t& addressNetOrder) {
  if (startUp() != 0) return false;
  in_addr address{};
  if (::inet_pton(AF_INET, host.c_str(), &address) != 1) return false;
  addressNetOrder = address.s_addr;
  return true;
}

int lookUp(const std::string& host, std::uint32_t& addressNetOrder, std::string& failure) {
  int rc = startUp();
  if (rc == 0) {
    ADDRINFOW hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    ADDRINFOW* found = nullptr;
    rc = host.empty() ? WSAHOST_NOT_FOUND
                      : ::GetAddrInfoW(win32::widen(host).c_str(), nullptr, &hints, &found);
    if (rc == 0) {
      if (found && found->ai_addr && found->ai_family == AF_INET)
        addressNetOrder = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
      else
        rc = WSAHOST_NOT_FOUND;
    }
    if (found) ::FreeAddrInfoW(found);
  }
  if (rc != 0) failure = message(rc);
  return rc;
}

}  // namespace platform::sockets
