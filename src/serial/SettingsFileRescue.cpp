#include "serial/SettingsFileRescue.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/IniFile.h"
#include "platform/WholeFile.h"

namespace serial {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The file's lines that the ini reader can read, each with its own line end;
// `damaged` tells whether any line was left out. Nothing when the file has
// more lines than the ini reader takes.
std::optional<std::string> readableLines(const std::string& path, std::string_view bytes, bool& damaged) {
  damaged = false;
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    damaged = true;  // the reader would not see a section on the first line
    bytes.remove_prefix(kUtf8Bom.size());
  }
  std::vector<std::size_t> unreadable;
  try {
    unreadable = platform::IniFile(path, bytes).unreadableLines();
  } catch (const platform::IniFileError&) {
    return std::nullopt;
  }
  damaged = damaged || !unreadable.empty();
  std::string kept;
  std::size_t start = 0, line = 0;
  auto skip = unreadable.begin();
  for (; start < bytes.size(); ++line) {
    auto end = bytes.find('\n', start);
    end = end == std::string_view::npos ? bytes.size() : end + 1;
    if (skip != unreadable.end() && *skip == line)
      ++skip;
    else
      kept.append(bytes.substr(start, end - start));
    start = end;
  }
  return kept;
}

std::string freeCopyName(const std::string& path) {
  if (std::optional<std::string> name = platform::freeBackupName(path)) return *name;
  throw std::runtime_error("no free name to keep " + path + " beside it");
}

}  // namespace

std::string RescueSettingsFile(const std::string& path, std::string& content) {
  content.clear();
  std::string bytes;
  const int error = platform::readWholeFile(path, platform::kSettingsFileMaxBytes, bytes);
  if (error == ENOENT) return {};

  bool damaged = false;
  std::optional<std::string> readable;
  if (error == 0) readable = readableLines(path, bytes, damaged);
  if (!readable) {
    // What cannot be read (no permission, not a regular file, too large) is
    // not copied: it is moved aside as it is, and the next save creates the
    // file anew.
    const std::string copy = freeCopyName(path);
    if (const int renameError = platform::renameFile(path, copy))
      throw std::runtime_error("cannot keep " + path + " as " + copy + ": " + std::strerror(renameError));
    return copy;
  }
  content = std::move(*readable);
  if (!damaged) return {};
  const std::string copy = freeCopyName(path);
  std::string writeError;
  if (!platform::writeFileAtomically(copy, bytes, &writeError)) throw std::runtime_error(writeError);
  if (!platform::writeFileAtomically(path, content, &writeError)) {
    platform::removeFile(copy);  // the file itself is still as it was
    throw std::runtime_error(writeError);
  }
  return copy;
}

}  // namespace serial
