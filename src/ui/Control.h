#pragma once
// Toolkit-neutral control models. A control holds exactly the state the
// system's handlers read and write; texts are Windows-1250 byte strings. A
// view (the Qt one, or none in tests) listens for changes and keeps a widget
// in sync.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ui {

// A colour as 0xRRGGBB.
using Rgb = std::uint32_t;

namespace Color {
inline constexpr Rgb Black = 0x000000;
inline constexpr Rgb Red = 0xFF0000;
inline constexpr Rgb Green = 0x008000;
inline constexpr Rgb WindowText = 0x000000;
inline constexpr Rgb Yellow = 0xFFFF00;
inline constexpr Rgb ButtonFace = 0xF0F0F0;
// The tooltip background.
inline constexpr Rgb InfoBackground = 0xFFFFE1;
}  // namespace Color

struct Font {
  std::string name = "MS Sans Serif";
  int size = 8;
  bool bold = false;
  Rgb color = Color::WindowText;
  bool operator==(const Font&) const = default;
};

struct Bounds {
  int left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Bounds&) const = default;
};

// Windows virtual-key codes, which the system's handlers compare against
// (named apart from the system header's VK_ macros).
using Key = int;
inline constexpr Key kKeyReturn = 13;
inline constexpr Key kKeyF1 = 112;
inline constexpr Key kKeyF12 = 123;

class Control {
 public:
  explicit Control(std::string name) : name_(std::move(name)) {}
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  const std::string& name() const { return name_; }

  bool visible() const { return visible_; }
  void setVisible(bool v) { set(visible_, v); }
  bool enabled() const { return enabled_; }
  void setEnabled(bool v) { set(enabled_, v); }
  const Font& font() const { return font_; }
  void setFont(const Font& f) { set(font_, f); }
  void setFontColor(Rgb c) {
    Font f = font_;
    f.color = c;
    setFont(f);
  }
  const Bounds& bounds() const { return bounds_; }
  void setBounds(const Bounds& b) { set(bounds_, b); }
  void setBounds(int left, int top, int width, int height) { setBounds(Bounds{left, top, width, height}); }
  int left() const { return bounds_.left; }
  int top() const { return bounds_.top; }
  int width() const { return bounds_.width; }
  int height() const { return bounds_.height; }
  // The text shown when the pointer rests on the control; empty for none.
  const std::string& hint() const { return hint_; }
  void setHint(const std::string& h) { set(hint_, h); }

  // Asks the view to repaint the control now.
  void repaint() { changed(); }

  // The view's listener: called after any property changed.
  void setChangeListener(std::function<void()> listener) { listener_ = std::move(listener); }

 protected:
  template <typename T>
  void set(T& field, const T& value) {
    if (field == value) return;
    field = value;
    changed();
  }
  void changed() {
    if (listener_) listener_();
  }

 private:
  std::string name_;
  bool visible_ = true;
  bool enabled_ = true;
  Font font_;
  Bounds bounds_;
  std::string hint_;
  std::function<void()> listener_;
};

// A control with a caption (labels, buttons, check boxes, group boxes).
class CaptionControl : public Control {
 public:
  using Control::Control;
  const std::string& caption() const { return caption_; }
  void setCaption(const std::string& c) { set(caption_, c); }

 private:
  std::string caption_;
};

class Label : public CaptionControl {
 public:
  using CaptionControl::CaptionControl;
  // The background colour.
  Rgb color() const { return color_; }
  void setColor(Rgb c) { set(color_, c); }

 private:
  Rgb color_ = Color::ButtonFace;
};

class Button : public CaptionControl {
 public:
  using CaptionControl::CaptionControl;
  std::function<void()> onClick;
  // Performs the click, as the operator's click does.
  void click() {
    if (onClick) onClick();
  }
};

// A button that shows an image; glyph names the picture ("save", "clear").
class BitBtn : public Button {
 public:
  BitBtn(std::string name, std::string glyph) : Button(std::move(name)), glyph_(std::move(glyph)) {}
  const std::string& glyph() const { return glyph_; }

 private:
  std::string glyph_;
};

class CheckBox : public CaptionControl {
 public:
  using CaptionControl::CaptionControl;
  bool checked() const { return checked_; }
  void setChecked(bool c) { set(checked_, c); }
  std::function<void()> onClick;
  // The operator's click: toggles the mark, then runs the handler.
  void click() {
    setChecked(!checked_);
    if (onClick) onClick();
  }

 private:
  bool checked_ = false;
};

class GroupBox : public CaptionControl {
 public:
  using CaptionControl::CaptionControl;
};

// Decoration without state of its own (a bevel).
class Bevel : public Control {
 public:
  using Control::Control;
};

// A one-line text box.
class Edit : public Control {
 public:
  using Control::Control;
  const std::string& text() const { return text_; }
  void setText(const std::string& t) {
    if (t == text_) return;
    text_ = t;
    changed();
    if (onChange) onChange();
  }
  std::function<void()> onChange;
  // A key pressed while the box has the focus; Key is a virtual-key code.
  std::function<void(Key)> onKeyDown;
  // The most characters the operator can type; 0 is no limit. Texts set by
  // the program are not cut.
  int maxLength() const { return maxLength_; }
  void setMaxLength(int n) { set(maxLength_, n < 0 ? 0 : n); }
  // A password box shows its text hidden.
  bool password() const { return password_; }
  void setPassword(bool p) { set(password_, p); }

 private:
  std::string text_;
  int maxLength_ = 0;
  bool password_ = false;
};

class RadioGroup : public CaptionControl {
 public:
  using CaptionControl::CaptionControl;
  const std::vector<std::string>& items() const { return items_; }
  void setItems(const std::vector<std::string>& items) { set(items_, items); }
  // -1 selects no item.
  int itemIndex() const { return itemIndex_; }
  void setItemIndex(int i) {
    if (i < -1 || i >= static_cast<int>(items_.size())) i = -1;
    set(itemIndex_, i);
  }
  std::function<void()> onClick;
  // The operator picks an item.
  void select(int i) {
    setItemIndex(i);
    if (onClick) onClick();
  }

 private:
  std::vector<std::string> items_;
  int itemIndex_ = -1;
};

}  // namespace ui
