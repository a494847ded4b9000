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
  // The whole state, to be kept (the journal stores it per series) and
  // taken up again.
  struct Saved {
    std::int64_t count = 0;
    double shift = 0, mean = 0, m2 = 0, min = 0, max = 0;
  };
  RunningStats() = default;
  explicit RunningStats(const Saved& saved)
      : count_(saved.count),
        shift_(saved.shift),
        mean_(saved.mean),
        m2_(saved.m2),
        min_(saved.min),
        max_(saved.max) {}
  Saved saved() const { return {count_, shift_, mean_, m2_, min_, max_}; }

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
