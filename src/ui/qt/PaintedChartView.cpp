// The readings plot painted directly, for a build without Qt Charts: axes
// with the model's round ticks and their captions, the thinned line (a lone
// reading as a dot), and the markers of unstable and unreadable points.
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "ui/qt/ChartPoints.h"
#include "ui/qt/ChartView.h"
#include "ui/qt/QtText.h"

namespace ui::qt {

ChartView::ChartView(ui::Chart& chart, QWidget* parent) : QWidget(parent), chart_(chart) {
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
}

void ChartView::sync() { update(); }

QStringList ChartView::tickLabels(Qt::Orientation axis) const {
  const ChartAxes axes = chartAxes(chart_.points());
  return qt::tickLabels(axis == Qt::Horizontal ? axes.x : axes.y, chart_.decimalSeparator());
}

void ChartView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  update();
}

void ChartView::paintEvent(QPaintEvent*) {
  const std::vector<ui::ChartPoint>& points = chart_.points();
  const ChartAxes axes = chartAxes(points);
  const std::vector<double>& xTicks = axes.x.values;
  const std::vector<double>& yTicks = axes.y.values;
  const QStringList xLabels = qt::tickLabels(axes.x, chart_.decimalSeparator());
  const QStringList yLabels = qt::tickLabels(axes.y, chart_.decimalSeparator());
  struct {
    double lowX, highX, lowY, highY;
  } const r{axes.x.low, axes.x.high, axes.y.low, axes.y.high};

  QPainter p(this);
  const QFontMetrics metrics = p.fontMetrics();
  const int line = metrics.height();
  int labelWidth = 0;
  for (const QString& label : yLabels) labelWidth = std::max(labelWidth, metrics.horizontalAdvance(label));
  const QRect plot = rect().adjusted(line + labelWidth + 12, line, -line * 2, -(line * 2 + 10));
  if (plot.width() < 10 || plot.height() < 10) return;

  auto toScreen = [&](double x, double y) {
    return QPointF(plot.left() + (x - r.lowX) / (r.highX - r.lowX) * plot.width(),
                   plot.bottom() - (y - r.lowY) / (r.highY - r.lowY) * plot.height());
  };

  // Grid, ticks and their numbers.
  p.setPen(QColor(225, 225, 225));
  for (double t : xTicks) p.drawLine(toScreen(t, r.lowY), toScreen(t, r.highY));
  for (double t : yTicks) p.drawLine(toScreen(r.lowX, t), toScreen(r.highX, t));
  p.setPen(palette().color(QPalette::WindowText));
  p.drawRect(plot);
  for (std::size_t i = 0; i < xTicks.size(); ++i) {
    const QPointF at = toScreen(xTicks[i], r.lowY);
    p.drawText(QRectF(at.x() - 50, plot.bottom() + 4, 100, line), Qt::AlignHCenter | Qt::AlignTop,
               xLabels[static_cast<qsizetype>(i)]);
  }
  for (std::size_t i = 0; i < yTicks.size(); ++i) {
    const QPointF at = toScreen(r.lowX, yTicks[i]);
    p.drawText(QRectF(plot.left() - labelWidth - 6, at.y() - line / 2.0, labelWidth, line),
               Qt::AlignRight | Qt::AlignVCenter, yLabels[static_cast<qsizetype>(i)]);
  }
  // Axis captions: below the plot, and up its left side.
  p.drawText(QRect(plot.left(), plot.bottom() + line + 6, plot.width(), line), Qt::AlignCenter,
             toQt(chart_.xCaption()));
  p.save();
  p.translate(2, plot.center().y());
  p.rotate(-90);
  p.drawText(QRect(-plot.height() / 2, 0, plot.height(), line), Qt::AlignCenter, toQt(chart_.yCaption()));
  p.restore();

  p.setClipRect(plot.adjusted(-5, -5, 5, 5));
  const QList<QPointF> linePoints = decimatedLine(points, std::max(plot.width(), 100));
  QPainterPath path;
  for (qsizetype i = 0; i < linePoints.size(); ++i) {
    const QPointF at = toScreen(linePoints[i].x(), linePoints[i].y());
    if (i == 0)
      path.moveTo(at);
    else
      path.lineTo(at);
  }
  p.setPen(QPen(QColor(32, 159, 223), 2));
  p.drawPath(path);
  // A line through one point draws nothing: a lone reading is a dot.
  if (linePoints.size() == 1) {
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setBrush(QColor(32, 159, 223));
    p.drawEllipse(toScreen(linePoints[0].x(), linePoints[0].y()), 3.5, 3.5);
    p.setBrush(Qt::NoBrush);
    p.setRenderHint(QPainter::Antialiasing, false);
  }

  const auto limit = static_cast<std::size_t>(std::max(plot.width(), 100));
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setPen(QPen(QColor(255, 140, 0), 2));
  p.setBrush(Qt::NoBrush);
  for (const QPointF& m : pointsOfKind(points, ui::PointKind::Marked, limit))
    p.drawEllipse(toScreen(m.x(), m.y()), 4, 4);
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::red);
  for (const QPointF& m : pointsOfKind(points, ui::PointKind::Unreadable, limit)) {
    const QPointF at = toScreen(m.x(), m.y());
    p.drawRect(QRectF(at.x() - 3.5, at.y() - 3.5, 7, 7));
  }
}

}  // namespace ui::qt
