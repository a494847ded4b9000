#include "platform/IniFile.h"

#include <algorithm>
#include <cerrno>

#include "platform/AsciiText.h"
#include "platform/AtomicFile.h"
#include "platform/WholeFile.h"

namespace platform {

namespace {

// A stray CR before a line end (a hand-edited "\r\r\n") counts as blank: a
// value cannot hold one, and one left in a value would be lost when the file
// is written back, changing what reads back.
bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r';
}

std::string trim(const std::string& s) {
  std::size_t b = 0, e = s.size();
  while (b < e && isBlank(s[b])) ++b;
  while (e > b && isBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

// A line with a NUL byte is no text (a file saved as UTF-16, zeros left by a
// crash): it is neither a section nor a key.
bool hasNul(const std::string& s) {
  return s.find('\0') != std::string::npos;
}

// "[Name]" (blanks allowed around and inside the brackets).
std::optional<std::string> sectionName(const std::string& line) {
  if (hasNul(line)) return std::nullopt;
  const std::string t = trim(line);
  if (t.empty() || t.front() != '[') return std::nullopt;
  const auto close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return trim(t.substr(1, close - 1));
}

struct KeyLine {
  std::string key;
  std::string value;
};

bool isComment(const std::string& trimmed) {
  return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

// "Key=Value"; comment lines (";" or "#") and section lines are no keys.
std::optional<KeyLine> keyLine(const std::string& line) {
  if (hasNul(line)) return std::nullopt;
  const std::string t = trim(line);
  if (t.empty() || isComment(t) || t.front() == '[') return std::nullopt;
  const auto eq = t.find('=');
  if (eq == std::string::npos) return std::nullopt;
  KeyLine k{trim(t.substr(0, eq)), trim(t.substr(eq + 1))};
  if (k.key.empty()) return std::nullopt;
  return k;
}

std::string unquote(const std::string& v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// Quotes a value that would not read back as it is.
std::string valueText(const std::string& v) {
  if (v.empty()) return v;
  const bool needsQuotes =
      isBlank(v.front()) || isBlank(v.back()) ||
      (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front());
  return needsQuotes ? '"' + v + '"' : v;
}

// What no name or value can hold: it would break the file's lines or make a
// line unreadable.
bool hasLineBreak(const std::string& s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {
  std::string bytes;
  const int error = readWholeFile(path_, kSettingsFileMaxBytes, bytes);
  if (error != 0 && error != ENOENT)
    throw IniFileError("cannot read " + path_ + ": " + wholeFileReadError(error), error);
  parse(bytes);
}

IniFile::IniFile(std::string path, std::string_view bytes) : path_(std::move(path)) {
  parse(bytes);
}

void IniFile::parse(std::string_view bytes) {
  const auto breaks = static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  if (breaks + (bytes.empty() || bytes.back() == '\n' ? 0 : 1) > kMaxLines)
    throw IniFileError("cannot read " + path_ + ": too many lines", EFBIG);
  lines_.reserve(breaks + 1);
  std::size_t start = 0;
  while (start < bytes.size()) {
    auto end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string line(bytes.substr(start, end - start));
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
      if (lines_.empty()) newline_ = "\r\n";  // keep the file's own line ends
    }
    const std::string t = trim(line);
    if (hasNul(line) || (!t.empty() && !isComment(t) && !sectionName(line) && !keyLine(line)))
      unreadable_.push_back(lines_.size());
    lines_.push_back(std::move(line));
    start = end + 1;
  }
}

std::optional<IniFile::Range> IniFile::findSection(const std::string& section) const {
  const std::string wanted = trim(section);
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const auto name = sectionName(lines_[i]);
    if (!name || !equalIgnoringAsciiCase(*name, wanted)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && !sectionName(lines_[end])) ++end;
    return Range{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> IniFile::findKey(const Range& range, const std::string& key) const {
  const std::string wanted = trim(key);
  for (std::size_t i = range.header + 1; i < range.end; ++i) {
    const auto k = keyLine(lines_[i]);
    if (k && equalIgnoringAsciiCase(k->key, wanted)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> IniFile::value(const std::string& section, const std::string& key) const {
  const auto range = findSection(section);
  if (!range) return std::nullopt;
  const auto index = findKey(*range, key);
  if (!index) return std::nullopt;
  return unquote(keyLine(lines_[*index])->value);
}

std::string IniFile::readString(const std::string& section, const std::string& key,
                                const std::string& def) const {
  return value(section, key).value_or(def);
}

bool IniFile::sectionExists(const std::string& section) const {
  return findSection(section).has_value();
}

std::vector<std::string> IniFile::sections() const {
  std::vector<std::string> names;
  for (const auto& line : lines_)
    if (auto name = sectionName(line)) names.push_back(*name);
  return names;
}

std::vector<std::string> IniFile::keys(const std::string& section) const {
  std::vector<std::string> names;
  const auto range = findSection(section);
  if (!range) return names;
  for (std::size_t i = range->header + 1; i < range->end; ++i)
    if (auto k = keyLine(lines_[i])) names.push_back(k->key);
  return names;
}

void IniFile::writeString(const std::string& section, const std::string& key, const std::string& value) {
  const std::string s = trim(section), k = trim(key);
  if (s.empty() || hasLineBreak(s) || s.find(']') != std::string::npos)
    throw std::invalid_argument("not a usable ini section name: " + section);
  if (k.empty() || hasLineBreak(k) || k.find('=') != std::string::npos || isComment(k) || k.front() == '[')
    throw std::invalid_argument("not a usable ini key name: " + key);
  if (hasLineBreak(value))
    throw std::invalid_argument("an ini value cannot hold a line break (key " + key + ")");

  const std::string text = valueText(value);
  const auto range = findSection(s);
  if (!range) {
    lines_.push_back("[" + s + "]");
    lines_.push_back(k + "=" + text);
    modified_ = true;
    return;
  }
  if (const auto index = findKey(*range, k)) {
    const auto old = keyLine(lines_[*index]);
    const std::string line = old->key + "=" + text;  // keeps the file's spelling of the key
    if (line == lines_[*index]) return;
    lines_[*index] = line;
    modified_ = true;
    return;
  }
  // After the section's last non-blank line, so that blank separators stay
  // before the next section.
  std::size_t at = range->end;
  while (at > range->header + 1 && trim(lines_[at - 1]).empty()) --at;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), k + "=" + text);
  modified_ = true;
}

bool IniFile::deleteKey(const std::string& section, const std::string& key) {
  const auto range = findSection(section);
  if (!range) return false;
  const auto index = findKey(*range, key);
  if (!index) return false;
  lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(*index));
  modified_ = true;
  return true;
}

void IniFile::save() {
  if (!modified_) return;
  std::string bytes;
  for (const auto& line : lines_) {
    bytes += line;
    bytes += newline_;
  }
  std::string error;
  if (!writeFileAtomically(path_, bytes, &error))
    throw IniFileError("cannot save " + path_ + ": " + error, 0);
  modified_ = false;
}

}  // namespace platform
