#include "platform/SerialDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "platform/SerialReadTimeouts.h"
#include "platform/posix/SerialSpeed.h"
#include "platform/posix/SerialTermios.h"

#if defined(__linux__)
#include <linux/serial.h>
#endif

// How the settings of a Windows device control record (DCB) are carried out
// on a terminal device:
//   BaudRate          any speed: B constants, BOTHER on Linux for the rest
//   fBinary           raw mode (no ICANON, ECHO, ISIG, OPOST, ICRNL, ...)
//   ByteSize          CS5 to CS8
//   Parity            PARENB, PARODD; mark and space with CMSPAR
//   StopBits          CSTOPB for 2, and for 1.5: a UART sends 1.5 stop bits
//                     with 5 data bits and 2 with more, as on Windows
//   fParity           the driver always counts parity errors (TIOCGICOUNT);
//                     with fErrorChar, INPCK: a byte with a parity or framing
//                     error becomes 0, so an ErrorChar other than 0 has no
//                     counterpart
//   (breaks)          IGNBRK: a break is counted (TIOCGICOUNT), not read as
//                     a 0 byte in the data
//   fOutxCtsFlow, fRtsControl handshake   CRTSCTS (one flag serves both)
//   fRtsControl on/off/toggle  TIOCMBIS/TIOCMBIC; toggle holds RTS on
//   fDtrControl       TIOCMBIS/TIOCMBIC; handshake holds DTR on (CDTR_IFLOW
//                     where the system has it)
//   fOutxDsrFlow      CDSR_OFLOW where the system has it, else none
//   fOutX, fInX       IXON, IXOFF; XonChar, XoffChar: VSTART, VSTOP
//   fTXContinueOnXoff none: output always goes on after the driver's XOFF
//   fDsrSensitivity   none
//   fNull             done by read(): zero bytes are dropped
//   XonLim, XoffLim   none: the driver throttles at its own levels
//   EvtChar           none: the event thread looks for it in the data
//   fAbortOnError     never set on Windows either
//   SetupComm sizes   none: the driver's queues have fixed sizes
//   COMMTIMEOUTS      carried out by read() and write() with poll()

namespace platform {

namespace {

bool unsupportedIoctl(int err) {
  return err == ENOTTY || err == EINVAL;
}

template <typename Call>
auto retryOnInterrupt(Call call) {
  decltype(call()) rc;
  do rc = call();
  while (rc < 0 && errno == EINTR);
  return rc;
}

using Clock = SerialClock;

// Waits until fd is ready for events or the deadline passes; false on timeout.
bool waitReady(int fd, short events, const Clock::time_point* deadline) {
  for (;;) {
    int timeoutMs = -1;
    if (deadline) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(*deadline - Clock::now()).count();
      if (left <= 0) return false;
      timeoutMs = static_cast<int>(std::min<long long>(left, 1 << 30));
    }
    pollfd p{fd, events, 0};
    const int rc = ::poll(&p, 1, timeoutMs);
    if (rc < 0) {
      if (errno == EINTR) continue;
      throw SerialDeviceError("poll", errno);
    }
    if (rc == 0) continue;  // the deadline check above ends the wait
    return true;            // ready, or an error/hang-up the next call reports
  }
}

bool readCounters(int fd, SerialLineCounters& counters) {
#if defined(__linux__) && defined(TIOCGICOUNT)
  serial_icounter_struct ic{};
  if (::ioctl(fd, TIOCGICOUNT, &ic) != 0) {
    if (unsupportedIoctl(errno)) return false;
    throw SerialDeviceError("TIOCGICOUNT", errno);
  }
  counters = {ic.frame, ic.parity, ic.overrun, ic.buf_overrun, ic.brk};
  return true;
#else
  (void)counters;
  return false;
#endif
}

void setModemLine(int fd, int line, bool on) {
  if (::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) != 0 && !unsupportedIoctl(errno))
    throw SerialDeviceError(on ? "TIOCMBIS" : "TIOCMBIC", errno);
}

}  // namespace

// A terminal device's codes mean the same before and after the open.
SerialErrorKind classifySerialErrno(int err, SerialErrorPhase) {
  switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return SerialErrorKind::NotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return SerialErrorKind::PermissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
      return SerialErrorKind::InUse;
    case ENOTTY:
      return SerialErrorKind::NotATerminal;
    case EINVAL:
    case EOPNOTSUPP:
    case ENOSYS:
      return SerialErrorKind::Unsupported;
    case EIO:
    case EBADF:
      return SerialErrorKind::Gone;
    default:
      return SerialErrorKind::Other;
  }
}

SerialDeviceError::SerialDeviceError(const std::string& operation, int err, SerialErrorPhase phase)
    : std::runtime_error(operation + ": " + std::strerror(err)),
      errorCode_(err),
      kind_(classifySerialErrno(err, phase)) {}

