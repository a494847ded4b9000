#include "support/DescriptorPair.h"

#ifdef _WIN32
#include <winsock2.h>
#else
#include <unistd.h>
#endif

#include <stdexcept>

namespace testing_support {

#ifdef _WIN32

namespace {

SOCKET native(int end) {
  return static_cast<SOCKET>(static_cast<unsigned>(end));
}

}  // namespace

DescriptorPair::DescriptorPair() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  const SOCKET listener = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  const SOCKET writer = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  int length = sizeof a;
  const bool connected = started && ::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
                         ::listen(listener, 1) == 0 &&
                         ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &length) == 0 &&
                         ::connect(writer, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  const SOCKET reader = connected ? ::accept(listener, nullptr, nullptr) : INVALID_SOCKET;
  ::closesocket(listener);
  if (reader == INVALID_SOCKET) throw std::runtime_error("loopback connection");
  u_long nonBlocking = 1;
  ::ioctlsocket(reader, FIONBIO, &nonBlocking);
  ends_[0] = static_cast<int>(reader);
  ends_[1] = static_cast<int>(writer);
}

DescriptorPair::~DescriptorPair() {
  for (int end : ends_) ::closesocket(native(end));
}

bool DescriptorPair::write(std::string_view bytes) {
  return ::send(native(ends_[1]), bytes.data(), static_cast<int>(bytes.size()), 0) ==
         static_cast<int>(bytes.size());
}

std::string DescriptorPair::read() {
  char buffer[64];
  const int n = ::recv(native(ends_[0]), buffer, sizeof buffer, 0);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

#else

DescriptorPair::DescriptorPair() {
  if (::pipe(ends_) != 0) throw std::runtime_error("pipe");
}

DescriptorPair::~DescriptorPair() {
  for (int end : ends_) ::close(end);
}

bool DescriptorPair::write(std::string_view bytes) {
  return ::write(ends_[1], bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
}

std::string DescriptorPair::read() {
  char buffer[64];
  const auto n = ::read(ends_[0], buffer, sizeof buffer);
  return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

#endif

}  // namespace testing_support
