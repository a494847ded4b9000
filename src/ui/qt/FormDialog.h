#pragma once
// A form shown as a modal dialog, with the same control binding as a window.
// The form closes it by setting its modal result; the close box gives Cancel.
// Either way the form's onClose runs before the dialog goes.
#include <QDialog>
#include <memory>

#include "platform/EventLoop.h"
#include "ui/Dialogs.h"
#include "ui/Form.h"

namespace ui::qt {

class ControlBinder;
class KeyRouter;

class FormDialog : public QDialog {
  Q_OBJECT

 public:
  FormDialog(ui::Form& form, platform::EventLoop& loop, QWidget* parent = nullptr);
  ~FormDialog() override;

  // Starts with no result, runs onShow, shows the dialog and returns the
  // form's result once it has closed.
  ui::ModalResult run();
  QWidget* widgetFor(const ui::Control& control) const;

 protected:
  bool event(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void syncFromForm();
  void finish();

  ui::Form& form_;
  platform::EventLoop& loop_;
  std::unique_ptr<ControlBinder> controls_;
  KeyRouter* keys_ = nullptr;
  bool running_ = false;
  bool finishing_ = false;
};

}  // namespace ui::qt
