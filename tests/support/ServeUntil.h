#pragma once
// Serves the Qt loop until done() or the real-time limit; the limit only
// bounds a failing test.
#include <QCoreApplication>
#include <chrono>
#include <functional>
#include <thread>

namespace testing_support {

inline bool serveUntil(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = std::chrono::seconds(10)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace testing_support
