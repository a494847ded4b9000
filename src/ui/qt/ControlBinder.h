#pragma once
// Builds one widget per control of a form, in creation order and under its
// parent, and keeps both in step: a model change updates its widget, an
// operator's action updates the model and runs the handler through the event
// loop's dispatch (an error in the handler reaches the general error report).
// The binder stops listening to the models when destroyed; the form must
// outlive it.
#include <QObject>
#include <functional>
#include <map>
#include <vector>

#include "platform/EventLoop.h"
#include "ui/ComboBox.h"
#include "ui/Form.h"
#include "ui/Memo.h"
#include "ui/UpDown.h"

class QWidget;

namespace ui::qt {

class ControlBinder : public QObject {
 public:
  ControlBinder(ui::Form& form, QWidget& canvas, platform::EventLoop& loop);
  ~ControlBinder() override;

  // The widget built for a control, or nullptr (a control of a kind this
  // view does not show).
  QWidget* widgetFor(const ui::Control* control) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget* build(ui::Control& control, QWidget& parent);
  QWidget* buildLabel(ui::Label& label, QWidget& parent);
  QWidget* buildButton(ui::Button& button, QWidget& parent);
  QWidget* buildCheckBox(ui::CheckBox& box, QWidget& parent);
  QWidget* buildEdit(ui::Edit& edit, QWidget& parent);
  QWidget* buildMemo(ui::Memo& memo, QWidget& parent);
  QWidget* buildRadioGroup(ui::RadioGroup& group, QWidget& parent);
  QWidget* buildGroupBox(ui::GroupBox& box, QWidget& parent);
  QWidget* buildBevel(ui::Bevel& bevel, QWidget& parent);
  QWidget* buildComboBox(ui::ComboBox& combo, QWidget& parent);
  QWidget* buildUpDown(ui::UpDown& upDown, QWidget& parent);
  // Syncs the widget now and whenever the model changes.
  void listen(ui::Control& control, std::function<void()> sync);

  ui::Form& form_;
  platform::EventLoop& loop_;
  std::map<const ui::Control*, QWidget*> widgets_;
  std::vector<ui::Control*> bound_;
  // Line edits and their models, for the key handler.
  std::map<QObject*, ui::Edit*> edits_;
};

}  // namespace ui::qt
