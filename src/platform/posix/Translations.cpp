#include "platform/Translations.h"

#include <libintl.h>

namespace platform {

void bindTextDomain(const char* domain, const std::string& dir) {
  if (!dir.empty()) bindtextdomain(domain, dir.c_str());
  bind_textdomain_codeset(domain, "CP1250");
}

const char* translate(const char* domain, const char* text) { return dgettext(domain, text); }

}  // namespace platform
