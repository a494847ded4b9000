#pragma once
// A window: caption, design size, state, its controls in creation order and
// its main menu. The form that derives from it owns the controls as members
// and registers each one, so a view can build a widget for every control.
#include <functional>
#include <string>
#include <vector>

#include "ui/Control.h"
#include "ui/Dialogs.h"
#include "ui/Menu.h"

namespace ui {

enum class WindowState { Normal, Maximized };

class Form : public CaptionControl {
 public:
  using CaptionControl::CaptionControl;

  WindowState windowState() const { return windowState_; }
  void setWindowState(WindowState s) { set(windowState_, s); }
  // The window sees every key before the focused control.
  bool keyPreview() const { return keyPreview_; }
  void setKeyPreview(bool k) { keyPreview_ = k; }

  // Controls in creation order; a control's parent is the form unless it was
  // registered with a group box as parent.
  struct Child {
    Control* control;
    Control* parent;
  };
  const std::vector<Child>& controls() const { return controls_; }
  const std::vector<MenuItem*>& menu() const { return menu_; }
  // The control that has the focus when the window is first shown.
  Control* initialFocus() const { return initialFocus_; }

  // A key seen first by the window (keyPreview); Key is a virtual-key code.
  std::function<void(Key)> onKeyDown;
  std::function<void()> onActivate;
  std::function<void()> onClose;
  // Each time the window is shown (a modal form: each time it is opened).
  std::function<void()> onShow;
  // The window's size changed (the operator or the window manager resized or
  // maximised it); bounds() already hold the new size.
  std::function<void()> onResize;

  // A form shown modally closes itself by setting a result other than None;
  // showing it modally starts with None, the window's close box gives Cancel.
  ModalResult modalResult() const { return modalResult_; }
  void setModalResult(ModalResult r) { set(modalResult_, r); }

 protected:
  void addControl(Control& c, Control* parent = nullptr) { controls_.push_back({&c, parent}); }
  void addMenu(MenuItem& top) { menu_.push_back(&top); }
  void setInitialFocus(Control& c) { initialFocus_ = &c; }

 private:
  WindowState windowState_ = WindowState::Normal;
  bool keyPreview_ = false;
  ModalResult modalResult_ = ModalResult::None;
  std::vector<Child> controls_;
  std::vector<MenuItem*> menu_;
  Control* initialFocus_ = nullptr;
};

}  // namespace ui
