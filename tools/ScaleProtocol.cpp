#include "ScaleProtocol.h"

#include <cstdio>

namespace scale {

WeightDrift::WeightDrift(std::int64_t startHundredths, std::uint32_t seed)
    : start_(startHundredths), current_(startHundredths), state_(seed) {}

std::int64_t WeightDrift::advance() {
  // A small linear congruential generator: reproducible, and plenty for a
  // pretend weight.
  state_ = state_ * 1664525u + 1013904223u;
  std::int64_t step = static_cast<std::int64_t>((state_ >> 16) % (2 * kMaxStep + 1)) - kMaxStep;
  // At the edge of the range the walk turns back instead of sticking there.
  if (current_ + step > start_ + kRange || current_ + step < start_ - kRange) step = -step;
  current_ += step;
  return current_;
}

std::string formatWeightLine(std::int64_t hundredths) {
  const bool negative = hundredths < 0;
  const std::int64_t magnitude = negative ? -hundredths : hundredths;
  char number[32];
  std::snprintf(number, sizeof number, "%s%lld.%02lld", negative ? "-" : "",
                static_cast<long long>(magnitude / 100), static_cast<long long>(magnitude % 100));
  char line[64];
  std::snprintf(line, sizeof line, "S S %10s g\r\n", number);
  return line;
}

std::vector<Exchange> ScaleProtocol::receive(std::string_view bytes) {
  std::vector<Exchange> exchanges;
  for (const char c : bytes) {
    if (c == '\r' || c == '\n') {
      if (discarding_) {
        discarding_ = false;
      } else if (!pending_.empty()) {
        exchanges.push_back(answer(pending_));
      }
      pending_.clear();
      continue;
    }
    if (discarding_) continue;
    if (pending_.size() == kMaxOrder) {
      exchanges.push_back({pending_.substr(0, 16) + "...", std::string(kErrorLine)});
      pending_.clear();
      discarding_ = true;
      continue;
    }
    pending_ += c;
  }
  return exchanges;
}

Exchange ScaleProtocol::answer(const std::string& order) {
  if (order == "SI") return {order, formatWeightLine(drift_.current())};
  if (order == "S") return {order, formatWeightLine(drift_.advance())};
  return {order, std::string(kErrorLine)};
}

std::string ScaleProtocol::streamLine() {
  return formatWeightLine(drift_.advance());
}

void ScaleProtocol::reset() {
  pending_.clear();
  discarding_ = false;
}

}  // namespace scale
