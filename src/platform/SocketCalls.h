#pragma once
// The plain socket calls of the TCP client, one side per system. A socket is
// an int (a descriptor on POSIX; a Winsock SOCKET, which fits, on Windows),
// the one the event loop watches. Error codes are the system's own (errno,
// WSAGetLastError), as the client reports them.
#include <cstddef>
#include <cstdint>
#include <string>

namespace platform::sockets {

// The error of the last failed call on this thread, and its text.
int lastError();
std::string message(int code);
// Kinds of errors that mean the same everywhere.
bool wouldBlock(int code);
bool interrupted(int code);
// A non-blocking connect that goes on in the background.
bool inProgress(int code);
int addressNotAvailable();

// A non-blocking TCP socket without send delay: 0 and the socket, or the
// error. Starts the system's socket layer first when it needs that.
int open(int& socket);
// 0, or the error (inProgress() for an attempt that goes on).
int connect(int socket, std::uint32_t addressNetOrder, std::uint16_t port);
// The error an attempt or a connection ended with, or 0.
int pendingError(int socket);
// Bytes ready to be received; false when that cannot be told.
bool available(int socket, std::size_t& count);
// Bytes moved, 0 for a peer that closed (receiving), or -1 (lastError()).
long long receive(int socket, char* buffer, std::size_t size, bool peek);
// Never waits, never raises a signal.
long long send(int socket, const char* data, std::size_t size);
void close(int socket);

// A dotted IPv4 address, which needs no lookup.
bool parseDotted(const std::string& host, std::uint32_t& addressNetOrder);
// Looks a host name up (it may take seconds): 0 and the IPv4 address, or the
// code of the failure and its text in failure. An empty name fails.
int lookUp(const std::string& host, std::uint32_t& addressNetOrder, std::string& failure);

}  // namespace platform::sockets
