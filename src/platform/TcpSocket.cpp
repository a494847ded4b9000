#include "platform/TcpSocket.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace platform {

namespace {

std::string systemMessage(int code) {
  return std::strerror(code);
}

int pendingError(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

// A failed lookup's code and text: the resolver's own, or the system's.
int lookupCode(int gaiError, int savedErrno) {
  if (gaiError == EAI_SYSTEM) return savedErrno != 0 ? savedErrno : EIO;
  return gaiError < 0 ? -gaiError : gaiError;
}

std::string lookupMessage(int gaiError, int savedErrno) {
  if (gaiError == EAI_SYSTEM) return systemMessage(lookupCode(gaiError, savedErrno));
  return ::gai_strerror(gaiError);
}

}  // namespace

SocketError::SocketError(int code, const std::string& message, const std::string& api)
    : std::runtime_error("Windows socket error: " + message + " (" + std::to_string(code) + "), on API '" +
                         api + "'"),
      code_(code) {}

// Lets a lookup thread that outlives its socket drop its result instead of
// posting to a loop that may be gone.
struct TcpSocket::LookupGate {
  std::mutex mutex;
  bool open = true;
};

TcpSocket::TcpSocket(EventLoop& loop) : loop_(loop), gate_(std::make_shared<LookupGate>()) {}

TcpSocket::~TcpSocket() {
  {
    std::lock_guard<std::mutex> lock(gate_->mutex);
    gate_->open = false;
  }
  watch_.reset();
  retired_.clear();
  closeDescriptor();
}

bool TcpSocket::active() const {
  return phase_ == Phase::Connected || phase_ == Phase::Broken;
}

void TcpSocket::setActive(bool active) {
  if (!active) {
    // An attempt that is still pending goes on.
    if (this->active()) closeAndReport();
    return;
  }
  if (phase_ != Phase::Idle && phase_ != Phase::Failed) return;
  retireWatch();
  closeDescriptor();
  const unsigned attempt = ++attempt_;
  phase_ = Phase::LookingUp;

  if (host_.empty()) {
    // A lookup of nothing fails at once.
    phase_ = Phase::Idle;
    const int code = raiseError(lookupCode(EAI_NONAME, 0));
    if (OnDisconnect) OnDisconnect(*this);
    if (code != 0) throw SocketError(code, lookupMessage(EAI_NONAME, 0), "gethostbyname");
    return;
  }

  const std::weak_ptr<int> alive = alive_;
  in_addr address{};
  if (::inet_pton(AF_INET, host_.c_str(), &address) == 1) {
    // A dotted address needs no lookup; the attempt starts on the loop, so
    // that an attempt rejected at once is reported from there.
    loop_.post([this, alive, attempt, a = address.s_addr] {
      if (alive.lock()) lookupFinished(attempt, 0, 0, a);
    });
    return;
  }

  // The lookup may take seconds: it runs on its own thread and hands the
  // result back to the loop. A socket destroyed meanwhile closes the gate.
  std::thread lookup;
  try {
    lookup = std::thread([this, alive, attempt, host = host_, gate = gate_, &loop = loop_] {
      addrinfo hints{};
      hints.ai_family = AF_INET;
      hints.ai_socktype = SOCK_STREAM;
      addrinfo* found = nullptr;
      int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
      const int savedErrno = errno;
      std::uint32_t a = 0;
      if (rc == 0) {
        if (found && found->ai_addr && found->ai_family == AF_INET)
          a = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
        else
          rc = EAI_NONAME;
      }
      if (found) ::freeaddrinfo(found);
      std::lock_guard<std::mutex> lock(gate->mutex);
      if (!gate->open) return;
      loop.post([this, alive, attempt, rc, savedErrno, a] {
        if (alive.lock()) lookupFinished(attempt, rc, savedErrno, a);
      });
    });
  } catch (...) {
    phase_ = Phase::Idle;  // no thread: the socket can be started again
    throw;
  }
  lookup.detach();
}

void TcpSocket::lookupFinished(unsigned attempt, int gaiError, int savedErrno,
                               std::uint32_t addressNetOrder) {
  if (attempt != attempt_ || phase_ != Phase::LookingUp) return;
  if (gaiError != 0) {
    phase_ = Phase::Idle;
    const int code = raiseError(lookupCode(gaiError, savedErrno));
    if (OnDisconnect) OnDisconnect(*this);
    if (code != 0) throw SocketError(code, lookupMessage(gaiError, savedErrno), "gethostbyname");
    return;
  }
  startConnect(addressNetOrder);
}

void TcpSocket::startConnect(std::uint32_t addressNetOrder) {
  const auto rejectAtOnce = [this](int code, const char* api) {
    closeDescriptor();
    phase_ = Phase::Idle;
    if (OnDisconnect) OnDisconnect(*this);
    throw SocketError(code, systemMessage(code), api);
  };
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) rejectAtOnce(errno, "socket");
  // Scale orders are short: each should go out at once, not wait for more.
  const int one = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);

  sockaddr_in target{};
  target.sin_family = AF_INET;
  target.sin_addr.s_addr = addressNetOrder;
  const auto port = static_cast<std::uint16_t>(port_);
  // Port 0 is no destination; the system would only find that out later.
  if (port == 0) rejectAtOnce(EADDRNOTAVAIL, "connect");
  target.sin_port = htons(port);

  int rc;
  do {
    rc = ::connect(fd_, reinterpret_cast<const sockaddr*>(&target), sizeof target);
  } while (rc != 0 && errno == EINTR);
  if (rc != 0 && errno != EINPROGRESS) rejectAtOnce(errno, "connect");
  phase_ = Phase::Connecting;
  watch_ = loop_.watchFd(fd_, FdEvent::Write, [this] { onWritable(); });
}

