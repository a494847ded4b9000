#pragma once
// Paths as the program's text, UTF-8 on every system. A std::filesystem::path
// made from a narrow string, and its string(), use the ANSI code page on
// Windows, which cannot hold every name (a folder "Łódź" under a Western code
// page); these go through UTF-8 instead and are plain bytes on POSIX.
#include <filesystem>
#include <string>
#include <string_view>

namespace platform {

inline std::string utf8Path(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return {text.begin(), text.end()};
}

inline std::filesystem::path pathFromUtf8(std::string_view utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace platform
