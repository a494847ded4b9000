#pragma once
// The program's counters (sent, replies, measurements done, the HEX column)
// are 32-bit and wrap round as the system's 32-bit integers do; they never
// overflow.
#include <cstdint>

namespace platform {

constexpr std::int32_t plusOne(std::int32_t v) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(v) + 1u);
}

}  // namespace platform