void TcpSocket::onWritable() {
  if (phase_ != Phase::Connecting) return;
  retireWatch();
  const int error = pendingError(fd_);
  if (error != 0) {
    // The attempt's outcome is an error: no connect, no disconnect.
    phase_ = Phase::Failed;
    const int code = raiseError(error);
    if (code != 0) throw SocketError(code, systemMessage(code), "connect");
    return;
  }
  phase_ = Phase::Connected;
  watch_ = loop_.watchFd(fd_, FdEvent::Read, [this] { onReadable(); });
  if (OnConnect) OnConnect(*this);
}

void TcpSocket::onReadable() {
  if (phase_ != Phase::Connected) return;
  int error = pendingError(fd_);
  if (error == 0) {
    int available = 0;
    if (::ioctl(fd_, FIONREAD, &available) == 0 && available > 0) {
      if (OnRead) OnRead(*this);
      return;
    }
    char probe;
    const ssize_t n = ::recv(fd_, &probe, 1, MSG_PEEK);
    if (n == 0) {
      // Closed by the peer without an error.
      closeAndReport();
      return;
    }
    if (n > 0) {
      if (OnRead) OnRead(*this);
      return;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
    error = errno;
  }
  // A reset: the error alone is reported and the socket stays active, silent,
  // until a send fails or it is closed.
  phase_ = Phase::Broken;
  retireWatch();
  const int code = raiseError(error);
  if (code != 0) throw SocketError(code, systemMessage(code), "recv");
}

std::string TcpSocket::receiveText() {
  if (phase_ != Phase::Connected) return {};
  int available = 0;
  if (::ioctl(fd_, FIONREAD, &available) != 0 || available <= 0) return {};
  std::string data(static_cast<std::size_t>(available), '\0');
  std::size_t got = 0;
  while (got < data.size()) {
    const ssize_t n = ::recv(fd_, data.data() + got, data.size() - got, 0);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK) break;  // the end shows at the next readiness
    const int error = errno;
    const int code = raiseError(error);
    closeAndReport();
    // Bytes already taken are still handed on.
    if (code != 0 && got == 0) throw SocketError(code, systemMessage(code), "recv");
    break;
  }
  data.resize(got);
  return data;
}

void TcpSocket::sendText(const std::string& data) {
  if (!active() || data.empty()) return;
  ssize_t n;
  do {
    n = ::send(fd_, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  if (n >= 0 || errno == EAGAIN || errno == EWOULDBLOCK) return;  // what was not taken is dropped
  const int error = errno;
  const int code = raiseError(error);
  closeAndReport();
  if (code != 0) throw SocketError(code, systemMessage(code), "send");
}

int TcpSocket::raiseError(int code) {
  if (OnError) OnError(*this, code);
  return code;
}

void TcpSocket::closeAndReport() {
  retireWatch();
  closeDescriptor();
  phase_ = Phase::Idle;
  if (OnDisconnect) OnDisconnect(*this);
}

void TcpSocket::closeDescriptor() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

// A watch may be the one whose callback is running: it is paused now and
// destroyed later, from the loop.
void TcpSocket::retireWatch() {
  if (!watch_) return;
  watch_->setEnabled(false);
  retired_.push_back(std::move(watch_));
  const std::weak_ptr<int> alive = alive_;
  loop_.post([this, alive] {
    if (alive.lock()) retired_.clear();
  });
}

}  // namespace platform
