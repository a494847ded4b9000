#include "platform/qt/QtSessionEnd.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>

#ifdef _WIN32
#include <windows.h>
#endif

namespace platform {

struct QtSessionEnd::Filter : QAbstractNativeEventFilter {
  explicit Filter(std::function<void()> end) : onEnd(std::move(end)) {}

  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override {
#ifdef _WIN32
    if (eventType != "windows_generic_MSG") return false;
    const MSG* msg = static_cast<const MSG*>(message);
    // Every top-level window gets the message; the first one ends the
    // program, and a session end that was called off ends nothing.
    if (msg->message != WM_ENDSESSION || msg->wParam == FALSE || fired) return false;
    fired = true;
    onEnd();
    if (result) *result = 0;
    return true;
#else
    (void)eventType;
    (void)message;
    (void)result;
    return false;
#endif
  }

  std::function<void()> onEnd;
  bool fired = false;
};

QtSessionEnd::QtSessionEnd(std::function<void()> onEnd) : filter_(std::make_unique<Filter>(std::move(onEnd))) {
  QCoreApplication::instance()->installNativeEventFilter(filter_.get());
}

QtSessionEnd::~QtSessionEnd() {
  if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(filter_.get());
}

}  // namespace platform