termios termiosFor(const SerialLineSettings& s, const termios& base) {
  termios t = base;
  t.c_iflag &=
      ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK | IGNPAR);
  t.c_oflag &= ~OPOST;
  t.c_lflag &= ~(ECHO | ECHOE | ECHOK | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~(CSIZE | PARENB | PARODD | CSTOPB);
#ifdef CMSPAR
  t.c_cflag &= ~CMSPAR;
#endif
#ifdef CRTSCTS
  t.c_cflag &= ~CRTSCTS;
#endif
#ifdef CDSR_OFLOW
  t.c_cflag &= ~CDSR_OFLOW;
#endif
#ifdef CDTR_IFLOW
  t.c_cflag &= ~CDTR_IFLOW;
#endif
  t.c_cflag |= CREAD | CLOCAL;
  t.c_iflag |= IGNBRK;

  switch (s.dataBits) {
    case 5:
      t.c_cflag |= CS5;
      break;
    case 6:
      t.c_cflag |= CS6;
      break;
    case 7:
      t.c_cflag |= CS7;
      break;
    default:
      t.c_cflag |= CS8;
      break;
  }

  switch (s.parity) {
    case SerialParity::None:
      break;
    case SerialParity::Odd:
      t.c_cflag |= PARENB | PARODD;
      break;
    case SerialParity::Even:
      t.c_cflag |= PARENB;
      break;
    case SerialParity::Mark:
    case SerialParity::Space:
#ifdef CMSPAR
      t.c_cflag |= PARENB | CMSPAR | (s.parity == SerialParity::Mark ? PARODD : 0);
      break;
#else
      throw SerialDeviceError("mark or space parity", EOPNOTSUPP);
#endif
  }
  if (s.parityCheck && s.parityReplace) t.c_iflag |= INPCK;

  if (s.stopBits != SerialStopBits::One) t.c_cflag |= CSTOPB;

#ifdef CRTSCTS
  if (s.outCtsFlow || s.rts == SerialRts::Handshake) t.c_cflag |= CRTSCTS;
#endif
#ifdef CDSR_OFLOW
  if (s.outDsrFlow) t.c_cflag |= CDSR_OFLOW;
#endif
#ifdef CDTR_IFLOW
  if (s.dtr == SerialDtr::Handshake) t.c_cflag |= CDTR_IFLOW;
#endif
  if (s.xonXoffOut) t.c_iflag |= IXON;
  if (s.xonXoffIn) t.c_iflag |= IXOFF;
  t.c_cc[VSTART] = static_cast<cc_t>(s.xonChar);
  t.c_cc[VSTOP] = static_cast<cc_t>(s.xoffChar);

  // A non-blocking read returns what is there; 0 bytes then means hang-up.
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return t;
}

struct SerialDevice::State {
  // The counts at the previous takeLineErrors(); none on a device that keeps
  // no counters (a pty).
  bool hasCounters = false;
  SerialLineCounters last;
};

SerialDevice::SerialDevice(const std::string& path) : path_(path) {
  handle_ =
      retryOnInterrupt([&] { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); });
  if (handle_ < 0) throw SerialDeviceError("open " + path, errno);

  auto fail = [&](const std::string& what, int err) {
    ::close(handle_);
    handle_ = -1;
    throw SerialDeviceError(what + " " + path, err);
  };

  termios current{};
  if (tcgetattr(handle_, &current) != 0) fail("open", errno);  // ENOTTY: not a terminal
  // flock holds even against root, whom TIOCEXCL lets through; another
  // program's lock reads as "in use".
  if (retryOnInterrupt([&] { return ::flock(handle_, LOCK_EX | LOCK_NB); }) != 0) {
    if (errno == EWOULDBLOCK) fail("open", EBUSY);
    if (errno != ENOLCK && errno != EOPNOTSUPP && errno != EINVAL) fail("lock", errno);
  }
  if (::ioctl(handle_, TIOCEXCL) != 0 && !unsupportedIoctl(errno)) fail("lock", errno);

  // Raw at once, so that nothing is echoed back before the settings arrive.
  cfmakeraw(&current);
  current.c_cflag |= CREAD | CLOCAL;
  current.c_cc[VMIN] = 1;
  current.c_cc[VTIME] = 0;
  if (retryOnInterrupt([&] { return tcsetattr(handle_, TCSANOW, &current); }) != 0) fail("tcsetattr", errno);

  state_ = std::make_unique<State>();
  try {
    state_->hasCounters = readCounters(handle_, state_->last);
  } catch (const SerialDeviceError& e) {
    fail("TIOCGICOUNT", e.errorCode());
  }
}

SerialDevice::~SerialDevice() {
  if (handle_ < 0) return;
  ::ioctl(handle_, TIOCNXCL);  // the hold would outlive us while others keep the tty open
  ::close(handle_);
}

void SerialDevice::applyLineSettings(const SerialLineSettings& settings) {
  termios before{};
  if (tcgetattr(handle_, &before) != 0) throw SerialDeviceError("tcgetattr", errno);
  const termios wanted = termiosFor(settings, before);
  if (retryOnInterrupt([&] { return tcsetattr(handle_, TCSANOW, &wanted); }) != 0)
    throw SerialDeviceError("tcsetattr", errno);
  if (!setLineSpeed(handle_, settings.baudRate)) {
    const int err = errno;
    tcsetattr(handle_, TCSANOW, &before);  // leave the previous configuration
    throw SerialDeviceError("line speed " + std::to_string(settings.baudRate), err);
  }
  discardNull_ = settings.discardNull;
  setDtr(settings.dtr != SerialDtr::Off);
  setRts(settings.rts != SerialRts::Off);
}

