#include "ui/qt/FormDialog.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QTimer>

#include "ui/qt/ControlBinder.h"
#include "ui/qt/KeyRouter.h"
#include "ui/qt/QtText.h"

namespace ui::qt {

FormDialog::FormDialog(ui::Form& form, platform::EventLoop& loop, QWidget* parent)
    : QDialog(parent), form_(form), loop_(loop) {
  setObjectName(QString::fromStdString(form.name()));
  controls_ = std::make_unique<ControlBinder>(form, *this, loop);
  keys_ = new KeyRouter(form, *this, loop);
  syncFromForm();
  form_.setChangeListener([this] { syncFromForm(); });
}

FormDialog::~FormDialog() {
  form_.setChangeListener(nullptr);
  delete keys_;
  controls_.reset();
}

QWidget* FormDialog::widgetFor(const ui::Control& control) const {
  return controls_->widgetFor(&control);
}

void FormDialog::syncFromForm() {
  const QString title = toQt(form_.caption());
  if (windowTitle() != title) setWindowTitle(title);
  if (isEnabled() != form_.enabled()) setEnabled(form_.enabled());
  if (form_.width() > 0 && form_.height() > 0 && size() != QSize(form_.width(), form_.height()))
    resize(form_.width(), form_.height());
  // Closing waits until the handler that set the result has returned.
  if (running_ && form_.modalResult() != ui::ModalResult::None)
    QTimer::singleShot(0, this, [this] {
      if (form_.modalResult() != ui::ModalResult::None) finish();
    });
  update();
}

ui::ModalResult FormDialog::run() {
  form_.setModalResult(ui::ModalResult::None);
  finishing_ = false;
  loop_.dispatch([this] {
    if (form_.onShow) form_.onShow();
  });
  if (QWidget* w = form_.initialFocus() ? widgetFor(*form_.initialFocus()) : nullptr) w->setFocus();
  running_ = true;
  // A handler of onShow may already have decided.
  if (form_.modalResult() != ui::ModalResult::None) syncFromForm();
  exec();
  running_ = false;
  return form_.modalResult();
}

void FormDialog::finish() {
  if (finishing_) return;
  finishing_ = true;
  loop_.dispatch([this] {
    if (form_.onClose) form_.onClose();
  });
  done(QDialog::Accepted);
}

bool FormDialog::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    loop_.dispatch([this] {
      if (form_.onActivate) form_.onActivate();
    });
  }
  return QDialog::event(event);
}

void FormDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
  if (finishing_) return;
  if (form_.modalResult() == ui::ModalResult::None) {
    running_ = false;  // no deferred finish: this one is now
    form_.setModalResult(ui::ModalResult::Cancel);
    running_ = true;
  }
  finish();
}

void FormDialog::keyPressEvent(QKeyEvent* event) {
  // Escape closes a dialog only through a button the form gives it.
  if (event->key() == Qt::Key_Escape) {
    event->ignore();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace ui::qt
