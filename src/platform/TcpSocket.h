#pragma once
// A non-blocking TCP client on the event loop, with the rules the Ethernet
// link relies on:
// - setActive(true) returns at once: a dotted address connects on the next
//   turn of the loop, a name is looked up on a worker thread first; active()
//   stays false until the connection is established.
// - setActive(false) closes an established connection (OnDisconnect fires
//   before it returns); on a socket that is not connected it does nothing,
//   and a pending attempt goes on.
// - An error that comes with a notice of the loop (the attempt finished, the
//   connection reset) gives OnError only: a refused or unreachable attempt
//   gives neither OnConnect nor OnDisconnect, a reset gives no OnDisconnect.
// - A failed lookup (an empty host counts), send or receive gives OnError and
//   then OnDisconnect.
// - An attempt the system rejects at once after the lookup gives
//   OnDisconnect and then raises SocketError on the loop, where the general
//   error report shows it.
// OnError may set the code to 0; otherwise a SocketError follows.
// All events arrive on the loop's thread.
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/EventLoop.h"
#include "platform/Gate.h"

namespace platform {

class SocketError : public std::runtime_error {
 public:
  // "Windows socket error: <message> (<code>), on API '<api>'"
  SocketError(int code, const std::string& message, const std::string& api);
  int code() const { return code_; }

 private:
  int code_;
};

class TcpSocket {
 public:
  using Event = std::function<void(TcpSocket& sender)>;
  using ErrorEvent = std::function<void(TcpSocket& sender, int& errorCode)>;

  explicit TcpSocket(EventLoop& loop);
  ~TcpSocket();
  TcpSocket(const TcpSocket&) = delete;
  TcpSocket& operator=(const TcpSocket&) = delete;

  void setHost(const std::string& host) { host_ = host; }
  const std::string& host() const { return host_; }
  // Used as a 16-bit number: 70000 connects to 4464.
  void setPort(std::int32_t port) { port_ = port; }
  std::int32_t port() const { return port_; }

  void setActive(bool active);
  // True from OnConnect to OnDisconnect.
  bool active() const;
  // The last connection attempt ended with an error (refused, unreachable,
  // timed out): it gave OnError alone, and no OnConnect or OnDisconnect
  // follows.
  bool attemptFailed() const { return phase_ == Phase::Failed; }

  // One send of the whole string; what the system does not take at once is
  // dropped. Nothing happens when not connected.
  void sendText(const std::string& data);
  // All bytes available at this moment, as one string (empty when none).
  std::string receiveText();

  Event OnConnect;
  Event OnDisconnect;
  Event OnRead;
  ErrorEvent OnError;

 private:
  enum class Phase { Idle, LookingUp, Connecting, Failed, Connected, Broken };

  void startConnect(std::uint32_t addressNetOrder);
  void lookupFinished(unsigned attempt, int error, const std::string& failure, std::uint32_t addressNetOrder);
  void onWritable();
  void onReadable();
  // OnError with the code; returns the code the handler left.
  int raiseError(int code);
  // Closes the descriptor and reports OnDisconnect.
  void closeAndReport();
  void closeDescriptor();
  void retireWatch();

  EventLoop& loop_;
  std::string host_;
  std::int32_t port_ = 0;
  Phase phase_ = Phase::Idle;
  int fd_ = -1;
  unsigned attempt_ = 0;
  std::unique_ptr<FdWatch> watch_;
  std::vector<std::unique_ptr<FdWatch>> retired_;
  // Messages posted for this socket check it still lives.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  // A lookup that outlives its socket drops its result instead of posting to
  // a loop that may be gone.
  std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
};

}  // namespace platform
