#pragma once
// The program keeps texts as Windows-1250 bytes; Qt wants Unicode.
#include <QString>
#include <string>
#include <string_view>

#include "platform/Cp1250.h"

namespace ui::qt {

inline QString toQt(std::string_view cp1250) {
  return QString::fromStdString(platform::cp1250ToUtf8(cp1250));
}
inline std::string fromQt(const QString& text) {
  return platform::utf8ToCp1250(text.toStdString());
}

}  // namespace ui::qt
