#pragma once
// The pretend scale's side of the line: orders in, weight lines out, and the
// slowly drifting weight. No file descriptors here, so it is tested as is.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace scale {

// The weight on the pan in hundredths of a gram. It wanders by a few
// hundredths a step, always within ten grams of where it started, and the
// same seed gives the same walk.
class WeightDrift {
 public:
  explicit WeightDrift(std::int64_t startHundredths = 12345, std::uint32_t seed = 1);

  std::int64_t current() const { return current_; }
  // One step of the walk; returns the new weight.
  std::int64_t advance();

  static constexpr std::int64_t kMaxStep = 3;
  static constexpr std::int64_t kRange = 1000;

 private:
  std::int64_t start_;
  std::int64_t current_;
  std::uint32_t state_;
};

// "S S     123.45 g" CR LF: the weight right-aligned in ten characters.
std::string formatWeightLine(std::int64_t hundredths);

// The error line for an order the scale does not know.
inline constexpr std::string_view kErrorLine = "ES\r\n";

// One order as received and what the scale answered.
struct Exchange {
  std::string order;
  std::string reply;
};

// Orders end at CR, LF or CR LF; empty orders are ignored.
//   "SI": the weight now, stable.
//   "S":  the next stable weight (the walk moves one step first).
//   anything else: the error line.
// An order longer than kMaxOrder bytes is dropped up to its end and answered
// once with the error line, so a stream of junk cannot grow the buffer.
class ScaleProtocol {
 public:
  explicit ScaleProtocol(WeightDrift& drift) : drift_(drift) {}

  std::vector<Exchange> receive(std::string_view bytes);
  // The line sent when streaming: the walk moves one step per line.
  std::string streamLine();
  // Forgets a partly received order (a new terminal on the line).
  void reset();

  static constexpr std::size_t kMaxOrder = 64;

 private:
  Exchange answer(const std::string& order);

  WeightDrift& drift_;
  std::string pending_;
  bool discarding_ = false;
};

}  // namespace scale
