#pragma once
// The manual loop's clock at a time of day in the local time zone.
#include <ctime>

#include "platform/ManualEventLoop.h"

namespace testing_support {

// Sets the virtual clock to 3 June 2024 at the given local time of day.
inline void setLocalTime(platform::ManualEventLoop& loop, int hour, int minute, int second) {
  std::tm local{};
  local.tm_year = 2024 - 1900;
  local.tm_mon = 5;
  local.tm_mday = 3;
  local.tm_hour = hour;
  local.tm_min = minute;
  local.tm_sec = second;
  local.tm_isdst = -1;
  loop.setNow(platform::WallClock::from_time_t(std::mktime(&local)));
}

}  // namespace testing_support
