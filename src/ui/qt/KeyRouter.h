#pragma once
// Keys of one window before its controls see them: with key preview on, the
// form's key handler runs first and the key then goes on to the focused
// control; the menu's shortcuts win over a control's own use of the same keys
// (a line edit's select-all on Ctrl+A); a letter with Alt held that nothing
// took types nothing.
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>

#include "platform/EventLoop.h"
#include "ui/Form.h"

class QWidget;

namespace ui::qt {

class KeyRouter : public QObject {
 public:
  // Watches the application's events for window.
  KeyRouter(ui::Form& form, QWidget& window, platform::EventLoop& loop);
  ~KeyRouter() override;

  void setMenuShortcuts(QList<QKeySequence> shortcuts) { shortcuts_ = std::move(shortcuts); }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  bool inWindow(QObject* object) const;

  ui::Form& form_;
  QWidget& window_;
  platform::EventLoop& loop_;
  QList<QKeySequence> shortcuts_;
  // A key press travels from the focused widget up to its parents as one
  // event; the form sees it once.
  const QEvent* lastEvent_ = nullptr;
  QPointer<QObject> lastReceiver_;
};

}  // namespace ui::qt
