#include "platform/Translations.h"

#include <windows.h>

#include <cstdlib>
#include <map>
#include <mutex>
#include <string_view>
#include <vector>

#include "platform/MessageCatalog.h"

namespace platform {

namespace {

struct Domain {
  std::string dir;
  bool loaded = false;
  MessageCatalog catalog;
};

std::mutex domainsMutex;
std::map<std::string, Domain> domains;

// The user's languages, most wanted first, as gettext names them ("pl_PL",
// then "pl"): LANGUAGE (a colon-separated list), LC_ALL, LC_MESSAGES or LANG
// as gettext reads them, else the user's Windows display language. "C" and
// "POSIX" want the English texts.
std::vector<std::string> languages() {
  std::string wanted;
  if (const char* list = std::getenv("LANGUAGE"); list && *list) wanted = list;
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    if (!wanted.empty()) break;
    if (const char* value = std::getenv(name); value && *value) wanted = value;
  }
  if (wanted.empty()) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name, LOCALE_NAME_MAX_LENGTH, 0) > 0)
      for (const wchar_t* c = name; *c; ++c) wanted += *c == L'-' ? '_' : static_cast<char>(*c & 0x7f);
  }
  std::vector<std::string> out;
  std::string_view rest = wanted;
  while (!rest.empty()) {
    std::string_view one = rest.substr(0, rest.find(':'));
    rest.remove_prefix(std::min(rest.size(), one.size() + 1));
    one = one.substr(0, one.find_first_of(".@"));  // "pl_PL.UTF-8", "sr_RS@latin"
    if (one == "C" || one == "POSIX") break;
    if (one.empty()) continue;
    out.emplace_back(one);
    if (const auto bar = one.find('_'); bar != std::string_view::npos) out.emplace_back(one.substr(0, bar));
  }
  return out;
}

}  // namespace

void bindTextDomain(const char* domain, const std::string& dir) {
  std::lock_guard lock(domainsMutex);
  Domain& d = domains[domain];
  d.dir = dir;
  d.loaded = false;
}

const char* translate(const char* domain, const char* text) {
  std::lock_guard lock(domainsMutex);
  Domain& d = domains[domain];
  if (!d.loaded) {
    d.loaded = true;
    d.catalog = {};
    for (const std::string& language : d.dir.empty() ? std::vector<std::string>{} : languages()) {
      d.catalog = MessageCatalog::load(d.dir + "/" + language + "/LC_MESSAGES/" + domain + ".mo");
      if (!d.catalog.empty()) break;
    }
  }
  const char* translated = d.catalog.find(text);
  return translated ? translated : text;
}

}  // namespace platform
