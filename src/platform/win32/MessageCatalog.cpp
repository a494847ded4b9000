#include "platform/MessageCatalog.h"

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/Cp1250.h"
#include "platform/WholeFile.h"
#include "platform/win32/Win32Text.h"

namespace platform {

namespace {

struct Catalogs {
  std::mutex mutex;
  std::map<std::string, std::string> directories;                   // by domain
  std::map<std::string, std::map<std::string, std::string>> texts;  // by domain, loaded once
};

Catalogs& catalogs() {
  static Catalogs c;
  return c;
}

// The user's language as gettext names its folders: "pl" of "pl-PL".
std::string userLanguage() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  if (GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH) == 0) return {};
  const std::string text = win32::narrow(name);
  return text.substr(0, text.find('-'));
}

std::uint32_t word(const std::string& bytes, std::size_t at, bool swapped) {
  if (at + 4 > bytes.size()) return 0;
  std::uint32_t w;
  std::memcpy(&w, bytes.data() + at, 4);
  return swapped ? ((w >> 24) | ((w >> 8) & 0xFF00) | ((w << 8) & 0xFF0000) | (w << 24)) : w;
}

// A .mo file: a magic word, the count, and the tables of the original and
// the translated strings (length and offset each). Translations are UTF-8.
std::map<std::string, std::string> readCatalog(const std::string& path) {
  std::map<std::string, std::string> texts;
  std::string bytes;
  if (readWholeFile(path, kSettingsFileMaxBytes, bytes) != 0 || bytes.size() < 28) return texts;
  const bool swapped = word(bytes, 0, false) != 0x950412deu;
  if (word(bytes, 0, swapped) != 0x950412deu) return texts;
  const std::uint32_t count = word(bytes, 8, swapped);
  const std::uint32_t originals = word(bytes, 12, swapped);
  const std::uint32_t translations = word(bytes, 16, swapped);
  auto string = [&](std::uint32_t table, std::uint32_t i, std::string& out) {
    const std::uint32_t length = word(bytes, table + 8 * i, swapped);
    const std::uint32_t offset = word(bytes, table + 8 * i + 4, swapped);
    if (std::uint64_t{offset} + length > bytes.size()) return false;
    out.assign(bytes, offset, length);
    return true;
  };
  for (std::uint32_t i = 0; i < count; ++i) {
    std::string original, translated;
    if (string(originals, i, original) && string(translations, i, translated) && !original.empty())
      texts[original] = utf8ToCp1250(translated);
  }
  return texts;
}

}  // namespace

void bindCatalog(const char* domain, const std::string& directory) {
  std::lock_guard lock(catalogs().mutex);
  catalogs().directories[domain] = directory;
  catalogs().texts.erase(domain);
}

const char* translate(const char* domain, const char* text) {
  Catalogs& c = catalogs();
  std::lock_guard lock(c.mutex);
  auto found = c.texts.find(domain);
  if (found == c.texts.end()) {
    const std::string& directory = c.directories[domain];
    const std::string language = userLanguage();
    std::map<std::string, std::string> texts;
    if (!directory.empty() && !language.empty())
      texts = readCatalog(directory + "\\" + language + "\\LC_MESSAGES\\" + domain + ".mo");
    found = c.texts.emplace(domain, std::move(texts)).first;
  }
  // The strings stay where they are: a catalog is never dropped once read.
  const auto entry = found->second.find(text);
  return entry == found->second.end() ? text : entry->second.c_str();
}

}  // namespace platform