void SerialDevice::setTimeouts(const SerialTimeouts& timeouts) {
  timeouts_ = timeouts;
}

void SerialDevice::setQueueSizes(std::int32_t input, std::int32_t output) {
  if (input < 0 || output < 0) throw SerialDeviceError("queue sizes", EINVAL);
}

NativeHandle SerialDevice::inputWaitHandle() {
  return handle_;
}

std::size_t SerialDevice::readSome(char* buffer, std::size_t size) {
  if (size == 0) return 0;
  const ssize_t n = retryOnInterrupt([&] { return ::read(handle_, buffer, size); });
  if (n < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    throw SerialDeviceError("read", errno);
  }
  if (n == 0) throw SerialDeviceError("read", EIO);  // hang-up: the device is gone
  std::size_t count = static_cast<std::size_t>(n);
  if (discardNull_) count = static_cast<std::size_t>(std::remove(buffer, buffer + count, '\0') - buffer);
  return count;
}

std::size_t SerialDevice::writeSome(const char* data, std::size_t size) {
  if (size == 0) return 0;
  const ssize_t n = retryOnInterrupt([&] { return ::write(handle_, data, size); });
  if (n < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    throw SerialDeviceError("write", errno);
  }
  return static_cast<std::size_t>(n);
}

std::size_t SerialDevice::write(const char* data, std::size_t size) {
  const std::uint64_t total =
      std::uint64_t{timeouts_.writeTotalMultiplier} * size + timeouts_.writeTotalConstant;
  const bool limited = timeouts_.writeTotalMultiplier != 0 || timeouts_.writeTotalConstant != 0;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(total);
  std::size_t done = 0;
  while (done < size) {
    done += writeSome(data + done, size - done);
    if (done == size) break;
    if (!waitReady(handle_, POLLOUT, limited ? &deadline : nullptr)) break;
  }
  return done;
}

std::size_t SerialDevice::read(char* buffer, std::size_t size) {
  return readWithTimeouts(
      timeouts_, buffer, size, [this](char* at, std::size_t n) { return readSome(at, n); },
      [this](const Clock::time_point* deadline) { return waitReady(handle_, POLLIN, deadline); });
}

void SerialDevice::purge(bool input, bool output) {
  if (!input && !output) return;
  const int which = input && output ? TCIOFLUSH : input ? TCIFLUSH : TCOFLUSH;
  if (tcflush(handle_, which) != 0) throw SerialDeviceError("tcflush", errno);
}

int SerialDevice::inputQueueCount() const {
  int count = 0;
  if (::ioctl(handle_, FIONREAD, &count) != 0) throw SerialDeviceError("FIONREAD", errno);
  return count;
}

int SerialDevice::outputQueueCount() const {
  int count = 0;
#ifdef TIOCOUTQ
  if (::ioctl(handle_, TIOCOUTQ, &count) != 0) throw SerialDeviceError("TIOCOUTQ", errno);
#endif
  return count;
}

SerialLineErrors SerialDevice::takeLineErrors() {
  SerialLineErrors errors;
  if (!state_->hasCounters) return errors;
  SerialLineCounters now;
  if (!readCounters(handle_, now)) return errors;
  // The counters wrap like any int; a change in either direction is news.
  errors.frame = now.frame != state_->last.frame;
  errors.parity = now.parity != state_->last.parity;
  errors.overrun = now.overrun != state_->last.overrun;
  errors.bufferOverrun = now.bufferOverrun != state_->last.bufferOverrun;
  errors.breakReceived = now.breaks != state_->last.breaks;
  state_->last = now;
  return errors;
}

SerialModemLines SerialDevice::modemLines() const {
  SerialModemLines lines;
  int status = 0;
  if (::ioctl(handle_, TIOCMGET, &status) != 0) {
    if (unsupportedIoctl(errno)) return lines;  // a pty: no modem lines, all off
    throw SerialDeviceError("TIOCMGET", errno);
  }
  lines.cts = status & TIOCM_CTS;
  lines.dsr = status & TIOCM_DSR;
  lines.ring = status & TIOCM_RNG;
  lines.rlsd = status & TIOCM_CAR;
  return lines;
}

bool SerialDevice::hasModemLines() const {
  int status = 0;
  if (::ioctl(handle_, TIOCMGET, &status) == 0) return true;
  if (unsupportedIoctl(errno)) return false;
  throw SerialDeviceError("TIOCMGET", errno);
}

bool SerialDevice::lineCounters(SerialLineCounters& counters) const {
  if (!state_->hasCounters) return false;
  return readCounters(handle_, counters);
}

void SerialDevice::setDtr(bool on) {
  setModemLine(handle_, TIOCM_DTR, on);
}
void SerialDevice::setRts(bool on) {
  setModemLine(handle_, TIOCM_RTS, on);
}

}  // namespace platform
