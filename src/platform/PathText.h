#pragma once
// Paths as the program's text, UTF-8 on every system. A std::filesystem::path
// made from a narrow string, and its string(), use the ANSI code page on
// Windows, which cannot hold every name (a folder "Łódź" under a Western code
// page); these go through UTF-8 instead and are plain bytes on POSIX.
#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

// The separator between folders that the system's own programs show.
#ifdef _WIN32
inline constexpr char kShownPathSeparator = '\\';
#else
inline constexpr char kShownPathSeparator = '/';
#endif

// A path as the operator is shown it: on Windows, where both separators
// work, every slash becomes a backslash (a file dialog answers with
// slashes, a folder joined by hand mixes both); on POSIX a backslash is part
// of a name, so nothing changes. Any text encoding that keeps ASCII.
inline std::string shownPath(std::string path, char separator = kShownPathSeparator) {
  if (separator == '\\') std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

inline std::string utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

inline std::filesystem::path pathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace platform
