#include "platform/DescriptorWait.h"

#include <winsock2.h>

#include <vector>

namespace platform {

namespace {

SOCKET socketOf(const DescriptorWatch& w) {
  return static_cast<SOCKET>(static_cast<unsigned>(w.fd));
}

// Marks the watches whose sockets are ready now; whether any is.
bool lookAtSockets(std::span<DescriptorWatch> watches) {
  std::vector<WSAPOLLFD> fds;
  fds.reserve(watches.size());
  for (const DescriptorWatch& w : watches)
    fds.push_back({socketOf(w), static_cast<SHORT>(w.write ? POLLWRNORM : POLLRDNORM), 0});
  if (fds.empty() || WSAPoll(fds.data(), static_cast<ULONG>(fds.size()), 0) <= 0) return false;
  bool any = false;
  for (std::size_t i = 0; i < watches.size(); ++i) {
    if (fds[i].revents != 0) watches[i].ready = true;
    any = any || watches[i].ready;
  }
  return any;
}

// WSAPoll before Windows 10 2004 never reports a connect that failed; the
// network events recorded for the sockets do (FD_CONNECT with its error, and
// FD_CLOSE). Reading them also clears them and their event.
bool takeNetworkEvents(std::span<DescriptorWatch> watches, const std::vector<WSAEVENT>& events) {
  bool any = false;
  for (std::size_t i = 0; i < watches.size(); ++i) {
    if (events[i] == WSA_INVALID_EVENT) continue;
    WSANETWORKEVENTS happened{};
    if (WSAEnumNetworkEvents(socketOf(watches[i]), events[i], &happened) == 0 && happened.lNetworkEvents != 0)
      watches[i].ready = true;
    any = any || watches[i].ready;
  }
  return any;
}

}  // namespace

Poller::Result waitForDescriptors(Poller& poller, std::span<DescriptorWatch> watches, int timeoutMs) {
  for (DescriptorWatch& w : watches) w.ready = false;
  // The events are tied to the sockets before the look, so that nothing that
  // happens in between goes unnoticed.
  std::vector<WSAEVENT> events;
  std::vector<PollWatch> handles;
  for (const DescriptorWatch& w : watches) {
    WSAEVENT event = WSACreateEvent();
    events.push_back(event);
    if (event == WSA_INVALID_EVENT) continue;
    const long what = w.write ? FD_WRITE | FD_CONNECT | FD_CLOSE : FD_READ | FD_ACCEPT | FD_CLOSE;
    WSAEventSelect(socketOf(w), event, what);
    handles.push_back({.handle = event, .read = true});
  }
  bool any = lookAtSockets(watches);
  Poller::Result result = Poller::Result::Ready;
  if (!any && timeoutMs != 0) {
    result = poller.wait(handles, timeoutMs);
    if (result == Poller::Result::Ready) lookAtSockets(watches);
  }
  if (takeNetworkEvents(watches, events) || any)
    result = Poller::Result::Ready;
  else if (timeoutMs == 0)
    result = Poller::Result::TimedOut;
  for (std::size_t i = 0; i < watches.size(); ++i) {
    if (events[i] == WSA_INVALID_EVENT) continue;
    WSAEventSelect(socketOf(watches[i]), nullptr, 0);
    WSACloseEvent(events[i]);
  }
  return result;
}

}  // namespace platform
