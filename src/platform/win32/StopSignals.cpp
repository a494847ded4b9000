#include "platform/StopSignals.h"

#include <windows.h>

#include <atomic>

namespace platform {
namespace {

struct Listener {
  EventLoop* loop;
  std::function<void()> onStop;
};
std::atomic<Listener*> listener{nullptr};

// Runs on a thread the system starts: the request goes to the loop.
BOOL WINAPI onConsoleControl(DWORD) {
  Listener* l = listener.load();
  if (!l) return FALSE;
  l->loop->post(l->onStop);
  return TRUE;
}

}  // namespace

struct StopSignals::State {
  Listener listener;
};

StopSignals::StopSignals(EventLoop& loop, std::function<void()> onStop)
    : state_(std::make_unique<State>(State{Listener{&loop, std::move(onStop)}})) {
  listener = &state_->listener;
  ::SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

StopSignals::~StopSignals() {
  ::SetConsoleCtrlHandler(onConsoleControl, FALSE);
  listener = nullptr;
}

}  // namespace platform
