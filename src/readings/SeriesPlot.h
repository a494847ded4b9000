#pragma once
// The plot of a series, thinned out as its readings come: of each stretch of
// readings its lowest and highest weight and its first row without a
// readable weight, in the order they came. A stretch begins as a single
// reading and doubles whenever the plot would outgrow its bound, so a series
// of any length keeps a few thousand points, and a short one every reading.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "readings/ReplyReader.h"

namespace readings {

// A point of a series' plot.
struct PlotPoint {
  std::int64_t timeMs = 0;
  double value = 0;  // for an unreadable row, where the weight last stood
  State state = State::Unknown;
};

class SeriesPlot {
 public:
  // At most about maxPoints points (three a stretch).
  explicit SeriesPlot(std::size_t maxPoints);

  // A reading: drawn when it holds a stable or moving weight in the plot's
  // unit (`inUnit`); marked where the weight last stood when it holds no
  // readable weight; only counted when its weight is of another unit.
  void add(std::int64_t timeMs, std::optional<double> value, State state, bool inUnit);
  // The points: the finished stretches, then the one in progress.
  std::vector<PlotPoint> points() const;
  // Readings added: when it has not changed, neither have the points.
  std::int64_t readings() const { return readings_; }
  void clear();

 private:
  struct Stretch {
    std::optional<PlotPoint> low, high, unreadable;
    void take(const Stretch& later);
    void appendTo(std::vector<PlotPoint>& out) const;
  };

  std::size_t maxStretches_;
  std::vector<Stretch> done_;
  Stretch current_;
  std::int64_t stretch_ = 1;
  std::int64_t inCurrent_ = 0;
  std::int64_t readings_ = 0;
  double last_ = 0;
};

}  // namespace readings
