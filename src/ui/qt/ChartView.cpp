#include "ui/qt/ChartView.h"

#include <QCategoryAxis>
#include <QChart>
#include <QLineSeries>
#include <QPainter>
#include <QScatterSeries>
#include <algorithm>

#include "ui/qt/ChartPoints.h"
#include "ui/qt/QtText.h"

namespace ui::qt {

ChartView::ChartView(ui::Chart& chart, QWidget* parent)
    : QChartView(parent),
      chart_(chart),
      line_(new QLineSeries),
      marked_(new QScatterSeries),
      unreadable_(new QScatterSeries),
      xAxis_(new QCategoryAxis),
      yAxis_(new QCategoryAxis) {
  auto* c = new QChart;
  c->legend()->hide();
  c->addSeries(line_);
  marked_->setMarkerShape(QScatterSeries::MarkerShapeCircle);
  marked_->setMarkerSize(8);
  marked_->setColor(QColor(255, 140, 0));
  unreadable_->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
  unreadable_->setMarkerSize(7);
  unreadable_->setColor(Qt::red);
  c->addSeries(marked_);
  c->addSeries(unreadable_);
  for (QCategoryAxis* axis : {xAxis_, yAxis_})
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
  c->addAxis(xAxis_, Qt::AlignBottom);
  c->addAxis(yAxis_, Qt::AlignLeft);
  for (QAbstractSeries* s : {static_cast<QAbstractSeries*>(line_), static_cast<QAbstractSeries*>(marked_),
                             static_cast<QAbstractSeries*>(unreadable_)}) {
    s->attachAxis(xAxis_);
    s->attachAxis(yAxis_);
  }
  setChart(c);
  setRenderHint(QPainter::Antialiasing, false);
}

namespace {

void setTicks(QCategoryAxis& axis, const ui::AxisTicks& ticks, char decimalSeparator) {
  for (const QString& label : axis.categoriesLabels()) axis.remove(label);
  axis.setStartValue(ticks.low);
  const QStringList labels = tickLabels(ticks, decimalSeparator);
  for (qsizetype i = 0; i < labels.size(); ++i)
    axis.append(labels[i], ticks.values[static_cast<std::size_t>(i)]);
  axis.setRange(ticks.low, ticks.high);
}

}  // namespace

void ChartView::sync() {
  const std::vector<ui::ChartPoint>& points = chart_.points();
  const int columns = std::max(width(), 100);
  const QList<QPointF> line = decimatedLine(points, columns);
  line_->replace(line);
  // A line through one point draws nothing.
  line_->setPointsVisible(line.size() == 1);
  marked_->replace(pointsOfKind(points, ui::PointKind::Marked, static_cast<std::size_t>(columns)));
  unreadable_->replace(pointsOfKind(points, ui::PointKind::Unreadable, static_cast<std::size_t>(columns)));
  xAxis_->setTitleText(toQt(chart_.xCaption()));
  yAxis_->setTitleText(toQt(chart_.yCaption()));
  const ChartAxes axes = chartAxes(points);
  setTicks(*xAxis_, axes.x, chart_.decimalSeparator());
  setTicks(*yAxis_, axes.y, chart_.decimalSeparator());
}

QStringList ChartView::tickLabels(Qt::Orientation axis) const {
  return (axis == Qt::Horizontal ? xAxis_ : yAxis_)->categoriesLabels();
}

void ChartView::resizeEvent(QResizeEvent* event) {
  QChartView::resizeEvent(event);
  sync();
}

}  // namespace ui::qt
