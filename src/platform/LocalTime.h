#pragma once
// The local time of day of a moment, the same call on every system.
#include <ctime>

namespace platform {

std::tm localTime(std::time_t time);

}  // namespace platform
