#pragma once
// A window that takes posted notification messages. Components post to the
// main window through this, never touching the window directly; the message is
// handled later on the user-interface thread, in posting order.
#include <cstdint>

namespace platform {

class MessageTarget {
 public:
  virtual ~MessageTarget() = default;
  virtual void postMessage(unsigned message, std::intptr_t wParam, std::intptr_t lParam = 0) = 0;
};

// The first number a program's own messages may take (the system's WM_USER),
// under a name of its own so that it never meets the system header's macro.
inline constexpr unsigned kFirstUserMessage = 0x0400;

}  // namespace platform
