#include "serial/SettingsFileRescue.h"

#include <cerrno>
#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <system_error>

#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "platform/WholeFile.h"

namespace serial {

namespace {

constexpr int kMaxCopies = 100;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// A line the ini reader understands: blank, a comment, "[Section]" or
// "Key=Value" with a key.
bool isIniLine(std::string_view line) {
  if (line.find('\0') != std::string_view::npos) return false;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
  if (line.empty() || line.front() == ';' || line.front() == '#') return true;
  if (line.front() == '[') return line.find(']') != std::string_view::npos;
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  std::string_view key = line.substr(0, eq);
  while (!key.empty() && isBlank(key.back())) key.remove_suffix(1);
  return !key.empty();
}

// The file's readable lines, with their own line ends; `damaged` tells
// whether any line was left out. Empty, and `tooLong` set, when the file has
// more lines than the ini reader takes.
std::string readableLines(std::string_view bytes, bool& damaged, bool& tooLong) {
  damaged = tooLong = false;
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    damaged = true;  // the reader would not see a section on the first line
    bytes.remove_prefix(kUtf8Bom.size());
  }
  std::string kept;
  std::size_t start = 0, lines = 0;
  while (start < bytes.size()) {
    if (++lines > platform::IniFile::kMaxLines) {
      tooLong = true;
      return {};
    }
    auto end = bytes.find('\n', start);
    end = end == std::string_view::npos ? bytes.size() : end + 1;
    const std::string_view segment = bytes.substr(start, end - start);
    std::string_view line = segment;
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (isIniLine(line))
      kept.append(segment);
    else
      damaged = true;
    start = end;
  }
  return kept;
}

bool exists(const std::string& path) {
  std::error_code error;
  const bool found = std::filesystem::exists(std::filesystem::symlink_status(path, error));
  return found || (error && error != std::errc::no_such_file_or_directory);
}

std::string freeCopyName(const std::string& path) {
  for (int n = 1; n <= kMaxCopies; ++n) {
    std::string candidate = path + ".bak" + (n == 1 ? std::string() : std::to_string(n));
    if (!exists(candidate)) return candidate;
  }
  throw std::runtime_error("no free name to keep " + path + " beside it");
}

}  // namespace

std::string RescueSettingsFile(const std::string& path, std::string& content) {
  content.clear();
  std::string bytes;
  const int error = platform::readWholeFile(path, platform::kSettingsFileMaxBytes, bytes);
  if (error == ENOENT) return {};

  bool damaged = false, tooLong = false;
  if (error == 0) content = readableLines(bytes, damaged, tooLong);
  if (error != 0 || tooLong) {
    // What cannot be read (no permission, not a regular file, too large) is
    // not copied: it is moved aside as it is, and the next save creates the
    // file anew.
    const std::string copy = freeCopyName(path);
    std::error_code renameError;
    std::filesystem::rename(path, copy, renameError);
    if (renameError)
      throw std::runtime_error("cannot keep " + path + " as " + copy + ": " + renameError.message());
    return copy;
  }
  if (!damaged) return {};
  const std::string copy = freeCopyName(path);
  std::string writeError;
  if (!platform::writeFileAtomically(copy, bytes, &writeError)) throw std::runtime_error(writeError);
  if (!platform::writeFileAtomically(path, content, &writeError)) {
    std::error_code ignored;
    std::filesystem::remove(copy, ignored);  // the file itself is still as it was
    throw std::runtime_error(writeError);
  }
  return copy;
}

}  // namespace serial
