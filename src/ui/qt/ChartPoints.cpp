#include "ui/qt/ChartPoints.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace ui::qt {

QList<QPointF> pointsOfKind(const std::vector<ui::ChartPoint>& points, ui::PointKind kind, std::size_t limit) {
  QList<QPointF> out;
  std::size_t count = 0;
  for (const ui::ChartPoint& p : points) count += p.kind == kind;
  const std::size_t step = count > limit ? (count + limit - 1) / limit : 1;
  std::size_t i = 0;
  for (const ui::ChartPoint& p : points) {
    if (p.kind != kind) continue;
    if (i++ % step == 0) out.append(QPointF(p.x, p.y));
  }
  return out;
}

QList<QPointF> decimatedLine(const std::vector<ui::ChartPoint>& points, int columns) {
  QList<QPointF> out;
  std::vector<const ui::ChartPoint*> readable;
  readable.reserve(points.size());
  for (const ui::ChartPoint& p : points)
    if (p.kind != ui::PointKind::Unreadable) readable.push_back(&p);
  if (readable.empty()) return out;
  columns = std::max(columns, 1);
  if (readable.size() <= static_cast<std::size_t>(columns) * 2) {
    for (const ui::ChartPoint* p : readable) out.append(QPointF(p->x, p->y));
    return out;
  }
  const double x0 = readable.front()->x;
  const double span = std::max(readable.back()->x - x0, 1e-9);
  std::size_t i = 0;
  while (i < readable.size()) {
    const int column = static_cast<int>((readable[i]->x - x0) / span * (columns - 1));
    const ui::ChartPoint* first = readable[i];
    const ui::ChartPoint *low = first, *high = first, *last = first;
    for (++i; i < readable.size(); ++i) {
      const ui::ChartPoint* p = readable[i];
      if (static_cast<int>((p->x - x0) / span * (columns - 1)) != column) break;
      if (p->y < low->y) low = p;
      if (p->y > high->y) high = p;
      last = p;
    }
    // In time order, so the line does not go back.
    const ui::ChartPoint* inner[2] = {low, high};
    if (inner[0] > inner[1]) std::swap(inner[0], inner[1]);
    out.append(QPointF(first->x, first->y));
    for (const ui::ChartPoint* p : inner)
      if (p != first && p != last) out.append(QPointF(p->x, p->y));
    if (last != first) out.append(QPointF(last->x, last->y));
  }
  return out;
}

ChartAxes chartAxes(const std::vector<ui::ChartPoint>& points) {
  if (points.empty()) return {ui::roundTicks(0, 1, false), ui::roundTicks(0, 1, true)};
  double lowY = std::numeric_limits<double>::max(), highY = std::numeric_limits<double>::lowest();
  for (const ui::ChartPoint& p : points) {
    lowY = std::min(lowY, p.y);
    highY = std::max(highY, p.y);
  }
  double margin = (highY - lowY) * 0.05;
  // A flat series stands in the middle of a range a hundredth of its value
  // wide, not of a rounding error.
  if (!(margin > std::abs(highY) * 1e-6)) margin = highY != 0 ? std::abs(highY) * 0.01 : 1;
  const double lowX = std::min(points.front().x, points.back().x);
  const double highX = std::max(points.back().x, points.front().x + 1);
  return {ui::roundTicks(lowX, highX, false), ui::roundTicks(lowY - margin, highY + margin, true)};
}

QStringList tickLabels(const ui::AxisTicks& ticks, char decimalSeparator) {
  QStringList labels;
  for (double v : ticks.values) {
    const std::string text = ui::tickText(v, ticks.decimals, decimalSeparator);
    labels.append(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  }
  return labels;
}

}  // namespace ui::qt
