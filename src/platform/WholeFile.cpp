#include "platform/WholeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace platform {

namespace {

// Why a file of this kind and size is not read, or 0.
int refusal(const struct stat& st, std::size_t maxBytes) {
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) return EFBIG;
  return 0;
}

int readOpenFile(int fd, std::size_t maxBytes, std::string& bytes) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return errno;
  // The name may have been replaced between the look and the open.
  if (const int refused = refusal(st, maxBytes)) return refused;
  bytes.reserve(static_cast<std::size_t>(st.st_size));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    if (static_cast<std::size_t>(n) > maxBytes - bytes.size()) return EFBIG;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
}

}  // namespace

int readWholeFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
  bytes.clear();
  // Looked at before it is opened: opening a device can have effects of its
  // own (a serial line raises its modem lines).
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno;
  if (const int refused = refusal(st, maxBytes)) return refused;

  int fd;
  do {
    // Without blocking: a FIFO put in the file's place meanwhile cannot hang.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
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

}  // namespace platform
