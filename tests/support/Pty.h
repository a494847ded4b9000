#pragma once
// A pseudo-terminal pair from openpty for serial tests: the slave stands for
// the serial device the port opens by path, the master for the scale at the
// other end of the line. Both ends close with the object.
//
// On Windows a pair of COM ports joined by a null-modem line (under Wine two
// ends of a socat pty pair) stands in: TERSO_TEST_COM_PAIRS lists them, as
// "COM5:COM6,COM7:COM8"; each Pty takes the next free pair, the first port
// as the device under test, the second opened here as the scale's end.
#include <string>

#ifdef _WIN32
#include <memory>

#include "platform/SerialDevice.h"
#else
#include <termios.h>
#endif

namespace testing_support {

class Pty {
 public:
  Pty();
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  const std::string& slavePath() const { return slavePath_; }

#ifndef _WIN32
  int master() const { return master_; }
  // The helper's own slave descriptor: it keeps the terminal alive between
  // opens and reads back what a port configured.
  int slave() const { return slave_; }
  termios slaveTermios() const;
  // The slave's line speed in bit/s, custom speeds included.
  int slaveSpeed() const;
#endif

  // What the far end sends and receives (the master side, non-blocking).
  void send(const std::string& bytes);
  // Whatever the master can read within waitMs (real time; the slave's data
  // reaches the master at once, so this only bounds a failing test).
  std::string receive(int waitMs = 1000, std::size_t atLeast = 1);
  // The far end goes away (a cable pulled, an adapter removed).
  void closeMaster();

 private:
#ifdef _WIN32
  std::unique_ptr<platform::SerialDevice> far_;
  int pair_ = -1;
#else
  int master_ = -1;
  int slave_ = -1;
#endif
  std::string slavePath_;
};

}  // namespace testing_support
