#pragma once
// Reads a weight out of one reply row as scales commonly print it: a status
// header ("S S", "S D", "ST,GS,", "US,GS,", "OL", "N"), a signed number with a
// decimal point or comma, a unit, and an optional trailing "?" for a moving
// scale. A row it cannot read has no value and the state Unknown.
#include <cstdint>
#include <string_view>

namespace readings {

enum class State : std::uint8_t { Stable, Unstable, Overload, Underload, Unknown };

struct ReplyValue {
  bool hasValue = false;
  double value = 0;
  // Digits after the decimal separator, as the scale printed them.
  std::uint8_t decimals = 0;
  // Up to kMaxUnit bytes ("g", "kg", "pcs", "%"); empty when none follows.
  char unit[8] = {};
  State state = State::Unknown;

  std::string_view unitText() const { return unit; }
};

inline constexpr std::size_t kMaxUnit = 7;

// Pure: the same row always gives the same value; any bytes are safe.
ReplyValue ReadReply(std::string_view row);

}  // namespace readings
