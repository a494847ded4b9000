#include "readings/Statistics.h"

#include <cmath>
#include <limits>

namespace readings {

void RunningStats::add(double x) {
  if (count_ == 0) {
    shift_ = x;
    min_ = max_ = x;
  } else {
    if (x < min_) min_ = x;
    if (x > max_) max_ = x;
  }
  ++count_;
  const double y = x - shift_;
  const double delta = y - mean_;
  mean_ += delta / static_cast<double>(count_);
  m2_ += delta * (y - mean_);
}

Summary RunningStats::summary() const {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  Summary s;
  s.count = count_;
  if (count_ == 0) {
    s.mean = s.stdDev = s.rsdPercent = s.min = s.max = s.range = nan;
    return s;
  }
  s.mean = shift_ + mean_;
  s.stdDev = count_ > 1 ? std::sqrt(m2_ / static_cast<double>(count_ - 1)) : nan;
  s.rsdPercent = s.mean != 0 ? s.stdDev / std::fabs(s.mean) * 100 : nan;
  s.min = min_;
  s.max = max_;
  s.range = max_ - min_;
  return s;
}

}  // namespace readings
