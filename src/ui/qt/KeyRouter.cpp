#include "ui/qt/KeyRouter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

#include "ui/qt/VirtualKeys.h"

namespace ui::qt {

KeyRouter::KeyRouter(ui::Form& form, QWidget& window, platform::EventLoop& loop)
    : QObject(&window), form_(form), window_(window), loop_(loop) {
  qApp->installEventFilter(this);
}

KeyRouter::~KeyRouter() {
  qApp->removeEventFilter(this);
}

bool KeyRouter::inWindow(QObject* object) const {
  if (!object->isWidgetType()) return false;
  return static_cast<QWidget*>(object)->window() == &window_;
}

bool KeyRouter::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::ShortcutOverride) return false;
  if (!inWindow(watched)) return false;
  auto* key = static_cast<QKeyEvent*>(event);

  if (type == QEvent::ShortcutOverride) {
    const QKeySequence pressed(key->keyCombination());
    for (const QKeySequence& shortcut : shortcuts_) {
      if (shortcut == pressed) {
        // Not overridden: the shortcut map runs the menu item.
        event->ignore();
        return true;
      }
    }
    return false;
  }

  // A letter with Alt held that no button or menu took as its Alt key types
  // nothing: "z" from a mistyped Alt+Z would reach the scale with the next
  // send. AltGr comes as Ctrl+Alt on Windows and as a group switch on X11,
  // and keeps typing the Polish letters.
  const Qt::KeyboardModifiers mods = key->modifiers();
  const bool strayAlt = (mods & Qt::AltModifier) && !(mods & (Qt::ControlModifier | Qt::MetaModifier)) &&
                        !key->text().isEmpty() && key->text().at(0).isPrint();

  if (!form_.keyPreview() || !form_.onKeyDown) return strayAlt;
  if (event == lastEvent_ && lastReceiver_ && lastReceiver_ != watched &&
      static_cast<QWidget*>(watched)->isAncestorOf(static_cast<QWidget*>(lastReceiver_.data())))
    return strayAlt;
  lastEvent_ = event;
  lastReceiver_ = watched;
  const ui::Key vk = virtualKey(*key);
  if (vk != 0) {
    ui::Form& form = form_;
    loop_.dispatch([&form, vk] {
      if (form.onKeyDown) form.onKeyDown(vk);
    });
  }
  return strayAlt;
}

}  // namespace ui::qt
