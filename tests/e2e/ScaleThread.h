#pragma once
// The pretend scale served on a thread of the test: a pty (the device path for
// the terminal) or a loopback TCP port. stop() is the scale going away: the
// pty's master or the TCP socket closes.
#include <memory>
#include <thread>

#include "ScaleServer.h"

namespace e2e {

class ScaleThread {
 public:
  // By default the weight moves only when asked ("S"), so the replies are
  // known; a drift period makes "SI" replies move on their own.
  explicit ScaleThread(int tcpPort = -1, std::chrono::milliseconds driftPeriod = std::chrono::hours(1)) {
    scale::ServerOptions options;
    options.tcpPort = tcpPort;
    options.logOrders = false;
    options.driftPeriod = driftPeriod;
    server_ = std::make_unique<scale::ScaleServer>(options, nullptr);
    thread_ = std::thread([this] { server_->run(); });
  }
  ~ScaleThread() { stop(); }
  ScaleThread(const ScaleThread&) = delete;
  ScaleThread& operator=(const ScaleThread&) = delete;

  const std::string& slavePath() const { return server_->slavePath(); }
  int tcpPort() const { return server_->tcpPort(); }

  void stop() {
    if (!server_) return;
    server_->stop();
    thread_.join();
    server_.reset();
  }

 private:
  std::unique_ptr<scale::ScaleServer> server_;
  std::thread thread_;
};

}  // namespace e2e
