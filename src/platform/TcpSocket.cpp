#include "platform/TcpSocket.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/SocketCalls.h"

namespace platform {

SocketError::SocketError(int code, const std::string& message, const std::string& api)
    : std::runtime_error("Windows socket error: " + message + " (" + std::to_string(code) + "), on API '" +
                         api + "'"),
      code_(code) {}

namespace {

// Name lookups run on worker threads that never end. Under Wine a thread that
// ends after a lookup can deadlock the process's exit when the exit comes
// meanwhile (a socket destroyed during its lookup, then the program closed);
// a thread that lives on is simply stopped. A lookup takes a waiting worker
// or starts one, so a lookup that blocks for long holds up no other.
struct LookupWorkers {
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::function<void()>> jobs;
  std::size_t waiting = 0;
};

void runLookup(std::function<void()> job) {
  // Never destroyed: the workers outlive every socket and main().
  static LookupWorkers& workers = *new LookupWorkers;
  {
    std::lock_guard<std::mutex> lock(workers.mutex);
    if (workers.waiting > workers.jobs.size()) {
      workers.jobs.push_back(std::move(job));
      workers.wake.notify_one();
      return;
    }
  }
  std::thread([first = std::move(job)]() mutable {
    first();
    first = nullptr;
    std::unique_lock<std::mutex> lock(workers.mutex);
    for (;;) {
      ++workers.waiting;
      workers.wake.wait(lock, [] { return !workers.jobs.empty(); });
      --workers.waiting;
      const std::function<void()> next = std::move(workers.jobs.front());
      workers.jobs.pop_front();
      lock.unlock();
      next();
      lock.lock();
    }
  }).detach();
}

}  // namespace

TcpSocket::TcpSocket(EventLoop& loop) : loop_(loop) {}

TcpSocket::~TcpSocket() {
  gate_->close();
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
    std::uint32_t none = 0;
    std::string failure;
    const int error = sockets::lookUp(host_, none, failure);
    phase_ = Phase::Idle;
    const int code = raiseError(error);
    if (OnDisconnect) OnDisconnect(*this);
    if (code != 0) throw SocketError(code, failure, "gethostbyname");
    return;
  }

  const std::weak_ptr<int> alive = alive_;
  if (std::uint32_t address = 0; sockets::parseDotted(host_, address)) {
    // A dotted address needs no lookup; the attempt starts on the loop, so
    // that an attempt rejected at once is reported from there.
    loop_.post([this, alive, attempt, address] {
      if (alive.lock()) lookupFinished(attempt, 0, std::string(), address);
    });
    return;
  }

  // The lookup may take seconds: it runs on a worker thread and hands the
  // result back to the loop. A socket destroyed meanwhile closes the gate.
  try {
    runLookup([this, alive, attempt, host = host_, gate = gate_, &loop = loop_] {
      std::uint32_t a = 0;
      std::string failure;
      const int rc = sockets::lookUp(host, a, failure);
      gate->pass([&] {
        loop.post([this, alive, attempt, rc, failure, a] {
          if (alive.lock()) lookupFinished(attempt, rc, failure, a);
        });
      });
    });
  } catch (...) {
    phase_ = Phase::Idle;  // no worker: the socket can be started again
    throw;
  }
}

void TcpSocket::lookupFinished(unsigned attempt, int error, const std::string& failure,
                               std::uint32_t addressNetOrder) {
  if (attempt != attempt_ || phase_ != Phase::LookingUp) return;
  if (error != 0) {
    phase_ = Phase::Idle;
    const int code = raiseError(error);
    if (OnDisconnect) OnDisconnect(*this);
    if (code != 0) throw SocketError(code, failure, "gethostbyname");
    return;
  }
  startConnect(addressNetOrder);
}

