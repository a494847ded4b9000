#include "ui/qt/PaneScrollBar.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>

namespace ui::qt {

namespace {

// A frame and a face, as solid opaque fills only.
void fillFramed(QPainter& painter, const QRect& rect, const QColor& frame, const QColor& face) {
  painter.fillRect(rect, frame);
  painter.fillRect(rect.adjusted(1, 1, -1, -1), face);
}

// A small triangle pointing up or left (towards the start) or down or right,
// drawn as rows of solid fills.
void drawArrow(QPainter& painter, const QRect& button, Qt::Orientation orientation, bool towardsEnd,
               const QColor& color) {
  const int half = std::max(2, std::min(button.width(), button.height()) / 4);
  const QPoint c = button.center();
  for (int i = 0; i < half; ++i) {
    // Row i from the tip is 2 i + 1 pixels across.
    const int offset = (towardsEnd ? 1 : -1) * (half / 2 - i);
    if (orientation == Qt::Vertical)
      painter.fillRect(c.x() - i, c.y() + offset, 2 * i + 1, 1, color);
    else
      painter.fillRect(c.x() + offset, c.y() - i, 1, 2 * i + 1, color);
  }
}

}  // namespace

PaneScrollBar::PaneScrollBar(Qt::Orientation orientation, QWidget* parent) : QScrollBar(orientation, parent) {
  // Every pixel is painted: what lies beneath is not painted first.
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QRect PaneScrollBar::sliderRect() const {
  QStyleOptionSlider option;
  initStyleOption(&option);
  return style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this);
}

void PaneScrollBar::sliderChange(SliderChange change) {
  if (change == SliderOrientationChange) {
    QScrollBar::sliderChange(change);
    return;
  }
  // A pane that follows a stream changes the range at every row: the slider
  // moves a little, the rest of the bar stays as it is.
  const QRect slider = sliderRect();
  if (active() != shownActive_)
    update();
  else if (slider != shownSlider_)
    update(shownSlider_.united(slider));
  shownSlider_ = slider;
  shownActive_ = active();
}

void PaneScrollBar::paintEvent(QPaintEvent*) {
  QStyleOptionSlider option;
  initStyleOption(&option);
  QPainter painter(this);
  const QPalette& pal = palette();
  const bool active = this->active();
  shownActive_ = active;
  painter.fillRect(rect(), pal.color(QPalette::Window).darker(108));

  auto part = [&](QStyle::SubControl control) {
    return style()->subControlRect(QStyle::CC_ScrollBar, &option, control, this);
  };
  for (const QStyle::SubControl button : {QStyle::SC_ScrollBarSubLine, QStyle::SC_ScrollBarAddLine}) {
    const QRect r = part(button);
    if (r.isEmpty()) continue;
    const bool pressed = option.activeSubControls & button && option.state & QStyle::State_Sunken;
    fillFramed(painter, r, pal.color(QPalette::Mid),
               pal.color(pressed ? QPalette::Midlight : QPalette::Button));
    drawArrow(painter, r, orientation(), button == QStyle::SC_ScrollBarAddLine,
              pal.color(active ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
  }

  const QRect slider = part(QStyle::SC_ScrollBarSlider);
  shownSlider_ = slider;
  if (active && !slider.isEmpty())
    fillFramed(painter, slider, pal.color(QPalette::Dark),
               pal.color(isSliderDown() ? QPalette::Midlight : QPalette::Button));
}

}  // namespace ui::qt
