#include "platform/CaptureWriter.h"

#include <cerrno>
#include <cstring>

#include "platform/Cp1250.h"
#include "platform/FileCalls.h"

namespace platform {

namespace {

std::string messageFor(FileWriteError::Operation operation, const std::string& path, int error,
                       std::size_t lostBytes, std::size_t tornBytes) {
  const char* what = operation == FileWriteError::Operation::Open    ? "Nie można otworzyć pliku "
                     : operation == FileWriteError::Operation::Write ? "Nie można zapisać pliku "
                                                                     : "Nie można zamknąć pliku ";
  std::string message = pl(what) + utf8ToCp1250(path) + ": " + fileErrorReason(error);
  if (lostBytes != 0) message += pl(" (utracono bajtów: ") + std::to_string(lostBytes) + ")";
  if (tornBytes != 0)
    message += pl(" (w pliku został niepełny zapis, bajtów: ") + std::to_string(tornBytes) + ")";
  return message;
}

NativeHandle openFile(const std::string& path, OpenMode mode) {
  NativeHandle file = kNoHandle;
  if (const int error = files::openForWriting(path, mode == OpenMode::Append, file); error != 0)
    throw FileWriteError(FileWriteError::Operation::Open, path, error);
  return file;
}

}  // namespace

FileWriteError::FileWriteError(Operation operation, const std::string& path, int error, std::size_t lostBytes,
                               std::size_t tornBytes)
    : std::runtime_error(messageFor(operation, path, error, lostBytes, tornBytes)),
      operation_(operation),
      error_(error),
      path_(path) {}

std::string fileErrorReason(int error) {
  switch (error) {
    case ENOSPC:
      return pl("brak miejsca na dysku");
#ifdef EDQUOT
    case EDQUOT:
      return pl("przekroczony przydział miejsca na dysku");
#endif
    case ENOENT:
      return pl("nie ma takiego folderu");
    case ENOTDIR:
      return pl("część ścieżki nie jest folderem");
    case EACCES:
    case EPERM:
      return pl("brak uprawnień");
    case EBUSY:
      return pl("plik jest otwarty w innym programie");
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
#ifdef ESTALE
    case ESTALE:
#endif
    case ENODEV:
    case ENXIO:
      return pl("dysk jest niedostępny");
    default:
      return utf8ToCp1250(std::strerror(error)) + pl(" (kod ") + std::to_string(error) + ")";
  }
}

void writeFileOnce(const std::string& path, std::string_view bytes, OpenMode mode) {
  const NativeHandle file = openFile(path, mode);
  // Where this write begins (appending: the end of what is there).
  std::uint64_t before = 0;
  const bool knownLength = files::regularLength(file, before);
  std::size_t written = 0;
  const int writeError = files::writeAll(file, bytes.data(), bytes.size(), written);
  // A torn piece would be glued to the next good write: it goes again.
  std::size_t torn = 0;
  if (writeError != 0 && written != 0) torn = knownLength && files::truncate(file, before) == 0 ? 0 : written;
  const int closeError = files::close(file);
  if (writeError != 0) throw FileWriteError(FileWriteError::Operation::Write, path, writeError, 0, torn);
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
  file_ = openFile(path, mode);
  path_ = path;
  used_ = 0;
  detached_ = vanished_ = false;
}

bool CaptureWriter::takeVanished() {
  const bool vanished = vanished_;
  vanished_ = false;
  return vanished;
}

std::size_t CaptureWriter::writeOut(const char* data, std::size_t size, int& error,
                                    FileWriteError::Operation& failed) {
  if (file_ != kNoHandle && !files::namesOpenFile(file_, path_)) {
    // Whatever went into the old file after it vanished would be lost with it.
    files::close(file_);
    file_ = kNoHandle;
    detached_ = vanished_ = true;
  }
  if (file_ == kNoHandle) {
    error = files::openForWriting(path_, true, file_);
    if (error != 0) {
      file_ = kNoHandle;
      failed = FileWriteError::Operation::Open;
      return 0;
    }
    detached_ = false;
  }
  std::size_t written = 0;
  error = files::writeAll(file_, data, size, written);
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
  if (file_ != kNoHandle) {
    // What was written must be on the disk once the file is closed.
    if (error == 0) {
      error = files::sync(file_);
      if (error != 0) failed = FileWriteError::Operation::Close;
    }
    const int closeError = files::close(file_);
    if (error == 0 && closeError != 0) {
      error = closeError;
      failed = FileWriteError::Operation::Close;
    }
  }
  file_ = kNoHandle;
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
