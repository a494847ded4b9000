#include "ui/qt/FileFilter.h"

#include <QStringList>

#include "ui/qt/QtText.h"

namespace ui::qt {

QString qtFileFilter(const std::string& filter) {
  const QStringList parts = toQt(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i < parts.size(); i += 2) {
    QString description = parts[i].trimmed();
    QString patterns = i + 1 < parts.size() ? parts[i + 1].trimmed() : QString();
    if (description.isEmpty() && patterns.isEmpty()) continue;
    // A missing pattern lets every file through.
    if (patterns.isEmpty()) patterns = QStringLiteral("*");
    // Several patterns are separated by ';' there and by spaces here.
    patterns = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
    const QString suffix = QStringLiteral("(%1)").arg(patterns);
    if (description.isEmpty()) description = patterns;
    // A description that already names its patterns is not given them twice.
    filters << (description.endsWith(suffix) ? description : description + QLatin1Char(' ') + suffix);
  }
  return filters.join(QStringLiteral(";;"));
}

}  // namespace ui::qt
