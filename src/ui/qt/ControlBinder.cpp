#include "ui/qt/ControlBinder.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QToolButton>
#include <algorithm>
#include <limits>
#include <memory>

#include "ui/Chart.h"
#include "ui/Image.h"
#include "ui/ListTable.h"
#include "ui/Memo.h"
#include "ui/StringGrid.h"
#include "ui/qt/ChartView.h"
#include "ui/qt/GridView.h"
#include "ui/qt/ListTableView.h"
#include "ui/qt/MemoView.h"
#include "ui/qt/QtText.h"
#include "ui/qt/UndoHistoryBound.h"
#include "ui/qt/VirtualKeys.h"
#include "ui/qt/WidgetStyle.h"

namespace ui::qt {

namespace {

QIcon glyphIcon(const QStyle& style, const std::string& glyph) {
  if (glyph == "save") return style.standardIcon(QStyle::SP_DialogSaveButton);
  if (glyph == "clear") return style.standardIcon(QStyle::SP_LineEditClearButton);
  if (glyph == "open") return style.standardIcon(QStyle::SP_DialogOpenButton);
  if (glyph == "help") return style.standardIcon(QStyle::SP_MessageBoxQuestion);
  if (glyph == "ok") return style.standardIcon(QStyle::SP_DialogOkButton);
  if (glyph == "cancel") return style.standardIcon(QStyle::SP_DialogCancelButton);
  if (glyph == "add") return style.standardIcon(QStyle::SP_FileDialogNewFolder);
  if (glyph == "delete") return style.standardIcon(QStyle::SP_TrashIcon);
  if (glyph == "up") return style.standardIcon(QStyle::SP_ArrowUp);
  if (glyph == "down") return style.standardIcon(QStyle::SP_ArrowDown);
  if (glyph == "file") return style.standardIcon(QStyle::SP_FileIcon);
  return {};
}

void setTextIfChanged(QAbstractButton& button, const QString& text) {
  if (button.text() != text) button.setText(text);
}

}  // namespace

ControlBinder::ControlBinder(ui::Form& form, QWidget& canvas, platform::EventLoop& loop)
    : QObject(&canvas), form_(form), loop_(loop) {
  for (const ui::Form::Child& child : form_.controls()) {
    QWidget* parent = &canvas;
    if (child.parent && child.parent != &form_) {
      if (QWidget* w = widgetFor(child.parent)) parent = w;
    }
    if (QWidget* w = build(*child.control, *parent)) {
      w->setObjectName(QString::fromStdString(child.control->name()));
      widgets_[child.control] = w;
    }
  }
}

ControlBinder::~ControlBinder() {
  for (ui::Control* control : bound_) control->setChangeListener(nullptr);
}

QWidget* ControlBinder::widgetFor(const ui::Control* control) const {
  auto it = widgets_.find(control);
  return it == widgets_.end() ? nullptr : it->second;
}

void ControlBinder::listen(ui::Control& control, std::function<void()> sync) {
  sync();
  control.setChangeListener(std::move(sync));
  bound_.push_back(&control);
}

QWidget* ControlBinder::build(ui::Control& control, QWidget& parent) {
  // Most derived kinds first.
  if (auto* memo = dynamic_cast<ui::Memo*>(&control)) return buildMemo(*memo, parent);
  if (auto* grid = dynamic_cast<ui::StringGrid*>(&control)) {
    auto* w = new GridView(*grid, loop_, &parent);
    listen(*grid, [grid, w] {
      applyCommon(*grid, *w);
      w->update();
    });
    return w;
  }
  if (auto* chart = dynamic_cast<ui::Chart*>(&control)) {
    auto* w = new ChartView(*chart, &parent);
    listen(*chart, [chart, w] {
      applyCommon(*chart, *w);
      w->sync();
    });
    return w;
  }
  if (auto* table = dynamic_cast<ui::ListTable*>(&control)) {
    auto* w = new ListTableView(*table, &parent);
    listen(*table, [table, w] {
      applyCommon(*table, *w);
      w->sync();
    });
    return w;
  }
  if (auto* image = dynamic_cast<ui::Image*>(&control)) {
    auto* w = new QLabel(&parent);
    listen(*image, [image, w] {
      applyCommon(*image, *w);
      const int side = std::max(1, std::min(image->width(), image->height()));
      w->setPixmap(glyphIcon(*w->style(), image->glyph()).pixmap(side, side));
    });
    return w;
  }
  if (auto* edit = dynamic_cast<ui::Edit*>(&control)) return buildEdit(*edit, parent);
  if (auto* combo = dynamic_cast<ui::ComboBox*>(&control)) return buildComboBox(*combo, parent);
  if (auto* upDown = dynamic_cast<ui::UpDown*>(&control)) return buildUpDown(*upDown, parent);
  if (auto* group = dynamic_cast<ui::RadioGroup*>(&control)) return buildRadioGroup(*group, parent);
  if (auto* box = dynamic_cast<ui::CheckBox*>(&control)) return buildCheckBox(*box, parent);
  if (auto* button = dynamic_cast<ui::Button*>(&control)) return buildButton(*button, parent);
  if (auto* box = dynamic_cast<ui::GroupBox*>(&control)) return buildGroupBox(*box, parent);
  if (auto* label = dynamic_cast<ui::Label*>(&control)) return buildLabel(*label, parent);
  if (auto* bevel = dynamic_cast<ui::Bevel*>(&control)) return buildBevel(*bevel, parent);
  return nullptr;
}

QWidget* ControlBinder::buildLabel(ui::Label& label, QWidget& parent) {
  auto* w = new QLabel(&parent);
  // A label shows its caption as it stands (a path may hold '&').
  w->setTextFormat(Qt::PlainText);
  listen(label, [&label, w] {
    const QString text = toQt(label.caption());
    if (w->text() != text) w->setText(text);
    applyCommon(label, *w, true);
    // The window's own face colour needs no fill of its own.
    const bool filled = label.color() != ui::Color::ButtonFace;
    if (w->autoFillBackground() != filled) w->setAutoFillBackground(filled);
    if (filled && w->palette().color(QPalette::Window) != qtColor(label.color())) {
      QPalette palette = w->palette();
      palette.setColor(QPalette::Window, qtColor(label.color()));
      w->setPalette(palette);
    }
    w->update();
  });
  return w;
}

QWidget* ControlBinder::buildButton(ui::Button& button, QWidget& parent) {
  auto* w = new QPushButton(&parent);
  // The model has no default button: Enter clicks the focused button only.
  w->setAutoDefault(false);
  w->installEventFilter(this);
  if (auto* bit = dynamic_cast<ui::BitBtn*>(&button)) w->setIcon(glyphIcon(*w->style(), bit->glyph()));
  listen(button, [&button, w] {
    setTextIfChanged(*w, toQt(button.caption()));
    applyCommon(button, *w);
    fitCaption(*w);
    w->update();
  });
  connect(w, &QPushButton::clicked, this, [this, &button] { loop_.dispatch([&button] { button.click(); }); });
  return w;
}

QWidget* ControlBinder::buildCheckBox(ui::CheckBox& box, QWidget& parent) {
  auto* w = new QCheckBox(&parent);
  auto sync = [&box, w] {
    setTextIfChanged(*w, toQt(box.caption()));
    if (w->isChecked() != box.checked()) w->setChecked(box.checked());
    applyCommon(box, *w);
    fitCaption(*w);
    w->update();
  };
  listen(box, sync);
  // clicked comes from the operator only, never from setChecked above.
  connect(w, &QCheckBox::clicked, this, [this, &box, sync](bool checked) {
    loop_.dispatch([&box, checked] {
      box.setChecked(checked);
      if (box.onClick) box.onClick();
    });
    sync();
  });
  return w;
}

QWidget* ControlBinder::buildEdit(ui::Edit& edit, QWidget& parent) {
  auto* w = new QLineEdit(&parent);
  boundUndoHistory(*w);
  auto typing = std::make_shared<bool>(false);
  listen(edit, [&edit, w, typing] {
    const QString text = toQt(edit.text());
    // The limit holds for typing; a longer text the program set is shown whole.
    // Without a limit nothing typed or pasted is cut (Qt's own default would
    // cut a long paste at 32,767 characters without a word).
    const int maxLength = edit.maxLength() > 0 ? std::max(edit.maxLength(), static_cast<int>(text.size()))
                                               : std::numeric_limits<int>::max();
    if (w->maxLength() != maxLength) w->setMaxLength(maxLength);
    const auto echo = edit.password() ? QLineEdit::Password : QLineEdit::Normal;
    if (w->echoMode() != echo) w->setEchoMode(echo);
    if (w->text() != text) {
      // While the operator types, a text the model changed (a character
      // Windows-1250 lacks) keeps the cursor where it was.
      const int cursor = w->cursorPosition();
      w->setText(text);
      if (*typing) w->setCursorPosition(std::min(cursor, static_cast<int>(text.size())));
    }
    applyCommon(edit, *w);
    w->update();
  });
  connect(w, &QLineEdit::textEdited, this, [this, &edit, typing](const QString& text) {
    *typing = true;
    loop_.dispatch([&edit, &text] { edit.setText(fromQt(text)); });
    *typing = false;
  });
  w->installEventFilter(this);
  edits_[w] = &edit;
  return w;
}

QWidget* ControlBinder::buildMemo(ui::Memo& memo, QWidget& parent) {
  auto* w = new MemoView(memo, &parent);
  listen(memo, [&memo, w] {
    applyCommon(memo, *w);
    w->styleChanged();
  });
  return w;
}

QWidget* ControlBinder::buildRadioGroup(ui::RadioGroup& group, QWidget& parent) {
  auto* w = new QGroupBox(&parent);
  auto* buttons = new QButtonGroup(w);
  auto shownItems = std::make_shared<std::vector<std::string>>();
  auto sync = [&group, w, buttons, shownItems] {
    const QString title = toQt(group.caption());
    if (w->title() != title) w->setTitle(title);
    if (*shownItems != group.items()) {
      for (QAbstractButton* b : buttons->buttons()) delete b;
      int id = 0;
      for (const std::string& item : group.items()) {
        auto* radio = new QRadioButton(toQt(item), w);
        buttons->addButton(radio, id++);
        radio->show();
      }
      *shownItems = group.items();
    }
    QAbstractButton* chosen = buttons->button(group.itemIndex());
    if (!chosen) {
      // No item: an exclusive group cannot uncheck its last checked button.
      buttons->setExclusive(false);
      for (QAbstractButton* b : buttons->buttons()) b->setChecked(false);
      buttons->setExclusive(true);
    } else if (!chosen->isChecked()) {
      chosen->setChecked(true);
    }
    applyCommon(group, *w);
    // The items share the space under the caption evenly, in the group's font.
    w->ensurePolished();
    const QRect area = w->contentsRect();
    const auto items = buttons->buttons();
    const int count = static_cast<int>(items.size());
    for (int i = 0; i < count; ++i) {
      QAbstractButton* b = items[i];
      b->setFont(w->font());
      b->setPalette(w->palette());
      const int top = area.top() + area.height() * i / count;
      const int bottom = area.top() + area.height() * (i + 1) / count;
      b->setGeometry(area.left() + 6, top, std::max(0, area.width() - 8), bottom - top);
    }
    w->update();
  };
  listen(group, sync);
  connect(buttons, &QButtonGroup::idClicked, this, [this, &group, sync](int id) {
    loop_.dispatch([&group, id] { group.select(id); });
    sync();
  });
  return w;
}

QWidget* ControlBinder::buildGroupBox(ui::GroupBox& box, QWidget& parent) {
  auto* w = new QGroupBox(&parent);
  listen(box, [&box, w] {
    const QString title = toQt(box.caption());
    if (w->title() != title) w->setTitle(title);
    applyCommon(box, *w);
    w->update();
  });
  return w;
}

QWidget* ControlBinder::buildBevel(ui::Bevel& bevel, QWidget& parent) {
  auto* w = new QFrame(&parent);
  w->setFrameShadow(QFrame::Sunken);
  listen(bevel, [&bevel, w] {
    // A thin bevel is a line across the window.
    const QFrame::Shape shape = bevel.height() <= 3  ? QFrame::HLine
                                : bevel.width() <= 3 ? QFrame::VLine
                                                     : QFrame::Box;
    if (w->frameShape() != shape) w->setFrameShape(shape);
    applyCommon(bevel, *w);
    w->update();
  });
  return w;
}

QWidget* ControlBinder::buildComboBox(ui::ComboBox& combo, QWidget& parent) {
  auto* w = new QComboBox(&parent);
  w->setMaxVisibleItems(20);
  auto shownItems = std::make_shared<std::vector<std::string>>();
  listen(combo, [&combo, w, shownItems] {
    const bool editable = combo.style() == ui::ComboStyle::DropDown;
    if (w->isEditable() != editable) w->setEditable(editable);
    if (*shownItems != combo.items()) {
      w->clear();
      for (const std::string& item : combo.items()) w->addItem(toQt(item));
      *shownItems = combo.items();
    }
    if (w->currentIndex() != combo.itemIndex()) w->setCurrentIndex(combo.itemIndex());
    if (editable && w->currentText() != toQt(combo.text())) w->setEditText(toQt(combo.text()));
    applyCommon(combo, *w);
    w->update();
  });
  // activated comes from the operator only, never from the sync above.
  connect(w, &QComboBox::activated, this,
          [this, &combo](int index) { loop_.dispatch([&combo, index] { combo.select(index); }); });
  if (QLineEdit* line = w->lineEdit()) {
    connect(line, &QLineEdit::textEdited, this, [this, &combo](const QString& text) {
      loop_.dispatch([&combo, &text] { combo.type(fromQt(text)); });
    });
  }
  return w;
}

QWidget* ControlBinder::buildUpDown(ui::UpDown& upDown, QWidget& parent) {
  auto* w = new QWidget(&parent);
  auto* up = new QToolButton(w);
  auto* down = new QToolButton(w);
  up->setArrowType(Qt::UpArrow);
  down->setArrowType(Qt::DownArrow);
  up->setObjectName(QStringLiteral("up"));
  down->setObjectName(QStringLiteral("down"));
  up->setAutoRepeat(true);
  down->setAutoRepeat(true);
  listen(upDown, [&upDown, w, up, down] {
    applyCommon(upDown, *w);
    const int half = w->height() / 2;
    up->setGeometry(0, 0, w->width(), half);
    down->setGeometry(0, half, w->width(), w->height() - half);
    w->update();
  });
  connect(up, &QToolButton::clicked, this,
          [this, &upDown] { loop_.dispatch([&upDown] { upDown.click(true); }); });
  connect(down, &QToolButton::clicked, this,
          [this, &upDown] { loop_.dispatch([&upDown] { upDown.click(false); }); });
  return w;
}

bool ControlBinder::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  if (auto it = edits_.find(watched); it != edits_.end()) {
    ui::Edit& edit = *it->second;
    const ui::Key vk = virtualKey(*key);
    if (vk != 0 && edit.onKeyDown) loop_.dispatch([&edit, vk] { edit.onKeyDown(vk); });
    return false;
  }
  if (auto* button = qobject_cast<QPushButton*>(watched)) {
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
      button->click();
      return true;
    }
  }
  return false;
}

}  // namespace ui::qt
