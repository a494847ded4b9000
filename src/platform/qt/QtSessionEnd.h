#pragma once
// The end of the Windows session for a window program: when Windows says the
// session ends (WM_ENDSESSION), onEnd runs at once, inside that message,
// because the process may be ended as soon as the message is answered. It
// does nothing elsewhere (Linux sessions end with signals: StopSignals).
// Install it on the user-interface thread after the application object.
#include <functional>
#include <memory>

namespace platform {

class QtSessionEnd {
 public:
  explicit QtSessionEnd(std::function<void()> onEnd);
  ~QtSessionEnd();
  QtSessionEnd(const QtSessionEnd&) = delete;
  QtSessionEnd& operator=(const QtSessionEnd&) = delete;

 private:
  struct Filter;
  std::unique_ptr<Filter> filter_;
};

}  // namespace platform
