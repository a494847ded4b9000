#include "readings/SeriesPlot.h"

#include <algorithm>

namespace readings {

SeriesPlot::SeriesPlot(std::size_t maxPoints) : maxStretches_(std::max<std::size_t>(2, maxPoints / 3) & ~std::size_t{1}) {}

void SeriesPlot::Stretch::take(const Stretch& later) {
  if (later.low && (!low || later.low->value < low->value)) low = later.low;
  if (later.high && (!high || later.high->value > high->value)) high = later.high;
  if (!unreadable) unreadable = later.unreadable;
}

void SeriesPlot::Stretch::appendTo(std::vector<PlotPoint>& out) const {
  const std::size_t first = out.size();
  if (low) out.push_back(*low);
  if (high && (high->timeMs != low->timeMs || high->value != low->value)) out.push_back(*high);
  if (unreadable) out.push_back(*unreadable);
  std::sort(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(),
            [](const PlotPoint& a, const PlotPoint& b) { return a.timeMs < b.timeMs; });
}

void SeriesPlot::add(std::int64_t timeMs, std::optional<double> value, State state, bool inUnit) {
  const bool readable = value && (state == State::Stable || state == State::Unstable);
  if (readable && inUnit) {
    const PlotPoint p{timeMs, *value, state};
    last_ = p.value;
    if (!current_.low || p.value < current_.low->value) current_.low = p;
    if (!current_.high || p.value > current_.high->value) current_.high = p;
  } else if (!readable && !current_.unreadable) {
    current_.unreadable = PlotPoint{timeMs, last_, State::Unknown};
  }
  ++readings_;
  if (++inCurrent_ < stretch_) return;
  done_.push_back(current_);
  current_ = Stretch{};
  inCurrent_ = 0;
  if (done_.size() < maxStretches_) return;
  // Full: every two stretches become one twice as long.
  for (std::size_t i = 0; i < done_.size() / 2; ++i) {
    Stretch merged = done_[2 * i];
    merged.take(done_[2 * i + 1]);
    done_[i] = merged;
  }
  done_.resize(done_.size() / 2);
  stretch_ *= 2;
}

std::vector<PlotPoint> SeriesPlot::points() const {
  std::vector<PlotPoint> out;
  out.reserve(done_.size() * 3 + 3);
  for (const Stretch& s : done_) s.appendTo(out);
  current_.appendTo(out);
  return out;
}

void SeriesPlot::clear() {
  done_.clear();
  done_.shrink_to_fit();
  current_ = Stretch{};
  stretch_ = 1;
  inCurrent_ = 0;
  readings_ = 0;
  last_ = 0;
}

}  // namespace readings
