#pragma once
// The texts of a message catalog domain ("cport"), looked up by their English
// text: gettext's catalogs <dir>/<lang>/LC_MESSAGES/<domain>.mo in the user's
// language, in Windows-1250. On Linux through the C library's gettext; on
// Windows from the catalog read by MessageCatalog, the language taken from
// LANGUAGE, LC_ALL, LC_MESSAGES or LANG, else the user's Windows language.
#include <string>

namespace platform {

// Where the domain's catalogs are; before the first translate.
void bindTextDomain(const char* domain, const std::string& dir);

// The translation of text, or text itself when there is none.
const char* translate(const char* domain, const char* text);

}  // namespace platform
