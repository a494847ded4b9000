#pragma once
// A plot of values against time: points in order of arrival, each of a kind
// the view marks differently, and the captions of both axes. The form
// appends points in batches; the view redraws once per batch and may draw
// fewer points than it holds when there are more than pixels.
#include <cstdint>
#include <string>
#include <vector>

#include "ui/Control.h"

namespace ui {

enum class PointKind : std::uint8_t { Normal, Marked, Unreadable };

struct ChartPoint {
  double x = 0;
  double y = 0;
  PointKind kind = PointKind::Normal;
};

class Chart : public Control {
 public:
  using Control::Control;

  const std::vector<ChartPoint>& points() const { return points_; }
  void append(const std::vector<ChartPoint>& batch) {
    if (batch.empty()) return;
    points_.insert(points_.end(), batch.begin(), batch.end());
    changed();
  }
  // All points anew: a thinned-out plot changes in more places than its end.
  void assign(std::vector<ChartPoint> points) {
    if (points.empty() && points_.empty()) return;
    points_ = std::move(points);
    changed();
  }
  void clear() {
    if (points_.empty()) return;
    points_.clear();
    points_.shrink_to_fit();
    changed();
  }
  // The decimal separator of the axes' numbers.
  char decimalSeparator() const { return decimalSeparator_; }
  void setDecimalSeparator(char separator) {
    if (separator == decimalSeparator_) return;
    decimalSeparator_ = separator;
    changed();
  }
  const std::string& xCaption() const { return xCaption_; }
  const std::string& yCaption() const { return yCaption_; }
  void setCaptions(const std::string& x, const std::string& y) {
    if (x == xCaption_ && y == yCaption_) return;
    xCaption_ = x;
    yCaption_ = y;
    changed();
  }

 private:
  std::vector<ChartPoint> points_;
  std::string xCaption_, yCaption_;
  char decimalSeparator_ = '.';
};

// The numbered ticks of an axis, the same whichever way the plot is drawn.
struct AxisTicks {
  // The axis's range: the one asked for, or widened to whole steps.
  double low = 0, high = 1;
  // 1, 2 or 5 times a power of ten.
  double step = 1;
  // The decimals the step needs, for every tick's text.
  int decimals = 0;
  std::vector<double> values;
};

// About five round ticks over [low, high]; with widen, the range first
// grows out to the nearest whole steps. An empty or unusable range gets a
// single tick at low.
AxisTicks roundTicks(double low, double high, bool widen);
// A tick's number with the given decimals and separator, never "-0".
std::string tickText(double value, int decimals, char separator);

}  // namespace ui
