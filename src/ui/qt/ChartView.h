#pragma once
// The readings plot: a line through the readable points (a lone one drawn as
// a dot), unstable points as orange rings, unreadable ones as red squares; long series are thinned to
// the plot's width (ChartPoints.h). Drawn with Qt Charts where the build has
// it (TERSO_QT_CHARTS), else painted here (PaintedChartView.cpp).
#include "ui/Chart.h"

#if TERSO_QT_CHARTS
#include <QChartView>
class QCategoryAxis;
class QLineSeries;
class QScatterSeries;
#else
#include <QWidget>
#endif

namespace ui::qt {

#if TERSO_QT_CHARTS
using ChartViewBase = QChartView;
#else
using ChartViewBase = QWidget;
#endif

class ChartView : public ChartViewBase {
  Q_OBJECT

 public:
  ChartView(ui::Chart& chart, QWidget* parent = nullptr);

  // Redraws from the model (the binder calls it on every change).
  void sync();
  // The numbers along an axis, as drawn.
  QStringList tickLabels(Qt::Orientation axis) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;
#if !TERSO_QT_CHARTS
  void paintEvent(QPaintEvent* event) override;
#endif

 private:
  ui::Chart& chart_;
#if TERSO_QT_CHARTS
  QLineSeries* line_;
  QScatterSeries* marked_;
  QScatterSeries* unreadable_;
  // Category axes, labelled at their boundaries: the numbers are the
  // model's, written with its decimal separator.
  QCategoryAxis* xAxis_;
  QCategoryAxis* yAxis_;
#endif
};

}  // namespace ui::qt
