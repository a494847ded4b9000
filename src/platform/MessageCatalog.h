#pragma once
// One GNU gettext message catalog (a ".mo" file) read whole: the texts of one
// domain in one language, for a C library without gettext (Windows). Texts
// come out in Windows-1250, the system's own code page, whatever the
// catalog's charset (UTF-8 or Windows-1250). A damaged or foreign file gives
// an empty catalog: the English texts then stay.
#include <string>
#include <string_view>
#include <unordered_map>

namespace platform {

class MessageCatalog {
 public:
  MessageCatalog() = default;
  static MessageCatalog parse(std::string_view bytes);
  // An unreadable or missing file gives an empty catalog.
  static MessageCatalog load(const std::string& path);

  // The translation of text, or nullptr when the catalog has none. Valid as
  // long as the catalog.
  const char* find(std::string_view text) const;
  bool empty() const { return texts_.empty(); }

 private:
  std::unordered_map<std::string, std::string> texts_;
};

}  // namespace platform
