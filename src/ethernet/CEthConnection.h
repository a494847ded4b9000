#pragma once
// The TCP link to a serial device server. One toggle opens, closes or
// abandons the connection; received chunks go to the byte processor or, while
// fast write is active, to the fast-write capture writer. The link never talks to
// the operator: it posts its state (UM_UPDATE_PORT) to the main window, which
// keeps its own copy and shows it. Host and port are given by the caller.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/EventLoop.h"
#include "platform/MessageTarget.h"
#include "platform/TcpSocket.h"

namespace ethernet {

// The main window's notice of a new link state (first parameter the state,
// sign-extended from 8 bits: closing arrives as -1).
inline constexpr unsigned UM_UPDATE_PORT = platform::kFirstUserMessage + 1;

// States of EthState.
inline constexpr std::uint8_t EthClosed = 0;
inline constexpr std::uint8_t EthConnecting = 1;
inline constexpr std::uint8_t EthOpen = 2;
inline constexpr std::uint8_t EthClosing = 255;

// What the link calls in the main window.
struct EthConnectionHandlers {
  // Target of the state messages, read at each post (none: nothing posted).
  std::function<platform::MessageTarget*()> window;
  // The byte processor: the chunk and its length in bytes.
  std::function<void(const std::string& data, std::size_t count)> processReceived;
  // Whether chunks go to the fast-write capture writer (unset: never), the
  // writer and its close.
  std::function<bool()> fastWriteActive;
  std::function<void(const std::string& chunk)> fastWriteData;
  std::function<void()> closeCaptureFile;
  // A connection attempt failed (refused, unreachable, timed out, no such
  // name), with the address it was made to as "host:port".
  std::function<void(const std::string& address)> attemptFailed;
};

class CEthConnection {
 public:
  CEthConnection(platform::EventLoop& loop, EthConnectionHandlers handlers);
  // Closes an open connection (its disconnect is posted as usual); the
  // fast-write capture file is not touched.
  ~CEthConnection();
  CEthConnection(const CEthConnection&) = delete;
  CEthConnection& operator=(const CEthConnection&) = delete;

  // Opens a closed link, closes an open one, abandons a pending attempt (which
  // goes on and may still open the link); always ends by posting the state.
  // An attempt that fails (refused, unreachable, timed out) leaves the link
  // closed, and posts that.
  void ToggleConnection(const std::string& host, std::int32_t port);
  // Sends the bytes while the link is open; otherwise they are dropped.
  void SendData(const std::string& data);

  // The socket's events.
  void SocketConnected(platform::TcpSocket& sender);
  void SocketDisconnected(platform::TcpSocket& sender);
  void SocketRead(platform::TcpSocket& sender);
  void SocketError(platform::TcpSocket& sender, int& errorCode);

  // 0 closed, 1 connecting, 2 open, 255 closing.
  std::uint8_t EthState = EthClosed;

  // The current socket is connected.
  bool connected() const { return socket_ && socket_->active(); }

 private:
  void postState();
  bool fastWrite() const { return handlers_.fastWriteActive && handlers_.fastWriteActive(); }

  platform::EventLoop& loop_;
  EthConnectionHandlers handlers_;
  std::unique_ptr<platform::TcpSocket> socket_;
};

}  // namespace ethernet
