#pragma once
#include <stdexcept>

namespace platform {

// What a hand-over to a loop that has stopped (or stops before serving it)
// throws.
class EventLoopStopped : public std::runtime_error {
 public:
  EventLoopStopped() : std::runtime_error("The event loop has stopped") {}
};

}  // namespace platform
