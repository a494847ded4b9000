#include "platform/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "platform/CaptureWriter.h"
#include "platform/Cp1250.h"

namespace platform {

namespace {

constexpr int kMaxBackups = 99;

// Why a file of this kind and size is not read, or 0.
int refusal(const struct stat& st, std::size_t maxBytes) {
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) return EFBIG;
  return 0;
}

// Opens a regular file no larger than maxBytes for reading: 0 and the
// descriptor, or why not.
int openRegularFile(const std::string& path, std::size_t maxBytes, int& fd, std::size_t& size) {
  // Looked at before it is opened: opening a device can have effects of its
  // own (a serial line raises its modem lines).
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno;
  if (const int refused = refusal(st, maxBytes)) return refused;
  do {
    // Without blocking: a FIFO put in the file's place meanwhile cannot hang.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  // The name may have been replaced between the look and the open.
  int error = ::fstat(fd, &st) != 0 ? errno : refusal(st, maxBytes);
  if (error != 0) {
    ::close(fd);
    fd = -1;
  }
  size = static_cast<std::size_t>(st.st_size);
  return error;
}

// Reads up to size bytes: how many (0 at the end), or -1 with errno.
ssize_t readSome(int fd, char* buffer, std::size_t size) {
  ssize_t n;
  do {
    n = ::read(fd, buffer, size);
  } while (n < 0 && errno == EINTR);
  return n;
}

int readOpenFile(int fd, std::size_t maxBytes, std::string& bytes) {
  char buffer[65536];
  for (;;) {
    const ssize_t n = readSome(fd, buffer, sizeof buffer);
    if (n < 0) return errno;
    if (n == 0) return 0;
    if (static_cast<std::size_t>(n) > maxBytes - bytes.size()) return EFBIG;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

[[noreturn]] void failLineRead(const char* what, const std::string& path, int error) {
  const std::string reason = error == EINVAL ? pl("to nie jest zwykły plik") : fileErrorReason(error);
  throw std::runtime_error(pl(what) + utf8ToCp1250(path) + ": " + reason);
}

}  // namespace

int readWholeFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
  bytes.clear();
  int fd = -1;
  std::size_t size = 0;
  if (const int error = openRegularFile(path, maxBytes, fd, size); error != 0) return error;
  bytes.reserve(size);
  const int error = readOpenFile(fd, maxBytes, bytes);
  ::close(fd);
  if (error != 0) bytes.clear();
  return error;
}

std::string wholeFileReadError(int error) {
  switch (error) {
    case EFBIG:
      return "file too large";
    case EISDIR:
    case EINVAL:
      return "not a regular file";
    default:
      return std::string("cannot read: ") + std::strerror(error);
  }
}

LineReader::LineReader(const std::string& path) : path_(path) {
  std::size_t size = 0;
  if (const int error = openRegularFile(path, kNoSizeCap, fd_, size); error != 0)
    failLineRead("Nie można otworzyć pliku ", path, error);
}

LineReader::~LineReader() {
  ::close(fd_);
}

bool LineReader::next(std::string_view& line) {
  std::size_t scanFrom = start_;
  for (;;) {
    const std::size_t lf = buffer_.find('\n', scanFrom);
    if (lf != std::string::npos) {
      line = std::string_view(buffer_).substr(start_, lf - start_);
      start_ = lf + 1;
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      return true;
    }
    if (end_) {
      if (start_ == buffer_.size()) return false;
      line = std::string_view(buffer_).substr(start_);
      start_ = buffer_.size();
      return true;
    }
    // The start of an unfinished line moves to the front; more is read after it.
    buffer_.erase(0, start_);
    start_ = 0;
    scanFrom = buffer_.size();
    fill();
  }
}

void LineReader::fill() {
  char chunk[65536];
  const ssize_t n = readSome(fd_, chunk, sizeof chunk);
  if (n < 0) failLineRead("Nie można odczytać pliku ", path_, errno);
  if (n == 0) end_ = true;
  buffer_.append(chunk, static_cast<std::size_t>(n > 0 ? n : 0));
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

std::optional<std::string> freeBackupName(const std::string& path) {
  for (int n = 1; n <= kMaxBackups; ++n) {
    std::string candidate = path + ".bak" + (n == 1 ? std::string() : std::to_string(n));
    struct stat st {};
    // A name that cannot even be looked at counts as taken.
    if (::lstat(candidate.c_str(), &st) != 0 && errno == ENOENT) return candidate;
  }
  return std::nullopt;
}

int renameFile(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int removeFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

}  // namespace platform
