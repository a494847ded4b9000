// The parts of the pretend scale's loop that do not depend on the line.
#include "ScaleServer.h"

#include <algorithm>
#include <cstdarg>

namespace scale {

void ScaleServer::logf(const char* format, ...) {
  if (!log_) return;
  std::fputs("terso-scale: ", log_);
  va_list args;
  va_start(args, format);
  std::vfprintf(log_, format, args);
  va_end(args);
  std::fputc('\n', log_);
  std::fflush(log_);
}

void ScaleServer::answer(const char* bytes, std::size_t size) {
  std::string replies;
  for (const Exchange& e : protocol_.receive({bytes, size})) {
    if (options_.logOrders) {
      std::string shown = e.reply;
      while (!shown.empty() && (shown.back() == '\n' || shown.back() == '\r')) shown.pop_back();
      logf("\"%s\" -> \"%s\"", e.order.c_str(), shown.c_str());
    }
    replies += e.reply;
  }
  if (!replies.empty()) send(replies);
}

void ScaleServer::startPacing() {
  streamPeriod_ = options_.streamRate > 0 ? std::chrono::duration_cast<Clock::duration>(
                                                std::chrono::duration<double>(1.0 / options_.streamRate))
                                          : Clock::duration::zero();
  nextDrift_ = Clock::now() + options_.driftPeriod;
  restartStream();
}

ScaleServer::Clock::time_point ScaleServer::pace(bool connected) {
  const Clock::time_point now = Clock::now();
  if (now >= nextDrift_) {
    drift_.advance();
    nextDrift_ += options_.driftPeriod;
    if (nextDrift_ <= now) nextDrift_ = now + options_.driftPeriod;
  }
  const bool streaming = options_.streamRate > 0 && connected;
  if (streaming && now >= nextStream_) {
    send(protocol_.streamLine());
    nextStream_ += streamPeriod_;
    // Behind by more than a period (a stalled machine): no burst to catch up.
    if (nextStream_ <= now) nextStream_ = now + streamPeriod_;
  }
  return streaming ? std::min(nextDrift_, nextStream_) : nextDrift_;
}

// What the terminal cannot take is dropped rather than queued without end.
void ScaleServer::notReading() {
  if (!droppedReported_) logf("the terminal is not reading; lines are dropped");
  droppedReported_ = true;
}

}  // namespace scale
