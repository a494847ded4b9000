#include "platform/qt/QtEventLoop.h"

#include <QMetaObject>
#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

namespace platform {
namespace {

class QtTimer final : public Timer {
 public:
  explicit QtTimer(EventLoop& loop) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, [this, &loop] { loop.dispatch([this] { fire(); }); });
  }

 protected:
  // start() replaces a running period with a new one.
  void arm(int ms) override { timer_.start(ms); }
  void disarm() override { timer_.stop(); }

 private:
  QTimer timer_;
};

class QtFdWatch final : public FdWatch {
 public:
  QtFdWatch(EventLoop& loop, int fd, FdEvent event, std::function<void()> onReady)
      : notifier_(fd, event == FdEvent::Read ? QSocketNotifier::Read : QSocketNotifier::Write),
        onReady_(std::move(onReady)) {
    QObject::connect(&notifier_, &QSocketNotifier::activated, [this, &loop] { loop.dispatch(onReady_); });
  }
  void setEnabled(bool enabled) override { notifier_.setEnabled(enabled); }

 private:
  QSocketNotifier notifier_;
  std::function<void()> onReady_;
};

}  // namespace

QtEventLoop::QtEventLoop() : context_(std::make_unique<QObject>()) {}

QtEventLoop::~QtEventLoop() {
  context_.reset();
  handovers_.close();
}

bool QtEventLoop::onLoopThread() const {
  return QThread::currentThread() == context_->thread();
}

void QtEventLoop::post(std::function<void()> message) {
  // Queued invocations to one object are delivered in posting order, also
  // across threads.
  QMetaObject::invokeMethod(
      context_.get(), [this, message = std::move(message)] { dispatch(message); }, Qt::QueuedConnection);
}

std::unique_ptr<Timer> QtEventLoop::createTimer() {
  return std::make_unique<QtTimer>(*this);
}

void QtEventLoop::invokeAndWait(std::function<void()> call) {
  if (onLoopThread()) {
    call();
    return;
  }
  // Not a blocking queued connection: the user-interface thread may be inside
  // waitServingHandovers(), which serves this queue but no Qt events.
  handovers_.runAndWait(std::move(call), [this] {
    QMetaObject::invokeMethod(
        context_.get(), [this] { handovers_.serve(); }, Qt::QueuedConnection);
  });
}

void QtEventLoop::waitServingHandovers(const std::function<bool()>& done) {
  handovers_.waitServing(done);
}

void QtEventLoop::wake() {
  handovers_.wake();
}

std::unique_ptr<FdWatch> QtEventLoop::watchFd(int fd, FdEvent event, std::function<void()> onReady) {
  return std::make_unique<QtFdWatch>(*this, fd, event, std::move(onReady));
}

}  // namespace platform
