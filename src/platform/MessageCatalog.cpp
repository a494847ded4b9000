#include "platform/MessageCatalog.h"

#include <cstdint>
#include <optional>

#include "platform/Cp1250.h"
#include "platform/WholeFile.h"

namespace platform {

namespace {

constexpr std::uint32_t kMagic = 0x950412de;
// Far more than any catalog of this program; a bigger one is not ours.
constexpr std::size_t kMaxCatalogBytes = std::size_t{4} << 20;

class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  bool setOrder() {
    const auto magic = word(0, false);
    if (magic == kMagic) return true;
    swapped_ = true;
    return word(0, false) && *word(0, true) == kMagic;
  }
  std::optional<std::uint32_t> word(std::size_t at) const { return word(at, swapped_); }
  // The string of table entry i of the table at tableOffset, without its NUL.
  std::optional<std::string_view> entry(std::uint32_t tableOffset, std::uint32_t i) const {
    const std::size_t at = std::size_t{tableOffset} + std::size_t{i} * 8;
    const auto length = word(at), offset = word(at + 4);
    if (!length || !offset || *offset > bytes_.size() || *length >= bytes_.size() - *offset) return std::nullopt;
    return bytes_.substr(*offset, *length);
  }

 private:
  std::optional<std::uint32_t> word(std::size_t at, bool swapped) const {
    if (at > bytes_.size() || bytes_.size() - at < 4) return std::nullopt;
    std::uint32_t w = 0;
    for (int i = 0; i < 4; ++i) {
      const auto b = static_cast<unsigned char>(bytes_[at + static_cast<std::size_t>(swapped ? i : 3 - i)]);
      w = w << 8 | b;
    }
    return w;
  }

  std::string_view bytes_;
  bool swapped_ = false;
};

// Plural forms are NUL-separated; a lookup by the singular gets the first.
std::string_view firstForm(std::string_view text) { return text.substr(0, text.find('\0')); }

bool utf8Charset(std::string_view header) {
  const auto at = header.find("charset=");
  if (at == std::string_view::npos) return false;
  std::string charset;
  for (char c : header.substr(at + 8)) {
    if (c == '\n' || c == ';' || c == ' ') break;
    charset += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  return charset == "UTF-8" || charset == "UTF8";
}

}  // namespace

MessageCatalog MessageCatalog::parse(std::string_view bytes) {
  MessageCatalog catalog;
  Reader reader(bytes);
  if (!reader.setOrder()) return catalog;
  const auto count = reader.word(8), originals = reader.word(12), translations = reader.word(16);
  if (!count || !originals || !translations || *count > bytes.size() / 8) return catalog;
  bool utf8 = false;
  std::unordered_map<std::string, std::string> texts;
  for (std::uint32_t i = 0; i < *count; ++i) {
    const auto original = reader.entry(*originals, i), translation = reader.entry(*translations, i);
    if (!original || !translation) return catalog;
    if (original->empty()) {
      utf8 = utf8Charset(*translation);
      continue;
    }
    texts.emplace(firstForm(*original), firstForm(*translation));
  }
  if (utf8)
    for (auto& [original, translation] : texts) translation = utf8ToCp1250(translation);
  catalog.texts_ = std::move(texts);
  return catalog;
}

MessageCatalog MessageCatalog::load(const std::string& path) {
  std::string bytes;
  if (readWholeFile(path, kMaxCatalogBytes, bytes) != 0) return {};
  return parse(bytes);
}

const char* MessageCatalog::find(std::string_view text) const {
  const auto it = texts_.find(std::string(text));
  return it == texts_.end() || it->second.empty() ? nullptr : it->second.c_str();
}

}  // namespace platform
