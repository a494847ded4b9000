#pragma once
// Bringing a window to the operator: shown, restored when minimised (raising
// a minimised window leaves it on the task bar), raised and activated.
#include <QWidget>

namespace ui::qt {

void bringToFront(QWidget& window);

}  // namespace ui::qt
