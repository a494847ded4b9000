#pragma once
// The properties every control shares (font, colour, geometry, visibility,
// enabled) applied to its widget.
#include <QColor>
#include <QFont>

#include "ui/Control.h"

class QAbstractButton;
class QWidget;

namespace ui::qt {

// The model's font on this system: fonts of the original platform that are
// missing here fall back to the system's fixed or general font; a general
// font wider than the original is narrowed so that captions still fit.
QFont qtFont(const ui::Font& font);
QColor qtColor(ui::Rgb color);

// Applies font, colour, geometry, enabled and visible. An auto-sized label is
// at least as wide as its text, and as high as its text when no height is set.
void applyCommon(const ui::Control& control, QWidget& widget, bool autoSize = false);

// Narrows the font of a button or check box whose caption would be clipped in
// the width the model gives it (this system's fonts run wider than the
// original's).
void fitCaption(QAbstractButton& button);

}  // namespace ui::qt
