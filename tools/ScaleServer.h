#pragma once
// The pretend scale's line: the master side of a pty (on Windows a COM port,
// the scale's end of a null-modem pair), or one TCP client at a time on
// 127.0.0.1. A single loop serves the orders, moves the weight once a second
// and streams lines when asked.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "ScaleProtocol.h"

namespace scale {

struct ServerOptions {
  // Listen on 127.0.0.1 at this port (0: any free port) instead of a pty.
  int tcpPort = -1;
  // Windows: the COM port to serve on ("COM6"); there is no pty there.
  std::string comPort;
  // Weight lines a second sent without being asked; 0 sends only replies.
  double streamRate = 0;
  // Log every order on the log stream, not only the line's comings and goings.
  bool logOrders = true;
  std::chrono::milliseconds driftPeriod{1000};
};

class ScaleServer {
 public:
  // Opens the line or the listening socket; throws std::runtime_error.
  // log may be null.
  ScaleServer(const ServerOptions& options, std::FILE* log);
  ~ScaleServer();
  ScaleServer(const ScaleServer&) = delete;
  ScaleServer& operator=(const ScaleServer&) = delete;

  // The device for the terminal (pty mode; the COM port on Windows).
  const std::string& slavePath() const { return slavePath_; }
  // The port actually listened on (TCP mode).
  int tcpPort() const { return tcpPort_; }

  // Serves until stop().
  void run();
  // Safe from a signal handler and from another thread.
  void stop();

 private:
  using Clock = std::chrono::steady_clock;

  // The weight's walk and the streamed lines: set going by run().
  void startPacing();
  // Moves the weight and sends a streamed line (to a connected terminal)
  // when their time has come; returns when the next of them is due.
  Clock::time_point pace(bool connected);
  // A terminal (again) on the line: its first streamed line a period from now.
  void restartStream() { nextStream_ = Clock::now() + streamPeriod_; }

  void send(const std::string& bytes);
  void logf(const char* format, ...) __attribute__((format(printf, 2, 3)));
  // Answers the orders in what the line brought.
  void answer(const char* bytes, std::size_t size);
  // A send the terminal did not take: the lines are dropped, said once.
  void notReading();

  ServerOptions options_;
  std::FILE* log_;
  WeightDrift drift_;
  ScaleProtocol protocol_;
  // The pty's device, or the COM port on Windows.
  std::string slavePath_;
  int tcpPort_ = -1;
  bool droppedReported_ = false;
  Clock::duration streamPeriod_{};
  Clock::time_point nextDrift_, nextStream_;

#ifdef _WIN32
  bool tcp() const { return options_.comPort.empty(); }
  void openCom();
  void openTcp(int port);
  bool readCom();
  void readClient();
  void closeClient();

  void* com_ = nullptr;              // HANDLE
  std::uintptr_t listen_ = ~std::uintptr_t{0};  // SOCKET
  std::uintptr_t client_ = ~std::uintptr_t{0};
  void* stopEvent_ = nullptr;
#else
  bool tcp() const { return listenFd_ >= 0; }
  void openPty();
  void openTcp(int port);
  void handleInput(int fd);
  void checkPtyReopened();
  void lineClosed(const char* why);
  void closeClient();

  int master_ = -1;
  // The terminal has the pty's slave open; until then the master only hangs up.
  bool ptyConnected_ = false;

  int listenFd_ = -1;
  int client_ = -1;

  int stopPipe_[2] = {-1, -1};
#endif
};

}  // namespace scale
