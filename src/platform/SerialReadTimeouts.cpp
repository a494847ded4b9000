#include "platform/SerialReadTimeouts.h"

#include <cstdint>

namespace platform {

std::size_t readWithTimeouts(const SerialTimeouts& t, char* buffer, std::size_t size,
                             const std::function<std::size_t(char*, std::size_t)>& readSome,
                             const std::function<bool(const SerialClock::time_point*)>& waitInput) {
  constexpr std::uint32_t kMax = 0xFFFFFFFFu;
  using Clock = SerialClock;
  std::size_t done = readSome(buffer, size);
  if (done == size || size == 0) return done;
  // Interval "largest", totals 0: return at once with what is there.
  if (t.readInterval == kMax && t.readTotalMultiplier == 0 && t.readTotalConstant == 0) return done;
  // Interval and multiplier "largest": return as soon as anything is there,
  // waiting at most the constant for it.
  if (t.readInterval == kMax && t.readTotalMultiplier == kMax && t.readTotalConstant != kMax) {
    if (done > 0) return done;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(t.readTotalConstant);
    while (done == 0 && waitInput(&deadline)) done = readSome(buffer, size);
    return done;
  }
  const bool totalLimit = t.readTotalMultiplier != 0 || t.readTotalConstant != 0;
  const std::uint64_t totalMs = std::uint64_t{t.readTotalMultiplier} * size + t.readTotalConstant;
  const Clock::time_point totalDeadline = Clock::now() + std::chrono::milliseconds(totalMs);
  const bool intervalLimit = t.readInterval != 0 && t.readInterval != kMax;
  while (done < size) {
    Clock::time_point deadline = totalDeadline;
    bool limited = totalLimit;
    if (intervalLimit && done > 0) {
      const auto intervalDeadline = Clock::now() + std::chrono::milliseconds(t.readInterval);
      if (!limited || intervalDeadline < deadline) deadline = intervalDeadline;
      limited = true;
    }
    if (!waitInput(limited ? &deadline : nullptr)) break;
    done += readSome(buffer + done, size - done);
  }
  return done;
}

}  // namespace platform
