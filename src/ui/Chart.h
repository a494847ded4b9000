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
  void clear() {
    if (points_.empty()) return;
    points_.clear();
    points_.shrink_to_fit();
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
};

}  // namespace ui
