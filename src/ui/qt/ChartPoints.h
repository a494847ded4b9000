#pragma once
// What the readings plot draws of a long series, whichever way it is drawn:
// with more points than the plot has pixels across, each pixel column keeps
// only its first, lowest, highest and last point, so the line keeps its shape
// and the window stays responsive.
#include <QList>
#include <QPointF>
#include <QStringList>
#include <cstddef>
#include <vector>

#include "ui/Chart.h"

namespace ui::qt {

// The line through the readable points for a plot this many pixels wide.
QList<QPointF> decimatedLine(const std::vector<ui::ChartPoint>& points, int columns);

// Points of one kind, for markers; at most about limit of them.
QList<QPointF> pointsOfKind(const std::vector<ui::ChartPoint>& points, ui::PointKind kind, std::size_t limit);

// The axes both views show, with their numbered ticks: x from the first to
// the last point (at least 1 wide), y over every point with a small margin
// (a flat series, a single reading too, gets a margin of its own), widened
// to whole steps; 0..1 when empty.
struct ChartAxes {
  ui::AxisTicks x, y;
};
ChartAxes chartAxes(const std::vector<ui::ChartPoint>& points);
// The ticks' numbers as the axis writes them.
QStringList tickLabels(const ui::AxisTicks& ticks, char decimalSeparator);

}  // namespace ui::qt
