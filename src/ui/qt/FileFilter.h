#pragma once
// File dialog filters as the system writes them ("pliki tekstowe|*.txt|
// wszystkie pliki|*.*", Windows-1250) in Qt's form ("pliki tekstowe (*.txt);;
// wszystkie pliki (*.*)").
#include <QString>
#include <string>

namespace ui::qt {

QString qtFileFilter(const std::string& filter);

}  // namespace ui::qt
