#pragma once
#include <functional>
#include <string>
#include <vector>

#include "ui/Control.h"

namespace ui {

// A menu item; an item with children is a submenu. Shortcuts are written as
// "Ctrl+X" and act whichever control has the focus.
class MenuItem : public Control {
 public:
  MenuItem(std::string name, std::string caption, std::string shortcut = {})
      : Control(std::move(name)), caption_(std::move(caption)), shortcut_(std::move(shortcut)) {}

  const std::string& caption() const { return caption_; }
  void setCaption(const std::string& c) { set(caption_, c); }
  bool checked() const { return checked_; }
  void setChecked(bool c) { set(checked_, c); }
  const std::string& shortcut() const { return shortcut_; }
  bool hasImage() const { return hasImage_; }
  void setHasImage(bool h) { set(hasImage_, h); }

  const std::vector<MenuItem*>& items() const { return items_; }
  MenuItem& add(MenuItem& child) {
    items_.push_back(&child);
    return *this;
  }

  std::function<void()> onClick;
  void click() {
    if (onClick) onClick();
  }

 private:
  std::string caption_;
  std::string shortcut_;
  bool checked_ = false;
  bool hasImage_ = false;
  std::vector<MenuItem*> items_;
};

}  // namespace ui
