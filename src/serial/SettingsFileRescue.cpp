#include "serial/SettingsFileRescue.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "platform/AtomicFile.h"

namespace serial {

namespace {

constexpr int kMaxCopies = 100;
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

enum class ReadResult { Read, Missing, Failed };

ReadResult readWholeFile(const std::string& path, std::string& bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Failed;
  char buffer[16384];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      ::close(fd);
      return ReadResult::Failed;
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  return ReadResult::Read;
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

// A line the ini reader understands: blank, a comment, "[Section]" or
// "Key=Value" with a key.
bool isIniLine(std::string_view line) {
  if (line.find('\0') != std::string_view::npos) return false;
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  while (!line.empty() && isBlank(line.front())) line.remove_prefix(1);
  if (line.empty() || line.front() == ';' || line.front() == '#') return true;
  if (line.front() == '[') return line.find(']') != std::string_view::npos;
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) return false;
  std::string_view key = line.substr(0, eq);
  while (!key.empty() && isBlank(key.back())) key.remove_suffix(1);
  return !key.empty();
}

// The file's readable lines, with their own line ends; `damaged` tells
// whether any line was left out.
std::string readableLines(std::string_view bytes, bool& damaged) {
  damaged = false;
  if (bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
    damaged = true;  // the reader would not see a section on the first line
    bytes.remove_prefix(kUtf8Bom.size());
  }
  std::string kept;
  std::size_t start = 0;
  while (start < bytes.size()) {
    auto end = bytes.find('\n', start);
    end = end == std::string_view::npos ? bytes.size() : end + 1;
    const std::string_view segment = bytes.substr(start, end - start);
    std::string_view line = segment;
    if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
    if (isIniLine(line))
      kept.append(segment);
    else
      damaged = true;
    start = end;
  }
  return kept;
}

bool exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 || errno != ENOENT;
}

std::string freeCopyName(const std::string& path) {
  for (int n = 1; n <= kMaxCopies; ++n) {
    std::string candidate = path + ".bak" + (n == 1 ? std::string() : std::to_string(n));
    if (!exists(candidate)) return candidate;
  }
  throw std::runtime_error("no free name to keep " + path + " beside it");
}

}  // namespace

std::string RescueSettingsFile(const std::string& path) {
  std::string bytes;
  const ReadResult result = readWholeFile(path, bytes);
  if (result == ReadResult::Missing) return {};

  if (result == ReadResult::Failed) {
    // What cannot be read cannot be copied: move it aside as it is. The next
    // save then creates the file anew.
    const std::string copy = freeCopyName(path);
    if (std::rename(path.c_str(), copy.c_str()) != 0)
      throw std::runtime_error("cannot keep " + path + " as " + copy + ": " + std::strerror(errno));
    return copy;
  }

  bool damaged = false;
  const std::string kept = readableLines(bytes, damaged);
  if (!damaged) return {};
  const std::string copy = freeCopyName(path);
  std::string error;
  if (!platform::writeFileAtomically(copy, bytes, &error)) throw std::runtime_error(error);
  if (!platform::writeFileAtomically(path, kept, &error)) {
    ::unlink(copy.c_str());  // the file itself is still as it was
    throw std::runtime_error(error);
  }
  return copy;
}

}  // namespace serial
