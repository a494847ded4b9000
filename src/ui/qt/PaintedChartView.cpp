// The readings plot painted directly, for a build without Qt Charts: axes
// with a handful of round-numbered ticks and their captions, the thinned line,
// and the markers of unstable and unreadable points.
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "ui/qt/ChartPoints.h"
#include "ui/qt/ChartView.h"
#include "ui/qt/QtText.h"

namespace ui::qt {

namespace {

// Round tick positions covering [low, high]: steps of 1, 2 or 5 times a
// power of ten, about five of them.
std::vector<double> ticks(double low, double high) {
  const double span = high - low;
  if (!(span > 0) || !std::isfinite(span)) return {low};
  const double rough = span / 5;
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  double step = power;
  for (double f : {2.0, 5.0, 10.0})
    if (rough > step) step = power * f;
  std::vector<double> out;
  for (double t = std::ceil(low / step) * step; t <= high + step * 1e-9; t += step)
    out.push_back(std::abs(t) < step * 1e-9 ? 0.0 : t);
  return out;
}

}  // namespace

ChartView::ChartView(ui::Chart& chart, QWidget* parent) : QWidget(parent), chart_(chart) {
  setAutoFillBackground(true);
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  setPalette(white);
}

void ChartView::sync() { update(); }

void ChartView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  update();
}

void ChartView::paintEvent(QPaintEvent*) {
  const std::vector<ui::ChartPoint>& points = chart_.points();
  const ChartRanges r = chartRanges(points);
  const std::vector<double> xTicks = ticks(r.lowX, r.highX);
  const std::vector<double> yTicks = ticks(r.lowY, r.highY);

  QPainter p(this);
  const QFontMetrics metrics = p.fontMetrics();
  const int line = metrics.height();
  int labelWidth = 0;
  for (double t : yTicks) labelWidth = std::max(labelWidth, metrics.horizontalAdvance(QString::number(t)));
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
  for (double t : xTicks) {
    const QPointF at = toScreen(t, r.lowY);
    p.drawText(QRectF(at.x() - 50, plot.bottom() + 4, 100, line), Qt::AlignHCenter | Qt::AlignTop,
               QString::number(t));
  }
  for (double t : yTicks) {
    const QPointF at = toScreen(r.lowX, t);
    p.drawText(QRectF(plot.left() - labelWidth - 6, at.y() - line / 2.0, labelWidth, line),
               Qt::AlignRight | Qt::AlignVCenter, QString::number(t));
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
