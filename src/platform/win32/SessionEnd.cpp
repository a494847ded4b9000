#include "platform/SessionEnd.h"

#include <windows.h>

#include <atomic>
#include <mutex>

namespace platform {

struct SessionEndWatch::State {
  EventLoop* loop = nullptr;
  std::function<void()> onEnd;
  HANDLE done = nullptr;  // set once onEnd has run
  std::atomic<bool> fired{false};
};

namespace {

std::mutex g_mutex;
SessionEndWatch::State* g_state = nullptr;

BOOL WINAPI onConsoleEvent(DWORD event) {
  HANDLE done = nullptr;
  {
    std::lock_guard lock(g_mutex);
    SessionEndWatch::State* s = g_state;
    if (!s) return FALSE;
    done = s->done;
    if (!s->fired.exchange(true)) {
      s->loop->post([s] {
        s->onEnd();
        ::SetEvent(s->done);
      });
    }
  }
  // The close of the console, log-off and shut-down end the process when
  // this returns; Ctrl+C and Ctrl+Break leave it running.
  if (event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT)
    ::WaitForSingleObject(done, 4000);
  return TRUE;
}

}  // namespace

SessionEndWatch::SessionEndWatch(EventLoop& loop, std::function<void()> onEnd) : state_(std::make_unique<State>()) {
  state_->loop = &loop;
  state_->onEnd = std::move(onEnd);
  state_->done = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  {
    std::lock_guard lock(g_mutex);
    g_state = state_.get();
  }
  ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

SessionEndWatch::~SessionEndWatch() {
  ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
  {
    std::lock_guard lock(g_mutex);
    g_state = nullptr;
  }
  // A handler still waiting is let go.
  ::SetEvent(state_->done);
  ::CloseHandle(state_->done);
}

}  // namespace platform
