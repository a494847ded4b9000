// The plot's decimated line: bounded by the plot's width, in time order, and
// still showing every peak, the first and the last reading; and the plot as
// the build draws it (Qt Charts or painted) showing both kinds of marker, a
// lone reading and round ticks.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <vector>

#include "ui/qt/ChartPoints.h"
#include "ui/qt/ChartView.h"

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

// Pixels of a colour close to wanted.
int pixelsNear(const QImage& image, QColor wanted) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      count += std::abs(c.red() - wanted.red()) + std::abs(c.green() - wanted.green()) +
                   std::abs(c.blue() - wanted.blue()) < 60;
    }
  return count;
}

TEST(ChartView, DrawsTheMarkersOfUnstableAndUnreadableReadings) {
  ui::Chart chart("Chart1");
  ui::qt::ChartView view(chart);
  view.resize(400, 300);
  const QImage empty = view.grab().toImage();
  EXPECT_EQ(pixelsNear(empty, Qt::red), 0);

  chart.append({{0, 10}, {1, 12}, {2, 11, ui::PointKind::Marked}, {3, 0, ui::PointKind::Unreadable}, {4, 13}});
  view.sync();
  const QImage drawn = view.grab().toImage();
  EXPECT_GT(pixelsNear(drawn, Qt::red), 10);
  EXPECT_GT(pixelsNear(drawn, QColor(255, 140, 0)), 10);
  // Round ticks; the value axis reaches out to whole steps.
  EXPECT_EQ(view.tickLabels(Qt::Horizontal), QStringList({"0", "1", "2", "3", "4"}));
  EXPECT_EQ(view.tickLabels(Qt::Vertical), QStringList({"-5", "0", "5", "10", "15"}));
}

TEST(ChartView, ALoneReadingIsDrawnOnRoundTicksWithTheChartsSeparator) {
  ui::Chart chart("Chart1");
  chart.setDecimalSeparator(',');
  ui::qt::ChartView view(chart);
  view.resize(400, 300);
  const QColor line(32, 159, 223);
  EXPECT_EQ(pixelsNear(view.grab().toImage(), line), 0);

  chart.append({{0, 12.5}});
  view.sync();
  EXPECT_GT(pixelsNear(view.grab().toImage(), line), 5);
  EXPECT_EQ(view.tickLabels(Qt::Horizontal), QStringList({"0,0", "0,2", "0,4", "0,6", "0,8", "1,0"}));
  EXPECT_EQ(view.tickLabels(Qt::Vertical),
            QStringList({"12,35", "12,40", "12,45", "12,50", "12,55", "12,60", "12,65"}));
}

}  // namespace
