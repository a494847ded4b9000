#include "platform/FileCalls.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace platform::files {

namespace {

// Why a file of this kind and size is not read, or 0.
int refusal(const struct stat& st, std::size_t maxBytes) {
  if (S_ISDIR(st.st_mode)) return EISDIR;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  if (static_cast<std::uintmax_t>(st.st_size) > maxBytes) return EFBIG;
  return 0;
}

// Devices (a terminal, /dev/null) cannot be synced and need not be.
bool syncIsMeaningless(int error) {
  return error == EINVAL || error == EROFS || error == ENOTSUP;
}

}  // namespace

int openRegularFile(const std::string& path, std::size_t maxBytes, NativeHandle& file, std::size_t& size) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return errno;
  if (const int refused = refusal(st, maxBytes)) return refused;
  int fd;
  do {
    // Without blocking: a FIFO put in the file's place meanwhile cannot hang.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  // The name may have been replaced between the look and the open.
  const int error = ::fstat(fd, &st) != 0 ? errno : refusal(st, maxBytes);
  if (error != 0) {
    ::close(fd);
    return error;
  }
  file = fd;
  size = static_cast<std::size_t>(st.st_size);
  return 0;
}

int readSome(NativeHandle file, char* buffer, std::size_t size, std::size_t& got) {
  ssize_t n;
  do {
    n = ::read(file, buffer, size);
  } while (n < 0 && errno == EINTR);
  if (n < 0) return errno;
  got = static_cast<std::size_t>(n);
  return 0;
}

int openForWriting(const std::string& path, bool append, NativeHandle& file) {
  const int flags = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | (append ? O_APPEND : O_TRUNC);
  int fd;
  do {
    fd = ::open(path.c_str(), flags, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return errno;
  file = fd;
  return 0;
}

int writeAll(NativeHandle file, const char* data, std::size_t size, std::size_t& written) {
  written = 0;
  while (written < size) {
    const ssize_t n = ::write(file, data + written, size - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    written += static_cast<std::size_t>(n);
  }
  return 0;
}

bool regularLength(NativeHandle file, std::uint64_t& length) {
  struct stat st {};
  if (::fstat(file, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  length = static_cast<std::uint64_t>(st.st_size);
  return true;
}

int truncate(NativeHandle file, std::uint64_t length) {
  while (::ftruncate(file, static_cast<off_t>(length)) != 0) {
    if (errno != EINTR) return errno;
  }
  return 0;
}

int sync(NativeHandle file) {
  if (::fsync(file) == 0 || syncIsMeaningless(errno)) return 0;
  return errno;
}

// close() is not retried on EINTR: on Linux the descriptor is gone either way.
int close(NativeHandle file) {
  if (::close(file) != 0 && errno != EINTR) return errno;
  return 0;
}

bool namesOpenFile(NativeHandle file, const std::string& path) {
  struct stat open {
  }, named{};
  if (::fstat(file, &open) != 0) return true;  // cannot tell: the write will say
  if (open.st_nlink == 0) return false;
  if (::stat(path.c_str(), &named) != 0) return errno != ENOENT && errno != ENOTDIR;
  return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

bool fileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool nameIsFree(const std::string& path) {
  struct stat st {};
  // A name that cannot even be looked at counts as taken.
  return ::lstat(path.c_str(), &st) != 0 && errno == ENOENT;
}

int rename(const std::string& from, const std::string& to) {
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int remove(const std::string& path) {
  return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

}  // namespace platform::files

#include <climits>
#include <cstdlib>

namespace platform::files {

int replaceTarget(const std::string& path, ReplaceTarget& target) {
  target = {path, false, 0};
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) target.path = resolved;
  }
  target.exists = ::stat(target.path.c_str(), &st) == 0;
  if (!target.exists) return 0;
  target.mode = st.st_mode & 07777;
  if (!S_ISREG(st.st_mode)) return EINVAL;
  return ::access(target.path.c_str(), W_OK) == 0 ? 0 : errno;
}

int createNew(const std::string& path, NativeHandle& file) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd < 0) return errno;
  file = fd;
  return 0;
}

int keepMode(NativeHandle file, const ReplaceTarget& target) {
  if (!target.exists) return 0;
  return ::fchmod(file, static_cast<mode_t>(target.mode)) == 0 ? 0 : errno;
}

int replaceWith(const std::string& from, const ReplaceTarget& target) {
  if (::rename(from.c_str(), target.path.c_str()) != 0) return errno;
  const auto slash = target.path.find_last_of('/');
  const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.path.substr(0, slash);
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);  // best effort: the rename is already done
    ::close(fd);
  }
  return 0;
}

int lockExclusively(const std::string& path, NativeHandle& file) {
  int fd;
  do {
    // Reading is enough for flock, and leaves a write-protected file to be
    // told apart by its opener.
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0 && errno == ENOENT)
      fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOCTTY, 0666);
  } while (fd < 0 && (errno == EINTR || errno == EEXIST));
  if (fd < 0) return errno;
  struct stat st {};
  int error = ::fstat(fd, &st) != 0  ? errno
              : S_ISDIR(st.st_mode)  ? EISDIR
              : !S_ISREG(st.st_mode) ? EINVAL
                                     : 0;
  // flock is apart from the fcntl locks a database takes on the same file.
  if (error == 0) {
    int locked;
    do {
      locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) error = errno == EAGAIN ? EWOULDBLOCK : errno;
  }
  if (error != 0) {
    ::close(fd);
    return error;
  }
  file = fd;
  return 0;
}

}  // namespace platform::files
