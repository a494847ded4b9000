#include "ui/qt/ChartView.h"

#include <QChart>
#include <QLineSeries>
#include <QPainter>
#include <QScatterSeries>
#include <QValueAxis>
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
      xAxis_(new QValueAxis),
      yAxis_(new QValueAxis) {
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

void ChartView::sync() {
  const std::vector<ui::ChartPoint>& points = chart_.points();
  const int columns = std::max(width(), 100);
  line_->replace(decimatedLine(points, columns));
  marked_->replace(pointsOfKind(points, ui::PointKind::Marked, static_cast<std::size_t>(columns)));
  unreadable_->replace(pointsOfKind(points, ui::PointKind::Unreadable, static_cast<std::size_t>(columns)));
  xAxis_->setTitleText(toQt(chart_.xCaption()));
  yAxis_->setTitleText(toQt(chart_.yCaption()));
  const ChartRanges ranges = chartRanges(points);
  xAxis_->setRange(ranges.lowX, ranges.highX);
  yAxis_->setRange(ranges.lowY, ranges.highY);
  if (!points.empty()) yAxis_->applyNiceNumbers();
}

void ChartView::resizeEvent(QResizeEvent* event) {
  QChartView::resizeEvent(event);
  sync();
}

}  // namespace ui::qt
