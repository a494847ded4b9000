#include "platform/EventLoop.h"

#include <exception>

namespace platform {

void EventLoop::dispatch(const std::function<void()>& handler) noexcept {
  try {
    handler();
  } catch (const std::exception& e) {
    reportError(e.what());
  } catch (...) {
    // The general error report: whatever a handler threw, the loop goes on.
    reportError("Unknown error");
  }
}

void EventLoop::reportError(const std::string& message) noexcept {
  if (!errorReport_) return;
  try {
    errorReport_(message);
  } catch (...) {
    // The report itself must never take the loop down.
  }
}

}  // namespace platform
