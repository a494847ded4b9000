#include "platform/LocalTime.h"

namespace platform {

std::tm localTime(std::time_t time) {
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &time);
#else
  localtime_r(&time, &local);
#endif
  return local;
}

}  // namespace platform
