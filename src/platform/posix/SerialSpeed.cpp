#include "platform/posix/SerialSpeed.h"

#include <cerrno>

#if defined(__linux__)
#include <asm/ioctls.h>
#include <asm/termbits.h>
// <sys/ioctl.h> would drag in glibc's struct termios next to the kernel's.
extern "C" int ioctl(int fd, unsigned long request, ...) noexcept;
#else
#include <termios.h>
#endif

namespace platform {

#if defined(__linux__)

namespace {

// The B constant of a standard speed, or BOTHER.
unsigned speedCode(std::int32_t bps) {
  switch (bps) {
    case 50:
      return B50;
    case 75:
      return B75;
    case 110:
      return B110;
    case 134:
      return B134;
    case 150:
      return B150;
    case 200:
      return B200;
    case 300:
      return B300;
    case 600:
      return B600;
    case 1200:
      return B1200;
    case 1800:
      return B1800;
    case 2400:
      return B2400;
    case 4800:
      return B4800;
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 38400:
      return B38400;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    case 230400:
      return B230400;
    case 460800:
      return B460800;
    case 921600:
      return B921600;
    default:
      return BOTHER;
  }
}

}  // namespace

bool setLineSpeed(int fd, std::int32_t bitsPerSecond) {
  if (bitsPerSecond <= 0) {
    errno = EINVAL;
    return false;
  }
  struct termios2 tio {};
  int rc;
  do rc = ioctl(fd, TCGETS2, &tio);
  while (rc != 0 && errno == EINTR);
  if (rc != 0) return false;
  const unsigned code = speedCode(bitsPerSecond);
  tio.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= code | (code << IBSHIFT);
  tio.c_ispeed = tio.c_ospeed = static_cast<speed_t>(bitsPerSecond);
  do rc = ioctl(fd, TCSETS2, &tio);
  while (rc != 0 && errno == EINTR);
  return rc == 0;
}

std::int32_t readLineSpeed(int fd) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return -1;
  return static_cast<std::int32_t>(tio.c_ospeed);
}

#else

namespace {

struct SpeedEntry {
  std::int32_t bps;
  speed_t code;
};

constexpr SpeedEntry kSpeeds[] = {{110, B110},     {300, B300},     {600, B600},      {1200, B1200},
                                  {2400, B2400},   {4800, B4800},   {9600, B9600},    {19200, B19200},
                                  {38400, B38400}, {57600, B57600}, {115200, B115200}};

}  // namespace

bool setLineSpeed(int fd, std::int32_t bitsPerSecond) {
  if (bitsPerSecond <= 0) {
    errno = EINVAL;
    return false;
  }
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return false;
  speed_t code = static_cast<speed_t>(bitsPerSecond);  // the BSDs take numbers
  for (const auto& e : kSpeeds)
    if (e.bps == bitsPerSecond) code = e.code;
  if (cfsetispeed(&tio, code) != 0 || cfsetospeed(&tio, code) != 0) return false;
  return tcsetattr(fd, TCSANOW, &tio) == 0;
}

std::int32_t readLineSpeed(int fd) {
  termios tio{};
  if (tcgetattr(fd, &tio) != 0) return -1;
  const speed_t code = cfgetospeed(&tio);
  for (const auto& e : kSpeeds)
    if (e.code == code) return e.bps;
  return static_cast<std::int32_t>(code);
}

#endif

}  // namespace platform
