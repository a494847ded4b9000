#pragma once
// The plot on Qt Charts: a line through the readable points, unstable points
// as orange rings, unreadable ones as red crosses. With more points than the
// plot has pixels across, each pixel column draws only its first, lowest,
// highest and last point, so a long series keeps its shape and the window
// stays responsive.
#include <QChartView>
#include <QList>
#include <QPointF>
#include <vector>

#include "ui/Chart.h"

class QLineSeries;
class QScatterSeries;
class QValueAxis;

namespace ui::qt {

class ChartView : public QChartView {
  Q_OBJECT

 public:
  ChartView(ui::Chart& chart, QWidget* parent = nullptr);

  // Redraws from the model (the binder calls it on every change).
  void sync();

  // Points of the line for a given width in pixels (public for the benchmark).
  static QList<QPointF> decimated(const std::vector<ui::ChartPoint>& points, int columns);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  ui::Chart& chart_;
  QLineSeries* line_;
  QScatterSeries* marked_;
  QScatterSeries* unreadable_;
  QValueAxis* xAxis_;
  QValueAxis* yAxis_;
};

}  // namespace ui::qt
