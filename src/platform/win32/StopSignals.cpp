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

// Runs on a thread the system starts: the request goes to the loop. A
// closing console (or session) ends the process when this returns, so then
// it waits, bounded, until the run has stopped and let go of the handler.
BOOL WINAPI onConsoleControl(DWORD type) {
  Listener* l = listener.load();
  if (!l) return FALSE;
  l->loop->post(l->onStop);
  if (type == CTRL_CLOSE_EVENT || type == CTRL_LOGOFF_EVENT || type == CTRL_SHUTDOWN_EVENT)
    for (int i = 0; i < 40 && listener.load(); ++i) ::Sleep(100);
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
