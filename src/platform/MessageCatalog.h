#pragma once
// Texts from a gettext message catalog, <dir>/<lang>/LC_MESSAGES/<domain>.mo,
// in Windows-1250. On POSIX the C library's gettext chooses the language from
// the locale; on Windows the catalog of the user's language is read here.
#include <string>

namespace platform {

// Where the domain's catalogs are (empty: the system's default folder).
void bindCatalog(const char* domain, const std::string& directory);

// The translation of text, or text itself when the catalog has none.
const char* translate(const char* domain, const char* text);

}  // namespace platform
