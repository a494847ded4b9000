#include "ethernet/CEthConnection.h"

namespace ethernet {

CEthConnection::CEthConnection(platform::EventLoop& loop, EthConnectionHandlers handlers)
    : loop_(loop), handlers_(std::move(handlers)) {}

CEthConnection::~CEthConnection() {
  try {
    if (socket_ && socket_->active()) socket_->setActive(false);
  } catch (...) {
    // Closing on the way out never fails the way out.
  }
  socket_.reset();
}

void CEthConnection::ToggleConnection(const std::string& host, std::int32_t port) {
  if (socket_ && socket_->active()) {
    EthState = EthClosing;
    try {
      // The socket reports its disconnect during this call: the state goes
      // to 0 and is posted.
      socket_->setActive(false);
      socket_.reset();
    } catch (...) {
    }
    if (fastWrite() && handlers_.closeCaptureFile) handlers_.closeCaptureFile();
  } else if (EthState == EthClosing || EthState == EthConnecting) {
    // Abandoned: a pending attempt goes on, and opens the link if it succeeds.
    EthState = EthClosed;
    try {
      if (socket_) socket_->setActive(false);
    } catch (...) {
    }
  } else {
    EthState = EthConnecting;
    try {
      // Any earlier socket (closed by the peer, or an abandoned attempt) is
      // replaced; nothing relies on its events.
      socket_.reset();
      socket_ = std::make_unique<platform::TcpSocket>(loop_);
      socket_->OnConnect = [this](platform::TcpSocket& s) { SocketConnected(s); };
      socket_->OnDisconnect = [this](platform::TcpSocket& s) { SocketDisconnected(s); };
      socket_->OnRead = [this](platform::TcpSocket& s) { SocketRead(s); };
      socket_->OnError = [this](platform::TcpSocket& s, int& code) { SocketError(s, code); };
      socket_->setHost(host);
      socket_->setPort(port);
      socket_->setActive(true);
    } catch (...) {
      // The state stays connecting unless a disconnect was reported meanwhile.
    }
  }
  postState();
}

void CEthConnection::SendData(const std::string& data) {
  try {
    if (socket_ && socket_->active()) socket_->sendText(data);
  } catch (...) {
    // The link reports no failure; a failed send has closed it.
  }
}

void CEthConnection::SocketConnected(platform::TcpSocket&) {
  EthState = EthOpen;
  postState();
}

void CEthConnection::SocketDisconnected(platform::TcpSocket&) {
  EthState = EthClosed;
  postState();
}

// Chunks go on as the network delivers them: no framing, no buffering, no
// conversion.
void CEthConnection::SocketRead(platform::TcpSocket& sender) {
  const std::string data = sender.receiveText();
  if (data.empty()) return;
  if (fastWrite()) {
    if (handlers_.fastWriteData) handlers_.fastWriteData(data);
  } else if (handlers_.processReceived) {
    handlers_.processReceived(data, data.size());
  }
}

// Socket errors never raise: the window hears of a failed attempt through its
// handler and otherwise sees only the state. An attempt that was refused,
// found no route or timed out gives no disconnect; left connecting, the link
// would drop every later send and never try again, so it falls back to closed
// and the next send opens it anew (a failed lookup is followed by its
// disconnect). An attempt already abandoned has posted its 0.
void CEthConnection::SocketError(platform::TcpSocket& sender, int& errorCode) {
  errorCode = 0;
  if (&sender != socket_.get() || EthState != EthConnecting) return;
  if (sender.attemptFailed()) {
    EthState = EthClosed;
    postState();
  }
  if (handlers_.attemptFailed) handlers_.attemptFailed(sender.host() + ":" + std::to_string(sender.port()));
}

void CEthConnection::postState() {
  platform::MessageTarget* window = handlers_.window ? handlers_.window() : nullptr;
  if (!window) return;
  window->postMessage(UM_UPDATE_PORT, static_cast<std::intptr_t>(static_cast<std::int8_t>(EthState)), 0);
}

}  // namespace ethernet
