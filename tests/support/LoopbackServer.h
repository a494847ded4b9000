#pragma once
// A TCP server on 127.0.0.1 for the Ethernet link's tests: listens on a free
// port, accepts, reads, writes, closes or resets its connections. Blocking
// calls are bounded so that a failing test ends.
#include <cstdint>
#include <string>

namespace testing_support {

class LoopbackServer {
 public:
  explicit LoopbackServer(int backlog = 16);
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t port() const { return port_; }
  int listener() const { return listener_; }

  // The next connection, or -1 when none came within waitMs. The server owns it.
  int accept(int waitMs = 2000);
  // Up to `count` bytes that arrive within waitMs.
  static std::string receive(int fd, std::size_t count, int waitMs = 2000);
  static void send(int fd, const std::string& bytes);
  // Closes without an error, or with a reset (linger 0).
  void close(int fd);
  void reset(int fd);

  // The server goes away (connections are refused) and comes back on the
  // same port.
  void stopListening();
  void listenAgain();

  // A loopback port on which nothing listens (just released).
  static std::uint16_t closedPort();

 private:
  int listener_ = -1;
  std::uint16_t port_ = 0;
  int backlog_;
  int connections_[64];
  int connectionCount_ = 0;
};

}  // namespace testing_support
