#pragma once
// Running statistics of a series of weights, updated one value at a time in a
// numerically stable way (Welford's method on values shifted by the first
// one), so a night of readings of a heavy load near its mean keeps its spread.
#include <cstdint>

namespace readings {

struct Summary {
  std::int64_t count = 0;
  double mean = 0;
  // Sample standard deviation; NaN below two values.
  double stdDev = 0;
  // Standard deviation in % of the mean's magnitude; NaN when undefined.
  double rsdPercent = 0;
  double min = 0;
  double max = 0;
  double range = 0;
};

class RunningStats {
 public:
  void add(double x);
  std::int64_t count() const { return count_; }
  Summary summary() const;

 private:
  std::int64_t count_ = 0;
  double shift_ = 0;
  double mean_ = 0;  // of the shifted values
  double m2_ = 0;
  double min_ = 0;
  double max_ = 0;
};

}  // namespace readings
