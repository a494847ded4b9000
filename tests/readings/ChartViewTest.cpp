// The plot's decimated line: bounded by the plot's width, in time order, and
// still showing every peak, the first and the last reading.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "ui/qt/ChartPoints.h"

namespace {

TEST(ChartView, ADecimatedLineKeepsItsPeaksEndsAndOrder) {
  std::vector<ui::ChartPoint> points;
  for (int i = 0; i < 100'000; ++i) {
    const double y = i == 31'337 ? 500.0 : i == 77'777 ? -40.0 : 100.0 + (i % 7) * 0.01;
    points.push_back({i * 0.5, y, i % 10 == 3 ? ui::PointKind::Unreadable : ui::PointKind::Normal});
  }
  const QList<QPointF> line = ui::qt::decimatedLine(points, 400);
  EXPECT_LE(line.size(), 4 * 400);
  EXPECT_TRUE(std::is_sorted(line.begin(), line.end(), [](QPointF a, QPointF b) { return a.x() < b.x(); }));
  EXPECT_EQ(line.front(), QPointF(0, 100));
  EXPECT_EQ(line.back(), QPointF(99'999 * 0.5, 100.0 + (99'999 % 7) * 0.01));
  EXPECT_TRUE(line.contains(QPointF(31'337 * 0.5, 500.0)));
  EXPECT_TRUE(line.contains(QPointF(77'777 * 0.5, -40.0)));
  // Unreadable points are marked apart, never on the line.
  EXPECT_FALSE(line.contains(QPointF(3 * 0.5, 100.0 + 3 * 0.01)));

  // Few points are drawn as they are.
  const std::vector<ui::ChartPoint> few(points.begin(), points.begin() + 50);
  EXPECT_EQ(ui::qt::decimatedLine(few, 400).size(), 45);
}

}  // namespace
