#include "ui/qt/Application.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace ui::qt {

void endMessageLoop() {
  // QCoreApplication::quit() would close every window first.
  QCoreApplication::exit(0);
}

bool loadPolishTranslations() {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(QStringLiteral("qtbase_pl"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  return true;
}

}  // namespace ui::qt
