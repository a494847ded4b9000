#include "ui/qt/WidgetStyle.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPalette>
#include <QScreen>
#include <QString>
#include <QStyle>
#include <QWidget>
#include <algorithm>
#include <map>

#include "ui/qt/QtText.h"

namespace ui::qt {

namespace {

bool isSansSerifName(const QString& name) {
  return name.toLower() == "ms sans serif";
}

// The stretch that makes a stand-in sans-serif font as wide as the original:
// the controls were sized for it, and wider text would be clipped. At 8
// points and 96 DPI "Komunikaty o błędach" was 112 pixels wide.
int sansSerifStretch(const QString& family) {
  static std::map<QString, int> cache;
  auto it = cache.find(family);
  if (it != cache.end()) return it->second;
  QFont probe(family);
  probe.setPointSize(8);
  const QFontMetricsF metrics(probe);
  const double width = metrics.horizontalAdvance(QString::fromUtf8("Komunikaty o błędach"));
  const QScreen* screen = QGuiApplication::primaryScreen();
  const double target = 112.0 * (screen ? screen->logicalDotsPerInchX() : 96.0) / 96.0;
  int stretch = width > target ? static_cast<int>(100.0 * target / width) : 100;
  stretch = std::max(stretch, 75);
  cache.emplace(family, stretch);
  return stretch;
}

bool isFixedPitchName(const QString& name) {
  const QString n = name.toLower();
  return n == "courier new" || n == "monotxt" || n == "courier";
}

// A family whose faces really are fixed-pitch: the system's fixed font is
// not always one (some "mono" faces carry wider glyphs and do not count).
QString fixedPitchFamily() {
  const QString system = QFontDatabase::systemFont(QFontDatabase::FixedFont).family();
  for (const QString& candidate : {system, QString("DejaVu Sans Mono"), QString("Liberation Mono"),
                                   QString("Nimbus Mono PS"), QString("FreeMono"), QString("Courier")}) {
    QFont f(candidate);
    f.setStyleHint(QFont::TypeWriter);
    if (QFontInfo(f).fixedPitch()) return QFontInfo(f).family();
  }
  return system;
}

// The family to use for a font name; looked up once per name.
QString familyFor(const std::string& name) {
  static std::map<std::string, QString> cache;
  auto it = cache.find(name);
  if (it != cache.end()) return it->second;
  const QString requested = QString::fromStdString(name);
  QString family;
  // A pane's font must stay fixed-pitch: a family of that name that resolves
  // to a proportional face (a font alias) is not taken.
  const bool usable = !requested.isEmpty() && QFontDatabase::hasFamily(requested) &&
                      (!isFixedPitchName(requested) || QFontInfo(QFont(requested)).fixedPitch());
  if (usable)
    family = requested;
  else if (isFixedPitchName(requested))
    family = fixedPitchFamily();
  else
    family = QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
  cache.emplace(name, family);
  return family;
}

}  // namespace

QFont qtFont(const ui::Font& font) {
  const QString family = familyFor(font.name);
  const QString requested = QString::fromStdString(font.name);
  QFont f(family);
  if (isFixedPitchName(requested)) {
    f.setStyleHint(QFont::TypeWriter);
    f.setFixedPitch(true);
  } else if (isSansSerifName(requested) && family != requested) {
    const int stretch = sansSerifStretch(family);
    if (stretch != 100) f.setStretch(stretch);
  }
  if (font.size > 0) f.setPointSize(font.size);
  f.setBold(font.bold);
  return f;
}

QColor qtColor(ui::Rgb color) {
  return QColor((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF);
}

void applyCommon(const ui::Control& control, QWidget& widget, bool autoSize) {
  const QFont font = qtFont(control.font());
  if (widget.font() != font) widget.setFont(font);

  QPalette palette = widget.palette();
  const QColor color = qtColor(control.font().color);
  if (palette.color(QPalette::WindowText) != color || palette.color(QPalette::Text) != color) {
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
      for (auto group : {QPalette::Active, QPalette::Inactive}) palette.setColor(group, role, color);
    widget.setPalette(palette);
  }

  const ui::Bounds& b = control.bounds();
  QRect rect(b.left, b.top, b.width, b.height);
  if (autoSize) {
    // An auto-sized label is never narrower than its text.
    const QSize hint = widget.sizeHint();
    if (rect.width() < hint.width()) rect.setWidth(hint.width());
    if (rect.height() <= 0) rect.setHeight(hint.height());
  }
  if (widget.geometry() != rect) widget.setGeometry(rect);

  if (widget.isEnabled() != control.enabled()) widget.setEnabled(control.enabled());
  if (const QString tip = toQt(control.hint()); widget.toolTip() != tip) widget.setToolTip(tip);
  // Set explicitly: a widget left to its window shows and hides with it.
  if (!widget.testAttribute(Qt::WA_WState_ExplicitShowHide) || widget.isHidden() == control.visible())
    widget.setVisible(control.visible());
}

void fitCaption(QAbstractButton& button) {
  QString text = button.text();
  text.remove(QLatin1Char('&'));
  if (text.isEmpty()) return;
  QFont font = button.font();
  const int textWidth = QFontMetrics(font).horizontalAdvance(text);
  // The width left for the caption beside the frame, the mark or the icon.
  const QStyle* style = button.style();
  int room = button.width() - 2;
  if (qobject_cast<const QCheckBox*>(&button)) {
    room -= style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, &button) +
            style->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, &button);
  } else {
    room -= 2 * (style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, &button) +
                 style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &button));
    if (!button.icon().isNull()) room -= button.iconSize().width() + 4;
  }
  if (textWidth <= room || room <= 0) return;
  const int stretch = font.stretch() > 0 ? font.stretch() : 100;
  font.setStretch(std::max(60, stretch * room / textWidth));
  button.setFont(font);
}

}  // namespace ui::qt
