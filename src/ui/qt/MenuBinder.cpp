#include "ui/qt/MenuBinder.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>

#include "ui/qt/QtText.h"

namespace ui::qt {

MenuBinder::MenuBinder(const std::vector<ui::MenuItem*>& items, QMenuBar& menuBar, QWidget& window,
                       platform::EventLoop& loop)
    : QObject(&menuBar), loop_(loop), window_(window) {
  for (ui::MenuItem* item : items) addItem(*item, menuBar);
}

MenuBinder::~MenuBinder() {
  for (auto& [item, action] : actions_) item->setChangeListener(nullptr);
}

QAction* MenuBinder::actionFor(const ui::MenuItem* item) const {
  for (const auto& [model, action] : actions_)
    if (model == item) return action;
  return nullptr;
}

QAction* MenuBinder::addItem(ui::MenuItem& item, QWidget& container) {
  QAction* action = nullptr;
  if (item.caption() == "-") {
    action = new QAction(&container);
    action->setSeparator(true);
    container.addAction(action);
  } else if (!item.items().empty()) {
    auto* menu = new QMenu(&container);
    for (ui::MenuItem* child : item.items()) addItem(*child, *menu);
    action = menu->menuAction();
    container.addAction(action);
  } else {
    action = new QAction(&container);
    container.addAction(action);
    window_.addAction(action);
    if (!item.shortcut().empty()) {
      const QKeySequence sequence(QString::fromStdString(item.shortcut()), QKeySequence::PortableText);
      action->setShortcut(sequence);
      shortcuts_.append(sequence);
    }
    connect(action, &QAction::triggered, this, [this, &item, action] {
      loop_.dispatch([&item] { item.click(); });
      // Qt toggled the mark on its own; the model says what it is.
      action->setChecked(item.checked());
    });
  }
  action->setObjectName(QString::fromStdString(item.name()));
  auto sync = [&item, action] {
    if (!action->isSeparator()) {
      const QString text = toQt(item.caption());
      if (action->text() != text) action->setText(text);
      // An unchecked item shows no mark at all, as the system's menus do.
      if (action->isCheckable() != item.checked()) action->setCheckable(item.checked());
      if (action->isChecked() != item.checked()) action->setChecked(item.checked());
    }
    if (item.hasImage() && action->icon().isNull())
      action->setIcon(QApplication::style()->standardIcon(QStyle::SP_FileIcon));
    else if (!item.hasImage() && !action->icon().isNull())
      action->setIcon({});
    if (action->isEnabled() != item.enabled()) action->setEnabled(item.enabled());
    if (action->isVisible() != item.visible()) action->setVisible(item.visible());
  };
  sync();
  item.setChangeListener(sync);
  actions_.emplace_back(&item, action);
  return action;
}

}  // namespace ui::qt
