#pragma once
// A text pane's scroll bar, painted with plain fills. A pane that follows a
// stream repaints its scroll bar at every row, and the style's own painting
// of a tall scroll bar (gradients, lines) is split by the raster engine into
// strips handed to a thread pool: hundreds of wake-ups for each repaint. The
// parts stay where the style puts them, so clicks and drags hit what is shown.
// A change of the range or value repaints only where the slider was and is.
#include <QRect>
#include <QScrollBar>

namespace ui::qt {

class PaneScrollBar : public QScrollBar {
  Q_OBJECT

 public:
  explicit PaneScrollBar(Qt::Orientation orientation, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void sliderChange(SliderChange change) override;

 private:
  QRect sliderRect() const;
  bool active() const { return isEnabled() && maximum() > minimum(); }

  // The slider and the arrows' state as last asked to be shown.
  QRect shownSlider_;
  bool shownActive_ = false;
};

}  // namespace ui::qt
