#pragma once
// The form's main menu as a QMenuBar. A click runs the item's handler; the
// check mark shows the model's state only (the handler decides it).
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <vector>

#include "platform/EventLoop.h"
#include "ui/Menu.h"

class QAction;
class QMenu;
class QMenuBar;
class QWidget;

namespace ui::qt {

class MenuBinder : public QObject {
 public:
  // Fills menuBar from items; the actions also go to window so that their
  // shortcuts act whichever of its controls has the focus. A menu on the bar
  // whose Alt key a control of the window claims (claimedKeys) shows no key:
  // the control on screen takes it, and the menu stays reachable by mouse and
  // by Alt and the arrow keys.
  MenuBinder(const std::vector<ui::MenuItem*>& items, QMenuBar& menuBar, QWidget& window,
             platform::EventLoop& loop, QList<QKeySequence> claimedKeys = {});
  ~MenuBinder() override;

  // The menu's shortcuts, which take precedence over a control's own keys.
  const QList<QKeySequence>& shortcuts() const { return shortcuts_; }
  QAction* actionFor(const ui::MenuItem* item) const;

 private:
  QAction* addItem(ui::MenuItem& item, QWidget& container);

  platform::EventLoop& loop_;
  QWidget& window_;
  std::vector<std::pair<ui::MenuItem*, QAction*>> actions_;
  QList<QKeySequence> shortcuts_;
  QList<QKeySequence> claimedKeys_;
};

}  // namespace ui::qt
