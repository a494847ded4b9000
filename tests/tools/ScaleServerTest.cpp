// The pretend scale on real lines: a pty the test opens as the terminal
// would, and a loopback TCP port.
#include "ScaleServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Runs the server's loop on its own thread for the length of a test.
class RunningServer {
 public:
  explicit RunningServer(const scale::ServerOptions& options) : server_(options, nullptr) {
    thread_ = std::thread([this] { server_.run(); });
  }
  ~RunningServer() {
    server_.stop();
    thread_.join();
  }
  scale::ScaleServer& operator*() { return server_; }
  scale::ScaleServer* operator->() { return &server_; }

 private:
  scale::ScaleServer server_;
  std::thread thread_;
};

// Reads until `lines` line ends arrived; the deadline only bounds a failing test.
std::string readLines(int fd, int lines) {
  std::string got;
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  int seen = 0;
  while (seen < lines && std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 50) != 1) continue;
    char buffer[256];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    for (ssize_t i = 0; i < n; ++i) seen += buffer[i] == '\n';
    got.append(buffer, static_cast<std::size_t>(n));
  }
  return got;
}

void writeAll(int fd, const std::string& bytes) {
  ASSERT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
}

int openAsTerminal(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios t{};
  if (fd >= 0 && ::tcgetattr(fd, &t) == 0) {
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
  }
  return fd;
}

int connectTo(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

const std::regex kWeightLine(R"(S S [ -]{0,9}\d+\.\d\d g\r\n)");

TEST(ScaleServerPty, AnswersTheTerminalAndOutlivesItsClosing) {
  RunningServer server(scale::ServerOptions{});
  ASSERT_FALSE(server->slavePath().empty());

  int fd = openAsTerminal(server->slavePath());
  ASSERT_GE(fd, 0);
  writeAll(fd, "SI\r\n");
  const std::string first = readLines(fd, 1);
  EXPECT_TRUE(std::regex_match(first, kWeightLine)) << first;
  EXPECT_EQ(first.size(), std::string("S S     123.45 g\r\n").size());
  ::close(fd);

  // The terminal closes the line (the master reads EIO) and opens it again:
  // the scale is still there, and forgot nothing but the closed line.
  for (int round = 0; round < 2; ++round) {
    fd = openAsTerminal(server->slavePath());
    ASSERT_GE(fd, 0);
    writeAll(fd, "XY\rS\n");
    const std::string got = readLines(fd, 2);
    ASSERT_GE(got.size(), 4u) << got;
    EXPECT_EQ(got.substr(0, 4), "ES\r\n");
    EXPECT_TRUE(std::regex_match(got.substr(4), kWeightLine)) << got;
    ::close(fd);
  }
}

TEST(ScaleServerTcp, ServesOneClientAfterAnotherOnLoopback) {
  scale::ServerOptions options;
  options.tcpPort = 0;
  RunningServer server(options);
  ASSERT_GT(server->tcpPort(), 0);
  for (int client = 0; client < 2; ++client) {
    const int fd = connectTo(server->tcpPort());
    ASSERT_GE(fd, 0);
    writeAll(fd, "SI\n");
    const std::string got = readLines(fd, 1);
    EXPECT_TRUE(std::regex_match(got, kWeightLine)) << got;
    ::close(fd);
  }
}

TEST(ScaleServerTcp, StreamsLinesUnasked) {
  scale::ServerOptions options;
  options.tcpPort = 0;
  options.streamRate = 200;
  RunningServer server(options);
  const int fd = connectTo(server->tcpPort());
  ASSERT_GE(fd, 0);
  const std::string got = readLines(fd, 3);
  ::close(fd);
  ASSERT_GE(got.size(), 3 * std::string("S S     123.45 g\r\n").size()) << got;
  EXPECT_TRUE(std::regex_match(got.substr(0, 18), kWeightLine)) << got;
}

}  // namespace
