#pragma once
// The readers of files: one for whole files (config.xml, orders files,
// "Kestrel.ini", copies kept aside) and one line by line (files to open or
// import into the panes). Both read regular files only and never open
// anything else: a device or a FIFO in a file's place (a link to /dev/zero, a
// named pipe) is refused unopened, so it can neither block the program nor
// feed it without end. A whole file larger than the cap is refused unread.
#include <cstddef>
#include <limits>
#include <optional>
#include <string>
#include <string_view>

#include "platform/NativeHandle.h"

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

// A text file read line by line. A line ends at LF; a CR before the LF
// belongs to the line end. Failures throw std::runtime_error with a Polish
// message that names the file and the reason.
class LineReader {
 public:
  explicit LineReader(const std::string& path);
  ~LineReader();
  LineReader(const LineReader&) = delete;
  LineReader& operator=(const LineReader&) = delete;

  // The next line without its line end, valid until the next call; false at
  // the end of the file.
  bool next(std::string_view& line);

 private:
  void fill();

  std::string path_;
  NativeHandle file_ = kNoHandle;
  std::string buffer_;
  std::size_t start_ = 0;  // where the next line begins in buffer_
  bool end_ = false;
};

// Something other than a folder is at path (a link is followed).
bool fileExists(const std::string& path);

// A name for a copy kept beside path: path + ".bak", else ".bak2" up to
// ".bak99", the first at which nothing at all stands (no file, folder or
// link, not even a dangling one), so a copy never replaces an older one.
// Nothing when all are taken.
std::optional<std::string> freeBackupName(const std::string& path);

// Renames or removes a file; 0, or the errno of the failure.
int renameFile(const std::string& from, const std::string& to);
int removeFile(const std::string& path);

}  // namespace platform
