#pragma once
// A combo box: a drop-down list of items, either a list only (the operator can
// pick listed items only) or with an edit box for free text.

#include <functional>
#include <string>
#include <vector>

#include "platform/AsciiText.h"
#include "ui/Control.h"

namespace ui {

enum class ComboStyle { DropDown, DropDownList };

class ComboBox : public Control {
 public:
  explicit ComboBox(std::string name, ComboStyle style = ComboStyle::DropDownList)
      : Control(std::move(name)), style_(style) {}

  ComboStyle style() const { return style_; }
  void setStyle(ComboStyle s) { set(style_, s); }

  const std::vector<std::string>& items() const { return items_; }
  // New items select none.
  void setItems(const std::vector<std::string>& items) {
    if (items == items_) return;
    items_ = items;
    itemIndex_ = -1;
    if (style_ == ComboStyle::DropDownList) editText_.clear();
    changed();
  }
  void clear() { setItems({}); }

  // -1 selects no item; an index outside the list selects none too.
  int itemIndex() const { return itemIndex_; }
  void setItemIndex(int i) {
    if (i < -1 || i >= static_cast<int>(items_.size())) i = -1;
    if (i == itemIndex_) return;
    itemIndex_ = i;
    if (i >= 0)
      editText_ = items_[static_cast<std::size_t>(i)];
    else if (style_ == ComboStyle::DropDownList)
      editText_.clear();
    changed();
  }

  // A list shows its selected item (empty text when none); an editable box
  // shows what was typed or picked.
  const std::string& text() const { return editText_; }
  // A list selects the item equal to the text, ignoring letter case, and
  // changes nothing when there is none; an editable box takes the text and
  // selects the item equal to it, if any.
  void setText(const std::string& t) {
    const int found = indexOf(t, style_ == ComboStyle::DropDownList);
    if (style_ == ComboStyle::DropDownList) {
      if (found >= 0) setItemIndex(found);
      return;
    }
    if (t == editText_ && found == itemIndex_) return;
    editText_ = t;
    itemIndex_ = found;
    changed();
  }

  // The item's index, or -1; ignoreCase compares ASCII letters in any case.
  int indexOf(const std::string& t, bool ignoreCase) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
      if (ignoreCase ? platform::equalIgnoringAsciiCase(items_[i], t) : items_[i] == t)
        return static_cast<int>(i);
    return -1;
  }

  // The operator picked an item.
  void select(int i) {
    setItemIndex(i);
    Change();
  }
  // The operator typed into an editable box.
  void type(const std::string& t) {
    setText(t);
    Change();
  }

  std::function<void()> onChange;

 protected:
  // The change notification of an operator's pick; a derived list may act
  // first and then call this.
  virtual void Change() {
    if (onChange) onChange();
  }

 private:
  ComboStyle style_;
  std::vector<std::string> items_;
  int itemIndex_ = -1;
  std::string editText_;
};

}  // namespace ui
