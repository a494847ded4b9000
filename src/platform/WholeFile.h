#pragma once
// The one reader of whole files (config.xml, orders files, "Kestrel.ini",
// copies kept aside). It reads regular files only and never opens anything
// else: a device or a FIFO in a file's place (a link to /dev/zero, a named
// pipe) is refused unopened, so it can neither block the program nor feed it
// without end. A file larger than the cap is refused unread.
#include <cstddef>
#include <limits>
#include <string>

namespace platform {

// The cap for settings and orders files.
inline constexpr std::size_t kSettingsFileMaxBytes = std::size_t{16} << 20;
inline constexpr std::size_t kNoSizeCap = std::numeric_limits<std::size_t>::max();

// Reads the whole file at path into bytes. Returns 0, or why it was not read:
// ENOENT no such file; EISDIR a folder; EINVAL something other than a regular
// file; EFBIG larger than maxBytes (also when it grew past it while being
// read); else the errno of the failed open or read. bytes is empty on failure.
int readWholeFile(const std::string& path, std::size_t maxBytes, std::string& bytes);

// A short English text for a failure of readWholeFile.
std::string wholeFileReadError(int error);

}  // namespace platform
