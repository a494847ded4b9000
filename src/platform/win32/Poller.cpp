#include "platform/Poller.h"

#include <windows.h>

#include <system_error>

namespace platform {

// The wake is an auto-reset event: a wait that sees it also takes it.
Poller::Poller() {
  HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!event)
    throw std::system_error(static_cast<int>(GetLastError()), std::system_category(), "CreateEvent");
  wakeWait_ = wakeSignal_ = event;
}

Poller::~Poller() {
  CloseHandle(wakeWait_);
}

void Poller::wake() noexcept {
  SetEvent(wakeSignal_);
}

void Poller::drain() noexcept {
  WaitForSingleObject(wakeWait_, 0);
}

// A watched handle is ready when it is signalled; what is waited for (read
// or write) is the handle's owner's business. A handle that cannot be waited
// for is reported invalid.
Poller::Result Poller::wait(std::span<PollWatch> watches, int timeoutMs) {
  woken_ = false;
  HANDLE handles[MAXIMUM_WAIT_OBJECTS];
  PollWatch* owners[MAXIMUM_WAIT_OBJECTS];
  DWORD count = 0;
  const bool withWake = timeoutMs != 0;
  const DWORD limit = MAXIMUM_WAIT_OBJECTS - (withWake ? 1 : 0);
  for (PollWatch& w : watches) {
    w.ready = w.hangUp = w.invalid = false;
    if (!w.read && !w.write) continue;
    if (w.handle == kNoHandle || count == limit) {
      w.invalid = true;
      continue;
    }
    owners[count] = &w;
    handles[count++] = static_cast<HANDLE>(w.handle);
  }
  if (withWake) handles[count++] = wakeWait_;
  const DWORD waitMs = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
  DWORD first = WAIT_TIMEOUT;
  if (count > 0) {
    first = WaitForMultipleObjects(count, handles, FALSE, waitMs);
  } else if (timeoutMs > 0) {
    Sleep(waitMs);
  }
  if (first == WAIT_FAILED) {
    // Find the handle that cannot be waited for.
    bool found = false;
    for (DWORD i = 0; i < count - (withWake ? 1 : 0); ++i)
      if (WaitForSingleObject(handles[i], 0) == WAIT_FAILED) owners[i]->invalid = found = true;
    return found ? Result::Ready : Result::Failed;
  }
  bool any = false;
  for (DWORD i = 0; i < count; ++i) {
    // The one the wait returned was taken if it resets itself; the rest are
    // looked at without waiting.
    const bool signalled = i == first - WAIT_OBJECT_0 || WaitForSingleObject(handles[i], 0) == WAIT_OBJECT_0;
    if (!signalled) continue;
    any = true;
    if (withWake && i == count - 1)
      woken_ = true;
    else
      owners[i]->ready = true;
  }
  return any ? Result::Ready : Result::TimedOut;
}

}  // namespace platform
