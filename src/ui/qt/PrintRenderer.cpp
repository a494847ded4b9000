#include "ui/qt/PrintRenderer.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>
#include <optional>
#include <stdexcept>

#include "platform/Cp1250.h"
#include "ui/qt/QtText.h"

namespace ui::qt {

ui::PrintPageSize printablePageSize(const QPrinter& printer) {
  return {printer.width(), printer.height()};
}

QFont printFont(const ui::PrintFont& font) {
  const QString family = toQt(font.name);
  QFont result;
  if (!family.isEmpty() && QFontDatabase::hasFamily(family)) {
    result = QFont(family);
  } else {
    result =
        QFontDatabase::systemFont(font.monospace ? QFontDatabase::FixedFont : QFontDatabase::GeneralFont);
    if (font.monospace) result.setStyleHint(QFont::TypeWriter);
  }
  if (font.size > 0) result.setPointSize(font.size);
  return result;
}

void renderPrintJob(QPrinter& printer, const ui::PrintJob& job) {
  if (!job.title.empty()) printer.setDocName(toQt(job.title));
  QPainter painter;
  if (!painter.begin(&printer)) throw std::runtime_error(platform::pl("Nie można rozpocząć drukowania"));
  std::optional<ui::PrintFont> current;
  int ascent = 0;
  bool first = true;
  for (const ui::PrintPage& page : job.pages) {
    if (!first && !printer.newPage()) {
      painter.end();
      throw std::runtime_error(platform::pl("Nie można rozpocząć nowej strony wydruku"));
    }
    first = false;
    for (const ui::PrintText& text : page.texts) {
      if (!current || !(*current == text.font)) {
        current = text.font;
        painter.setFont(printFont(text.font));
        ascent = QFontMetrics(painter.font(), &printer).ascent();
      }
      // The program places a line by its top; Qt draws at the baseline.
      painter.drawText(text.x, text.y + ascent, toQt(text.text));
    }
  }
  if (!painter.end()) throw std::runtime_error(platform::pl("Nie można zakończyć drukowania"));
}

void printComposed(QPrinter& printer, const ui::PrintComposer& compose) {
  renderPrintJob(printer, compose(printablePageSize(printer)));
}

}  // namespace ui::qt
