#include "platform/DescriptorWait.h"

#include <vector>

namespace platform {

Poller::Result waitForDescriptors(Poller& poller, std::span<DescriptorWatch> watches, int timeoutMs) {
  std::vector<PollWatch> fds;
  fds.reserve(watches.size());
  for (const DescriptorWatch& w : watches)
    fds.push_back({.handle = w.fd, .read = !w.write, .write = w.write});
  const Poller::Result result = poller.wait(fds, timeoutMs);
  for (std::size_t i = 0; i < watches.size(); ++i) watches[i].ready = fds[i].ready || fds[i].hangUp;
  return result;
}

}  // namespace platform
