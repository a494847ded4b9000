#include "platform/WholeFile.h"

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "platform/CaptureWriter.h"
#include "platform/Cp1250.h"
#include "platform/FileCalls.h"

namespace platform {

namespace {

constexpr int kMaxBackups = 99;

int readOpenFile(NativeHandle file, std::size_t maxBytes, std::string& bytes) {
  char buffer[65536];
  for (;;) {
    std::size_t n = 0;
    if (const int error = files::readSome(file, buffer, sizeof buffer, n); error != 0) return error;
    if (n == 0) return 0;
    if (n > maxBytes - bytes.size()) return EFBIG;
    bytes.append(buffer, n);
  }
}

[[noreturn]] void failLineRead(const char* what, const std::string& path, int error) {
  const std::string reason = error == EINVAL ? pl("to nie jest zwykły plik") : fileErrorReason(error);
  throw std::runtime_error(pl(what) + utf8ToCp1250(path) + ": " + reason);
}

}  // namespace

int readWholeFile(const std::string& path, std::size_t maxBytes, std::string& bytes) {
  bytes.clear();
  NativeHandle file = kNoHandle;
  std::size_t size = 0;
  if (const int error = files::openRegularFile(path, maxBytes, file, size); error != 0) return error;
  bytes.reserve(size);
  const int error = readOpenFile(file, maxBytes, bytes);
  files::close(file);
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
  if (const int error = files::openRegularFile(path, kNoSizeCap, file_, size); error != 0)
    failLineRead("Nie można otworzyć pliku ", path, error);
}

LineReader::~LineReader() {
  files::close(file_);
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
  std::size_t n = 0;
  if (const int error = files::readSome(file_, chunk, sizeof chunk, n); error != 0)
    failLineRead("Nie można odczytać pliku ", path_, error);
  if (n == 0) end_ = true;
  buffer_.append(chunk, n);
}

bool fileExists(const std::string& path) {
  return files::fileExists(path);
}

std::optional<std::string> freeBackupName(const std::string& path) {
  for (int n = 1; n <= kMaxBackups; ++n) {
    std::string candidate = path + ".bak" + (n == 1 ? std::string() : std::to_string(n));
    if (files::nameIsFree(candidate)) return candidate;
  }
  return std::nullopt;
}

int renameFile(const std::string& from, const std::string& to) {
  return files::rename(from, to);
}

int removeFile(const std::string& path) {
  return files::remove(path);
}

}  // namespace platform
