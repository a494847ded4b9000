#include "platform/CaptureWriter.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/Cp1250.h"

namespace platform {

namespace {

std::string messageFor(FileWriteError::Operation operation, const std::string& path, int error,
                       std::size_t lostBytes) {
  const char* what = operation == FileWriteError::Operation::Open    ? "Nie można otworzyć pliku "
                     : operation == FileWriteError::Operation::Write ? "Nie można zapisać pliku "
                                                                     : "Nie można zamknąć pliku ";
  std::string message = pl(what) + utf8ToCp1250(path) + ": " + fileErrorReason(error);
  if (lostBytes != 0) message += pl(" (utracono bajtów: ") + std::to_string(lostBytes) + ")";
  return message;
}

int openFlags(OpenMode mode) {
  const int base = O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY;
  return mode == OpenMode::Append ? base | O_APPEND : base | O_TRUNC;
}

// The descriptor, or -1 with errno set.
int openDescriptor(const std::string& path, OpenMode mode) {
  int fd;
  do {
    fd = ::open(path.c_str(), openFlags(mode), 0666);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int openFile(const std::string& path, OpenMode mode) {
  const int fd = openDescriptor(path, mode);
  if (fd < 0) throw FileWriteError(FileWriteError::Operation::Open, path, errno);
  return fd;
}

// Writes all of the bytes; returns 0 or the error. A write that makes no
// progress is a full disk.
int writeAll(int fd, const char* data, std::size_t size, std::size_t& written) {
  written = 0;
  while (written < size) {
    const ssize_t n = ::write(fd, data + written, size - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    written += static_cast<std::size_t>(n);
  }
  return 0;
}

// close() is not retried on EINTR: on Linux the descriptor is gone either way.
int closeFile(int fd) {
  if (::close(fd) != 0 && errno != EINTR) return errno;
  return 0;
}

// Devices (a terminal, /dev/null) cannot be synced and need not be.
bool syncIsMeaningless(int error) {
  return error == EINVAL || error == EROFS || error == ENOTSUP;
}

}  // namespace

FileWriteError::FileWriteError(Operation operation, const std::string& path, int error, std::size_t lostBytes)
    : std::runtime_error(messageFor(operation, path, error, lostBytes)),
      operation_(operation),
      error_(error),
      path_(path) {}

std::string fileErrorReason(int error) {
  switch (error) {
    case ENOSPC:
      return pl("brak miejsca na dysku");
    case EDQUOT:
      return pl("przekroczony przydział miejsca na dysku");
    case ENOENT:
      return pl("nie ma takiego folderu");
    case ENOTDIR:
      return pl("część ścieżki nie jest folderem");
    case EACCES:
    case EPERM:
      return pl("brak uprawnień");
    case EROFS:
      return pl("dysk tylko do odczytu");
    case EISDIR:
      return pl("to jest folder");
    case ENAMETOOLONG:
      return pl("za długa nazwa");
    case EFBIG:
      return pl("plik jest za duży");
    case EMFILE:
    case ENFILE:
      return pl("za dużo otwartych plików");
    case EIO:
      return pl("błąd wejścia/wyjścia");
    case ESTALE:
    case ENODEV:
    case ENXIO:
      return pl("dysk jest niedostępny");
    default:
      return utf8ToCp1250(std::strerror(error)) + pl(" (kod ") + std::to_string(error) + ")";
  }
}

void writeFileOnce(const std::string& path, std::string_view bytes, OpenMode mode) {
  const int fd = openFile(path, mode);
  // Where this write begins (appending: the end of what is there).
  struct stat before {};
  const bool knownLength = ::fstat(fd, &before) == 0 && S_ISREG(before.st_mode);
  std::size_t written = 0;
  const int writeError = writeAll(fd, bytes.data(), bytes.size(), written);
  // A torn piece would be glued to the next good write: it goes again.
  if (writeError != 0 && written != 0 && knownLength) {
    while (::ftruncate(fd, before.st_size) != 0 && errno == EINTR) {
    }
  }
  const int closeError = closeFile(fd);
  if (writeError != 0) throw FileWriteError(FileWriteError::Operation::Write, path, writeError);
  // A network or full file system may report a deferred write error only here.
  if (closeError != 0) throw FileWriteError(FileWriteError::Operation::Close, path, closeError);
}

CaptureWriter::CaptureWriter(std::size_t bufferSize) : capacity_(bufferSize == 0 ? 1 : bufferSize) {}

CaptureWriter::~CaptureWriter() {
  closeQuietly();
}

void CaptureWriter::open(const std::string& path, OpenMode mode) {
  if (isOpen()) close();
  if (!buffer_) buffer_ = std::make_unique<char[]>(capacity_);
  fd_ = openFile(path, mode);
  path_ = path;
  used_ = 0;
  detached_ = vanished_ = false;
}

bool CaptureWriter::takeVanished() {
  const bool vanished = vanished_;
  vanished_ = false;
  return vanished;
}

bool CaptureWriter::namesOpenFile() const {
  struct stat open {
  }, named{};
  if (::fstat(fd_, &open) != 0) return true;  // cannot tell: the write will say
  if (open.st_nlink == 0) return false;
  if (::stat(path_.c_str(), &named) != 0) return errno != ENOENT && errno != ENOTDIR;
  return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

std::size_t CaptureWriter::writeOut(const char* data, std::size_t size, int& error,
                                    FileWriteError::Operation& failed) {
  if (fd_ >= 0 && !namesOpenFile()) {
    // Whatever went into the old file after it vanished would be lost with it.
    closeFile(fd_);
    fd_ = -1;
    detached_ = vanished_ = true;
  }
  if (fd_ < 0) {
    fd_ = openDescriptor(path_, OpenMode::Append);
    if (fd_ < 0) {
      error = errno;
      failed = FileWriteError::Operation::Open;
      return 0;
    }
    detached_ = false;
  }
  std::size_t written = 0;
  error = writeAll(fd_, data, size, written);
  failed = FileWriteError::Operation::Write;
  if (error == 0) ++writeOuts_;
  return written;
}

void CaptureWriter::flush() {
  if (!isOpen() || used_ == 0) return;
  int error = 0;
  FileWriteError::Operation failed{};
  const std::size_t written = writeOut(buffer_.get(), used_, error, failed);
  if (written != 0 && written < used_) std::memmove(buffer_.get(), buffer_.get() + written, used_ - written);
  used_ -= written;
  if (error != 0) throw FileWriteError(failed, path_, error);
}

void CaptureWriter::write(std::string_view bytes) {
  if (!isOpen()) throw FileWriteError(FileWriteError::Operation::Write, path_, EBADF);
  if (bytes.size() > capacity_ - used_) {
    flush();
    if (bytes.size() >= capacity_) {
      // A chunk as large as the buffer goes straight to the file.
      int error = 0;
      FileWriteError::Operation failed{};
      writeOut(bytes.data(), bytes.size(), error, failed);
      if (error != 0) throw FileWriteError(failed, path_, error);
      return;
    }
  }
  std::memcpy(buffer_.get() + used_, bytes.data(), bytes.size());
  used_ += bytes.size();
}

void CaptureWriter::close() {
  if (!isOpen()) return;
  int error = 0;
  FileWriteError::Operation failed = FileWriteError::Operation::Write;
  if (used_ != 0) used_ -= writeOut(buffer_.get(), used_, error, failed);
  if (fd_ >= 0) {
    // What was written must be on the disk once the file is closed.
    if (error == 0 && ::fsync(fd_) != 0 && !syncIsMeaningless(errno)) {
      error = errno;
      failed = FileWriteError::Operation::Close;
    }
    const int closeError = closeFile(fd_);
    if (error == 0 && closeError != 0) {
      error = closeError;
      failed = FileWriteError::Operation::Close;
    }
  }
  fd_ = -1;
  detached_ = false;
  const std::size_t lost = used_;
  used_ = 0;
  if (error != 0) throw FileWriteError(failed, path_, error, lost);
}

void CaptureWriter::closeQuietly() noexcept {
  try {
    close();
  } catch (const FileWriteError&) {
    // Nobody is left to tell.
  }
}

}  // namespace platform
