#pragma once
// The manual event loop's wait for the descriptors it watches (sockets on
// Windows): a Poller wait on POSIX; on Windows a look at the sockets'
// readiness (WSAPoll) and, when none is ready, a Poller wait for events the
// sockets signal (WSAEventSelect) and the loop's wake.
#include <span>

#include "platform/Poller.h"

namespace platform {

struct DescriptorWatch {
  int fd = -1;
  bool write = false;  // else read
  // Filled by waitForDescriptors: ready, hung up or failed (the handler's
  // read or write tells which).
  bool ready = false;
};

// As Poller::wait: a wait of 0 only looks; woken() tells of wakes.
Poller::Result waitForDescriptors(Poller& poller, std::span<DescriptorWatch> watches, int timeoutMs);

}  // namespace platform
