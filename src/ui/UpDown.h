#pragma once
// A pair of arrow buttons that steps a whole number within a range; the form
// ties it to an edit box through its handler.
#include <algorithm>
#include <functional>
#include <string>

#include "ui/Control.h"

namespace ui {

class UpDown : public Control {
 public:
  using Control::Control;

  int min() const { return min_; }
  int max() const { return max_; }
  void setRange(int min, int max) {
    min_ = min;
    max_ = std::max(min, max);
    setPosition(position_);
  }
  int position() const { return position_; }
  // Clamped to the range.
  void setPosition(int p) { set(position_, std::clamp(p, min_, max_)); }

  std::function<void()> onClick;
  // The operator clicked an arrow.
  void click(bool up) {
    setPosition(position_ + (up ? 1 : -1));
    if (onClick) onClick();
  }

 private:
  int min_ = 0;
  int max_ = 100;
  int position_ = 0;
};

}  // namespace ui
