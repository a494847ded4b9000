#include "platform/DescriptorWait.h"

#include <winsock2.h>

#include <vector>

namespace platform {

namespace {

// Marks the watches whose sockets are ready now; whether any is.
bool lookAtSockets(std::span<DescriptorWatch> watches) {
  std::vector<WSAPOLLFD> fds;
  fds.reserve(watches.size());
  for (const DescriptorWatch& w : watches)
    fds.push_back({static_cast<SOCKET>(static_cast<unsigned>(w.fd)),
                   static_cast<SHORT>(w.write ? POLLWRNORM : POLLRDNORM), 0});
  if (fds.empty() || WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), 0) <= 0) return false;
  bool any = false;
  for (std::size_t i = 0; i < watches.size(); ++i) {
    watches[i].ready = fds[i].revents != 0;
    any = any || watches[i].ready;
  }
  return any;
}

}  // namespace

Poller::Result waitForDescriptors(Poller& poller, std::span<DescriptorWatch> watches, int timeoutMs) {
  for (DescriptorWatch& w : watches) w.ready = false;
  if (timeoutMs == 0) return lookAtSockets(watches) ? Poller::Result::Ready : Poller::Result::TimedOut;
  // The events are tied to the sockets before the look, so that nothing that
  // happens in between goes unnoticed.
  std::vector<WSAEVENT> events;
  std::vector<PollWatch> handles;
  for (const DescriptorWatch& w : watches) {
    WSAEVENT event = WSACreateEvent();
    if (event == WSA_INVALID_EVENT) continue;
    const long what = w.write ? FD_WRITE | FD_CONNECT | FD_CLOSE : FD_READ | FD_ACCEPT | FD_CLOSE;
    WSAEventSelect(static_cast<SOCKET>(static_cast<unsigned>(w.fd)), event, what);
    events.push_back(event);
    handles.push_back({.handle = event, .read = true});
  }
  Poller::Result result = Poller::Result::Ready;
  if (!lookAtSockets(watches)) {
    result = poller.wait(handles, timeoutMs);
    if (result == Poller::Result::Ready) lookAtSockets(watches);
  }
  for (std::size_t i = 0; i < watches.size() && i < events.size(); ++i)
    WSAEventSelect(static_cast<SOCKET>(static_cast<unsigned>(watches[i].fd)), nullptr, 0);
  for (WSAEVENT event : events) WSACloseEvent(event);
  return result;
}

}  // namespace platform
