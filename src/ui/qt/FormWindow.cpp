#include "ui/qt/FormWindow.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QShowEvent>

#include "ui/qt/ControlBinder.h"
#include "ui/qt/KeyRouter.h"
#include "ui/qt/MenuBinder.h"
#include "ui/qt/QtText.h"

namespace ui::qt {

namespace {

// The Alt keys that the form's buttons and check boxes claim with their
// captions as the window is built.
QList<QKeySequence> claimedAltKeys(const ui::Form& form) {
  QList<QKeySequence> keys;
  for (const auto& child : form.controls()) {
    const auto* button = dynamic_cast<const ui::Button*>(child.control);
    const auto* box = dynamic_cast<const ui::CheckBox*>(child.control);
    const std::string* caption = button ? &button->caption() : box ? &box->caption() : nullptr;
    if (!caption) continue;
    const QKeySequence key = QKeySequence::mnemonic(toQt(*caption));
    if (!key.isEmpty()) keys.append(key);
  }
  return keys;
}

}  // namespace

FormWindow::FormWindow(ui::Form& form, platform::EventLoop& loop, QWidget* parent)
    : QMainWindow(parent), form_(form), loop_(loop) {
  setObjectName(QString::fromStdString(form.name()));
  auto* canvas = new QWidget(this);
  setCentralWidget(canvas);
  controls_ = std::make_unique<ControlBinder>(form, *canvas, loop);
  keys_ = new KeyRouter(form, *this, loop);
  if (!form.menu().empty()) {
    menu_ = new MenuBinder(form.menu(), *menuBar(), *this, loop, claimedAltKeys(form));
    keys_->setMenuShortcuts(menu_->shortcuts());
  }
  // The form says whether the window shows, from the start.
  appliedVisible_ = false;
  syncFromForm();
  form_.setChangeListener([this] { syncFromForm(); });
}

FormWindow::~FormWindow() {
  form_.setChangeListener(nullptr);
  delete keys_;
  delete menu_;
  controls_.reset();
}

QWidget* FormWindow::widgetFor(const ui::Control& control) const {
  return controls_->widgetFor(&control);
}

QAction* FormWindow::actionFor(const ui::MenuItem& item) const {
  return menu_ ? menu_->actionFor(&item) : nullptr;
}

void FormWindow::syncFromForm() {
  const QString title = toQt(form_.caption());
  if (windowTitle() != title) setWindowTitle(title);
  if (isEnabled() != form_.enabled()) setEnabled(form_.enabled());
  if (followingWindow_) return;

  const ui::Bounds& b = form_.bounds();
  if (b != appliedBounds_) {
    appliedBounds_ = b;
    if (b.width > 0 && b.height > 0 && !isMaximized()) resize(b.width, b.height);
  }
  // Applied at every change: the system maximises the window at each
  // activation even when the operator has restored it meanwhile.
  const bool maximize = form_.windowState() == ui::WindowState::Maximized;
  if (maximize != isMaximized()) {
    if (!isVisible())
      setWindowState(maximize ? (windowState() | Qt::WindowMaximized)
                              : (windowState() & ~Qt::WindowMaximized));
    else if (maximize)
      showMaximized();
    else
      showNormal();
  }
  if (form_.visible() != appliedVisible_) {
    appliedVisible_ = form_.visible();
    setVisible(appliedVisible_);
  }
  update();
}

void FormWindow::boundsFromWindow() {
  const ui::Bounds now{form_.left(), form_.top(), width(), height()};
  if (now == form_.bounds()) return;
  appliedBounds_ = now;
  followingWindow_ = true;
  form_.setBounds(now);
  followingWindow_ = false;
  loop_.dispatch([this] {
    if (form_.onResize) form_.onResize();
  });
}

bool FormWindow::event(QEvent* event) {
  if (event->type() == QEvent::WindowActivate) {
    loop_.dispatch([this] {
      if (form_.onActivate) form_.onActivate();
    });
  }
  return QMainWindow::event(event);
}

void FormWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  if (event->spontaneous()) return;
  appliedVisible_ = true;
  followingWindow_ = true;
  form_.setVisible(true);
  followingWindow_ = false;
  if (!shownOnce_) {
    shownOnce_ = true;
    if (QWidget* w = form_.initialFocus() ? widgetFor(*form_.initialFocus()) : nullptr) w->setFocus();
  }
  loop_.dispatch([this] {
    if (form_.onShow) form_.onShow();
  });
}

void FormWindow::closeEvent(QCloseEvent* event) {
  loop_.dispatch([this] {
    if (form_.onClose) form_.onClose();
  });
  event->accept();
  appliedVisible_ = false;
  followingWindow_ = true;
  form_.setVisible(false);
  followingWindow_ = false;
}

void FormWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  boundsFromWindow();
}

void FormWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  followingWindow_ = true;
  form_.setWindowState(isMaximized() ? ui::WindowState::Maximized : ui::WindowState::Normal);
  followingWindow_ = false;
}

}  // namespace ui::qt
