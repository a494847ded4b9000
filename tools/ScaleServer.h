#pragma once
// The pretend scale's line: the master side of a pty, or one TCP client at a
// time on 127.0.0.1. A single poll loop serves the orders, moves the weight
// once a second and streams lines when asked.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "ScaleProtocol.h"

namespace scale {

struct ServerOptions {
  // Listen on 127.0.0.1 at this port (0: any free port) instead of a pty.
  int tcpPort = -1;
  // Weight lines a second sent without being asked; 0 sends only replies.
  double streamRate = 0;
  // Log every order on the log stream, not only the line's comings and goings.
  bool logOrders = true;
  std::chrono::milliseconds driftPeriod{1000};
};

class ScaleServer {
 public:
  // Opens the pty or the listening socket; throws std::runtime_error.
  // log may be null.
  ScaleServer(const ServerOptions& options, std::FILE* log);
  ~ScaleServer();
  ScaleServer(const ScaleServer&) = delete;
  ScaleServer& operator=(const ScaleServer&) = delete;

  // The device path for the terminal (pty mode).
  const std::string& slavePath() const { return slavePath_; }
  // The port actually listened on (TCP mode).
  int tcpPort() const { return tcpPort_; }

  // Serves until stop().
  void run();
  // Safe from a signal handler and from another thread.
  void stop();

 private:
  bool tcp() const { return listenFd_ >= 0; }
  void openPty();
  void openTcp(int port);
  void handleInput(int fd);
  void send(const std::string& bytes);
  void checkPtyReopened();
  void lineClosed(const char* why);
  void closeClient();
  void logf(const char* format, ...) __attribute__((format(printf, 2, 3)));

  ServerOptions options_;
  std::FILE* log_;
  WeightDrift drift_;
  ScaleProtocol protocol_;

  int master_ = -1;
  std::string slavePath_;
  // The terminal has the pty's slave open; until then the master only hangs up.
  bool ptyConnected_ = false;

  int listenFd_ = -1;
  int client_ = -1;
  int tcpPort_ = -1;

  int stopPipe_[2] = {-1, -1};
  bool droppedReported_ = false;
};

}  // namespace scale