void TcpSocket::startConnect(std::uint32_t addressNetOrder) {
  const auto rejectAtOnce = [this](int code, const char* api) {
    closeDescriptor();
    phase_ = Phase::Idle;
    if (OnDisconnect) OnDisconnect(*this);
    throw SocketError(code, sockets::message(code), api);
  };
  // Scale orders are short: each goes out at once, not waiting for more.
  if (const int error = sockets::open(fd_); error != 0) {
    fd_ = -1;
    rejectAtOnce(error, "socket");
  }
  const auto port = static_cast<std::uint16_t>(port_);
  // Port 0 is no destination; the system would only find that out later.
  if (port == 0) rejectAtOnce(sockets::addressNotAvailable(), "connect");
  const int rc = sockets::connect(fd_, addressNetOrder, port);
  if (rc != 0 && !sockets::inProgress(rc)) rejectAtOnce(rc, "connect");
  phase_ = Phase::Connecting;
  watch_ = loop_.watchFd(fd_, FdEvent::Write, [this] { onWritable(); });
}

void TcpSocket::onWritable() {
  if (phase_ != Phase::Connecting) return;
  retireWatch();
  const int error = sockets::pendingError(fd_);
  if (error != 0) {
    // The attempt's outcome is an error: no connect, no disconnect.
    phase_ = Phase::Failed;
    const int code = raiseError(error);
    if (code != 0) throw SocketError(code, sockets::message(code), "connect");
    return;
  }
  phase_ = Phase::Connected;
  watch_ = loop_.watchFd(fd_, FdEvent::Read, [this] { onReadable(); });
  if (OnConnect) OnConnect(*this);
}

void TcpSocket::onReadable() {
  if (phase_ != Phase::Connected) return;
  int error = sockets::pendingError(fd_);
  if (error == 0) {
    std::size_t available = 0;
    if (sockets::available(fd_, available) && available > 0) {
      if (OnRead) OnRead(*this);
      return;
    }
    char probe;
    const long long n = sockets::receive(fd_, &probe, 1, true);
    if (n == 0) {
      // Closed by the peer without an error.
      closeAndReport();
      return;
    }
    if (n > 0) {
      if (OnRead) OnRead(*this);
      return;
    }
    error = sockets::lastError();
    if (sockets::wouldBlock(error) || sockets::interrupted(error)) return;
  }
  // A reset: the error alone is reported and the socket stays active, silent,
  // until a send fails or it is closed.
  phase_ = Phase::Broken;
  retireWatch();
  const int code = raiseError(error);
  if (code != 0) throw SocketError(code, sockets::message(code), "recv");
}

std::string TcpSocket::receiveText() {
  if (phase_ != Phase::Connected) return {};
  std::size_t available = 0;
  if (!sockets::available(fd_, available) || available == 0) return {};
  std::string data(available, '\0');
  std::size_t got = 0;
  while (got < data.size()) {
    const long long n = sockets::receive(fd_, data.data() + got, data.size() - got, false);
    if (n > 0) {
      got += static_cast<std::size_t>(n);
      continue;
    }
    const int error = n < 0 ? sockets::lastError() : 0;
    if (n < 0 && sockets::interrupted(error)) continue;
    if (n == 0 || sockets::wouldBlock(error)) break;  // the end shows at the next readiness
    const int code = raiseError(error);
    closeAndReport();
    // Bytes already taken are still handed on.
    if (code != 0 && got == 0) throw SocketError(code, sockets::message(code), "recv");
    break;
  }
  data.resize(got);
  return data;
}

void TcpSocket::sendText(const std::string& data) {
  if (!active() || data.empty()) return;
  long long n;
  int error = 0;
  do {
    n = sockets::send(fd_, data.data(), data.size());
    error = n < 0 ? sockets::lastError() : 0;
  } while (n < 0 && sockets::interrupted(error));
  if (n >= 0 || sockets::wouldBlock(error)) return;  // what was not taken is dropped
  const int code = raiseError(error);
  closeAndReport();
  if (code != 0) throw SocketError(code, sockets::message(code), "send");
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
  if (fd_ >= 0) sockets::close(fd_);
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
