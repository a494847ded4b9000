#pragma once
// The window of one form: its controls on a canvas under the main menu. The
// window follows the form (caption, size, state, visibility: it shows at once
// when the form is visible, so a form that starts hidden clears visible
// first) and reports activation, showing, closing, resizing and keys to it.
// Destroy the window before the form.
#include <QMainWindow>
#include <memory>

#include "platform/EventLoop.h"
#include "ui/Form.h"

namespace ui::qt {

class ControlBinder;
class KeyRouter;
class MenuBinder;

class FormWindow : public QMainWindow {
  Q_OBJECT

 public:
  FormWindow(ui::Form& form, platform::EventLoop& loop, QWidget* parent = nullptr);
  ~FormWindow() override;

  ui::Form& form() { return form_; }
  // The widget of a control (nullptr for a kind this view does not show).
  QWidget* widgetFor(const ui::Control& control) const;
  QAction* actionFor(const ui::MenuItem& item) const;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void syncFromForm();
  void boundsFromWindow();

  ui::Form& form_;
  platform::EventLoop& loop_;
  std::unique_ptr<ControlBinder> controls_;
  MenuBinder* menu_ = nullptr;
  KeyRouter* keys_ = nullptr;
  ui::Bounds appliedBounds_;
  bool appliedVisible_ = false;
  bool followingWindow_ = false;
  bool shownOnce_ = false;
};

}  // namespace ui::qt
