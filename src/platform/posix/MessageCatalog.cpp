#include "platform/MessageCatalog.h"

#include <libintl.h>

namespace platform {

void bindCatalog(const char* domain, const std::string& directory) {
  if (!directory.empty()) bindtextdomain(domain, directory.c_str());
  bind_textdomain_codeset(domain, "CP1250");
}

const char* translate(const char* domain, const char* text) {
  return dgettext(domain, text);
}

}  // namespace platform
