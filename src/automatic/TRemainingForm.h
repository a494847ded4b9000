#pragma once
// The notification window of the automatic measurement: one green label,
// shown (not modal) by a "beep" order and closed only by the operator.
// Created hidden at start-up after the orders editor.
#include <functional>

#include "automatic/EditorHost.h"
#include "ui/Control.h"
#include "ui/Form.h"

namespace automatic {

class TRemainingForm : public ui::Form {
 public:
  // Wires itself to the main window, which shows it; the main window must
  // outlive it.
  explicit TRemainingForm(EditorHost& host);
  ~TRemainingForm() override;

  bool showing() const { return visible(); }
  // Shows the window when it is not showing and brings the application to
  // the front; a window already up is left as it is.
  void ShowNotification();

  ui::Label Label1{"Label1"};

  // Brings the application's windows to the front; set by the program
  // around the window (nothing without a screen).
  std::function<void()> BringToFront;

 private:
  EditorHost& host_;
};

}  // namespace automatic
