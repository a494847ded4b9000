#pragma once
// A pseudo-terminal pair from openpty for serial tests: the slave stands for
// the serial device the port opens by path, the master for the scale at the
// other end of the line. Both ends close with the object.
#include <termios.h>
#include <string>

namespace testing_support {

class Pty {
 public:
  Pty();
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  int master() const { return master_; }
  // The helper's own slave descriptor: it keeps the terminal alive between
  // opens and reads back what a port configured.
  int slave() const { return slave_; }
  const std::string& slavePath() const { return slavePath_; }

  termios slaveTermios() const;
  // The slave's line speed in bit/s, custom speeds included.
  int slaveSpeed() const;

  // What the far end sends and receives (the master side, non-blocking).
  void send(const std::string& bytes);
  // Whatever the master can read within waitMs (real time; the slave's data
  // reaches the master at once, so this only bounds a failing test).
  std::string receive(int waitMs = 1000, std::size_t atLeast = 1);
  // The far end goes away (a cable pulled, an adapter removed).
  void closeMaster();

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

}  // namespace testing_support
