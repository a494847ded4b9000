#pragma once
// ser2net as the serial device server: started on a loopback port with a
// YAML configuration bridging TCP to a device (the pretend scale's pty),
// stopped by stop() or at the end. It dies with the test even on a crash.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

#include "support/TempDir.h"

namespace testing_support {

class Ser2net {
 public:
  static std::string binary() {
    for (const char* p : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"})
      if (::access(p, X_OK) == 0) return p;
    return {};
  }

  Ser2net(const testing_support::TempDir& dir, const std::string& device, std::uint16_t port)
      : log_((dir / "ser2net.log").string()) {
    const std::string config = (dir / "ser2net.yaml").string();
    testing_support::TempDir::write(config, "connection: &scale\n  accepter: tcp,127.0.0.1," +
                                                std::to_string(port) + "\n  connector: serialdev," + device +
                                                ",9600n81,local\n");
    const std::string exe = binary();
    const std::string pidFile = (dir / "ser2net.pid").string();
    const char* argv[] = {exe.c_str(), "-n", "-d", "-c", config.c_str(), "-P", pidFile.c_str(), nullptr};
    pid_ = ::fork();
    if (pid_ == 0) {
      ::prctl(PR_SET_PDEATHSIG, SIGKILL);
      const int out = ::open(log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (out >= 0) {
        ::dup2(out, 1);
        ::dup2(out, 2);
      }
      ::execv(argv[0], const_cast<char* const*>(argv));
      ::_exit(127);
    }
  }
  ~Ser2net() { stop(); }
  Ser2net(const Ser2net&) = delete;
  Ser2net& operator=(const Ser2net&) = delete;

  // The device server goes away: its connections close.
  void stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
      if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
        return;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
    pid_ = -1;
  }

  std::string log() const { return testing_support::TempDir::read(log_); }

  // Whether something listens on the loopback port (the probe closes at once).
  static bool listening(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
  }

 private:
  std::string log_;
  pid_t pid_ = -1;
};

}  // namespace testing_support
