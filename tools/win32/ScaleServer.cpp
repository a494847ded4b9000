// The pretend scale on Windows: a COM port (the scale's end of a null-modem
// pair) or one loopback TCP client at a time. The COM port is read without
// waiting and looked at every few milliseconds; sockets wait in select. Both
// look at the stop event between waits, so stop() ends run() within a tick.
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <stdexcept>

#include "ScaleServer.h"

namespace scale {

namespace {

// How often the COM port is read, and the longest wait before the stop event
// is looked at again.
constexpr std::chrono::milliseconds kTick{5};

constexpr SOCKET kNoSocket = INVALID_SOCKET;

std::string systemMessage(DWORD code) {
  char text[256] = {};
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                                 text, sizeof text, nullptr);
  std::string message(text, n);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
    message.pop_back();
  return message.empty() ? "error " + std::to_string(code) : message;
}

[[noreturn]] void fail(const std::string& what, DWORD code) {
  throw std::runtime_error(what + ": " + systemMessage(code));
}

SOCKET socketOf(std::uintptr_t s) { return static_cast<SOCKET>(s); }

}  // namespace

ScaleServer::ScaleServer(const ServerOptions& options, std::FILE* log)
    : options_(options), log_(log), protocol_(drift_) {
  WSADATA data;
  if (const int error = WSAStartup(MAKEWORD(2, 2), &data)) fail("WSAStartup", static_cast<DWORD>(error));
  stopEvent_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  try {
    if (!stopEvent_) fail("CreateEvent", GetLastError());
    if (tcp())
      openTcp(std::max(options_.tcpPort, 0));
    else
      openCom();
  } catch (...) {
    if (stopEvent_) CloseHandle(stopEvent_);
    WSACleanup();
    throw;
  }
}

ScaleServer::~ScaleServer() {
  closeClient();
  if (socketOf(listen_) != kNoSocket) closesocket(socketOf(listen_));
  if (com_) CloseHandle(com_);
  CloseHandle(stopEvent_);
  WSACleanup();
}

void ScaleServer::openCom() {
  slavePath_ = options_.comPort;
  const std::string device = "\\\\.\\" + options_.comPort;
  HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) fail("cannot open " + options_.comPort, GetLastError());
  com_ = h;
  // The terminal's defaults: 9600 bit/s, 8 data bits, no parity, one stop bit.
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  if (GetCommState(h, &dcb)) {
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = dcb.fOutX = dcb.fInX = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    SetCommState(h, &dcb);
  }
  // A read returns at once with what has arrived; a write waits at most a
  // second for a terminal that does not read.
  COMMTIMEOUTS timeouts{MAXDWORD, 0, 0, 0, 1000};
  if (!SetCommTimeouts(h, &timeouts)) fail("SetCommTimeouts", GetLastError());
  PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR);
}

void ScaleServer::openTcp(int port) {
  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) fail("socket", static_cast<DWORD>(WSAGetLastError()));
  listen_ = s;
  BOOL exclusive = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive), sizeof exclusive);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<u_short>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);  // never any other address
  if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    fail("bind 127.0.0.1:" + std::to_string(port), static_cast<DWORD>(WSAGetLastError()));
  if (listen(s, 4) != 0) fail("listen", static_cast<DWORD>(WSAGetLastError()));
  int length = sizeof address;
  getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  tcpPort_ = ntohs(address.sin_port);
}

void ScaleServer::stop() { SetEvent(stopEvent_); }

void ScaleServer::run() {
  if (tcp())
    logf("listening on 127.0.0.1:%d", tcpPort_);
  else
    logf("serving on %s", slavePath_.c_str());
  startPacing();

  while (WaitForSingleObject(stopEvent_, 0) != WAIT_OBJECT_0) {
    const bool connected = !tcp() || socketOf(client_) != kNoSocket;
    const Clock::time_point now = Clock::now();
    const Clock::time_point wake = std::min(pace(connected), now + kTick);
    const auto waitMs = std::max<long long>(std::chrono::ceil<std::chrono::milliseconds>(wake - now).count(), 0);

    if (!tcp()) {
      // Read again at once while bytes keep coming.
      if (!readCom()) WaitForSingleObject(stopEvent_, static_cast<DWORD>(waitMs));
      continue;
    }
    const bool hasClient = socketOf(client_) != kNoSocket;
    const SOCKET watched = socketOf(hasClient ? client_ : listen_);
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(watched, &readable);
    timeval timeout{0, static_cast<long>(waitMs * 1000)};
    const int ready = select(0, &readable, nullptr, nullptr, &timeout);
    if (ready == SOCKET_ERROR) fail("select", static_cast<DWORD>(WSAGetLastError()));
    if (ready == 0) continue;
    if (hasClient) {
      readClient();
      continue;
    }
    sockaddr_in peer{};
    int length = sizeof peer;
    const SOCKET accepted = accept(watched, reinterpret_cast<sockaddr*>(&peer), &length);
    if (accepted == INVALID_SOCKET) continue;
    u_long nonBlocking = 1;
    ioctlsocket(accepted, FIONBIO, &nonBlocking);
    client_ = accepted;
    protocol_.reset();
    droppedReported_ = false;
    restartStream();
    logf("client connected from port %d", ntohs(peer.sin_port));
  }
  logf("stopping");
}

bool ScaleServer::readCom() {
  char buffer[512];
  DWORD n = 0;
  if (!ReadFile(com_, buffer, sizeof buffer, &n, nullptr)) {
    DWORD errors = 0;
    ClearCommError(com_, &errors, nullptr);
    return false;
  }
  if (n > 0) answer(buffer, n);
  return n > 0;
}

void ScaleServer::readClient() {
  char buffer[512];
  const int n = recv(socketOf(client_), buffer, sizeof buffer, 0);
  if (n > 0) {
    answer(buffer, static_cast<std::size_t>(n));
    return;
  }
  if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) return;
  logf("client %s", n == 0 ? "closed the connection" : "went away");
  closeClient();
}

void ScaleServer::closeClient() {
  if (socketOf(client_) != kNoSocket) closesocket(socketOf(client_));
  client_ = kNoSocket;
}

void ScaleServer::send(const std::string& bytes) {
  if (!tcp()) {
    DWORD written = 0;
    if (!WriteFile(com_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written < bytes.size()) {
      notReading();
    }
    return;
  }
  std::size_t done = 0;
  while (done < bytes.size()) {
    const int n = ::send(socketOf(client_), bytes.data() + done, static_cast<int>(bytes.size() - done), 0);
    if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
      notReading();
      return;
    }
    if (n <= 0) {
      logf("client went away");
      closeClient();
      return;
    }
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace scale
