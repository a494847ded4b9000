#include "ui/qt/MenuBinder.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleOptionMenuItem>

#include "ui/qt/QtText.h"

namespace ui::qt {

namespace {

// The caption without its key mark when a control of the window claims the
// same Alt key: two claims make Qt do nothing at all on that key.
QString withoutClaimedKey(const QString& caption, const QList<QKeySequence>& claimed) {
  const QKeySequence key = QKeySequence::mnemonic(caption);
  if (key.isEmpty() || !claimed.contains(key)) return caption;
  QString text = caption;
  for (qsizetype i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != QLatin1Char('&')) continue;
    if (text[i + 1] != QLatin1Char('&')) return text.remove(i, 1);
    ++i;  // "&&" is a plain ampersand
  }
  return text;
}

// The menu bar draws an item's picture instead of its caption; an item with
// both (the orders file's, whose caption is the file's name) shows both.
class PictureAndCaptionStyle : public QProxyStyle {
 public:
  QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                         const QWidget* widget) const override {
    QSize grown = size;
    if (const auto* item = bothShown(type == CT_MenuBarItem, option))
      grown.rwidth() += kGap + item->fontMetrics.horizontalAdvance(plainText(item->text));
    return QProxyStyle::sizeFromContents(type, option, grown, widget);
  }

  void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                   const QWidget* widget) const override {
    const auto* item = bothShown(element == CE_MenuBarItem, option);
    if (!item) return QProxyStyle::drawControl(element, option, painter, widget);
    // The item's background as the style draws it, then picture and caption.
    QStyleOptionMenuItem background = *item;
    background.text.clear();
    background.icon = QIcon();
    QProxyStyle::drawControl(element, &background, painter, widget);
    const bool enabled = item->state & State_Enabled;
    const int side = pixelMetric(PM_SmallIconSize, option, widget);
    const int width = side + kGap + item->fontMetrics.horizontalAdvance(plainText(item->text));
    QRect content = item->rect;
    content.setLeft(item->rect.center().x() - width / 2);
    const QRect picture(content.left(), content.center().y() - side / 2, side, side);
    item->icon.paint(painter, picture, Qt::AlignCenter, enabled ? QIcon::Normal : QIcon::Disabled);
    QRect text = content;
    text.setLeft(picture.right() + 1 + kGap);
    drawItemText(painter, text, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic,
                 item->palette, enabled, item->text, QPalette::ButtonText);
  }

 private:
  static constexpr int kGap = 4;

  static const QStyleOptionMenuItem* bothShown(bool menuBarItem, const QStyleOption* option) {
    const auto* item = menuBarItem ? qstyleoption_cast<const QStyleOptionMenuItem*>(option) : nullptr;
    return item && !item->icon.isNull() && !item->text.isEmpty() ? item : nullptr;
  }

  // The caption as shown: "&&" is one ampersand, a single one marks a key.
  static QString plainText(const QString& caption) {
    QString text;
    for (qsizetype i = 0; i < caption.size(); ++i) {
      if (caption[i] == QLatin1Char('&') && i + 1 < caption.size()) ++i;
      text += caption[i];
    }
    return text;
  }
};

}  // namespace

MenuBinder::MenuBinder(const std::vector<ui::MenuItem*>& items, QMenuBar& menuBar, QWidget& window,
                       platform::EventLoop& loop, QList<QKeySequence> claimedKeys)
    : QObject(&menuBar), loop_(loop), window_(window), claimedKeys_(std::move(claimedKeys)) {
  auto* style = new PictureAndCaptionStyle;
  style->setParent(&menuBar);
  menuBar.setStyle(style);
  for (ui::MenuItem* item : items) addItem(*item, menuBar);
}

MenuBinder::~MenuBinder() {
  for (auto& [item, action] : actions_) item->setChangeListener(nullptr);
}

QAction* MenuBinder::actionFor(const ui::MenuItem* item) const {
  for (const auto& [model, action] : actions_)
    if (model == item) return action;
  return nullptr;
}

QAction* MenuBinder::addItem(ui::MenuItem& item, QWidget& container) {
  QAction* action = nullptr;
  if (item.caption() == "-") {
    action = new QAction(&container);
    action->setSeparator(true);
    container.addAction(action);
  } else if (!item.items().empty()) {
    auto* menu = new QMenu(&container);
    for (ui::MenuItem* child : item.items()) addItem(*child, *menu);
    action = menu->menuAction();
    container.addAction(action);
  } else {
    action = new QAction(&container);
    container.addAction(action);
    window_.addAction(action);
    if (!item.shortcut().empty()) {
      const QKeySequence sequence(QString::fromStdString(item.shortcut()), QKeySequence::PortableText);
      action->setShortcut(sequence);
      shortcuts_.append(sequence);
    }
    connect(action, &QAction::triggered, this, [this, &item, action] {
      loop_.dispatch([&item] { item.click(); });
      // Qt toggled the mark on its own; the model says what it is.
      action->setChecked(item.checked());
    });
  }
  action->setObjectName(QString::fromStdString(item.name()));
  const bool onBar = qobject_cast<QMenuBar*>(&container) != nullptr;
  auto sync = [this, &item, action, onBar] {
    if (!action->isSeparator()) {
      QString text = toQt(item.caption());
      // On the bar a picture's caption is a name (the orders file's): an
      // ampersand there is shown, never a key.
      if (onBar && item.hasImage())
        text.replace(QLatin1Char('&'), QStringLiteral("&&"));
      else if (onBar)
        text = withoutClaimedKey(text, claimedKeys_);
      if (action->text() != text) action->setText(text);
      // An unchecked item shows no mark at all, as the system's menus do.
      if (action->isCheckable() != item.checked()) action->setCheckable(item.checked());
      if (action->isChecked() != item.checked()) action->setChecked(item.checked());
    }
    if (item.hasImage() && action->icon().isNull())
      action->setIcon(QApplication::style()->standardIcon(QStyle::SP_FileIcon));
    else if (!item.hasImage() && !action->icon().isNull())
      action->setIcon({});
    if (action->isEnabled() != item.enabled()) action->setEnabled(item.enabled());
    if (action->isVisible() != item.visible()) action->setVisible(item.visible());
  };
  sync();
  item.setChangeListener(sync);
  actions_.emplace_back(&item, action);
  return action;
}

}  // namespace ui::qt
