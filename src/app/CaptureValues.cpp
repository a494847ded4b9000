#include "app/CaptureValues.h"

#include "platform/LocalTime.h"

namespace app {

const std::string& LineStamp::at(platform::WallClock::time_point now) {
  const std::time_t second = platform::WallClock::to_time_t(now);
  if (text_.empty() || second != second_) {
    const std::tm local = platform::localTime(second);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d\t%H:%M:%S\t", &local);
    text_.assign(text, n);
    second_ = second;
  }
  return text_;
}

}  // namespace app
