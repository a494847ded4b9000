#include "ui/qt/WindowFront.h"

namespace ui::qt {

void bringToFront(QWidget& window) {
  if (window.isMinimized()) window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  if (!window.isVisible()) window.show();
  window.raise();
  window.activateWindow();
}

}  // namespace ui::qt
