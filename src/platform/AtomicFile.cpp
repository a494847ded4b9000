#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <random>

#include "platform/WholeFile.h"

namespace platform {
namespace {

std::function<bool(AtomicWriteStep)>& faultHook() {
  static std::function<bool(AtomicWriteStep)> hook;
  return hook;
}

bool injectedFault(AtomicWriteStep step) {
  return faultHook() && faultHook()(step);
}

bool fail(std::string* error, const std::string& what, int err) {
  if (error) *error = what + ": " + std::strerror(err);
  return false;
}

std::string directoryOf(const std::string& path) {
  const auto slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The file that is really replaced: the target of a symbolic link, else the
// path itself.
std::string resolveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved)) return resolved;
  }
  return path;
}

int createTemporary(const std::string& target, std::string& tempPath) {
  thread_local std::mt19937 random{std::random_device{}()};
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000);
    const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool writeAll(int fd, std::string_view bytes, int& err) {
  std::size_t limit = bytes.size();
  const bool faulty = injectedFault(AtomicWriteStep::Write);
  if (faulty) limit /= 2;  // a disk that fills up half-way
  std::size_t done = 0;
  while (done < limit) {
    const ssize_t n = ::write(fd, bytes.data() + done, limit - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    if (n == 0) {
      err = ENOSPC;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  if (faulty) {
    err = ENOSPC;
    return false;
  }
  return true;
}

void syncDirectory(const std::string& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the rename is already done
  ::close(fd);
}

}  // namespace

void setAtomicWriteFaultForTesting(std::function<bool(AtomicWriteStep)> fault) {
  faultHook() = std::move(fault);
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  const std::string target = resolveTarget(path);

  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists) {
    if (!S_ISREG(old.st_mode)) return fail(error, "not a regular file " + target, EINVAL);
    // A file made read-only on purpose is not replaced behind the owner's back.
    if (::access(target.c_str(), W_OK) != 0) return fail(error, "cannot write " + target, errno);
  }

  std::string tempPath;
  if (injectedFault(AtomicWriteStep::Create))
    return fail(error, "cannot create a file beside " + target, EIO);
  const int fd = createTemporary(target, tempPath);
  if (fd < 0) return fail(error, "cannot create a file beside " + target, errno);

  auto abandon = [&](const std::string& what, int err) {
    ::close(fd);
    ::unlink(tempPath.c_str());
    return fail(error, what + " " + tempPath, err);
  };

  int err = 0;
  if (!writeAll(fd, bytes, err)) return abandon("cannot write", err);
  if (exists && ::fchmod(fd, old.st_mode & 07777) != 0) return abandon("cannot set the mode of", errno);
  if (injectedFault(AtomicWriteStep::Sync)) return abandon("cannot flush", EIO);
  if (::fsync(fd) != 0) return abandon("cannot flush", errno);
  if (::close(fd) != 0) {
    const int closeErr = errno;
    ::unlink(tempPath.c_str());
    return fail(error, "cannot close " + tempPath, closeErr);
  }

  const bool renameRefused = injectedFault(AtomicWriteStep::Rename);
  if (renameRefused || ::rename(tempPath.c_str(), target.c_str()) != 0) {
    const int renameErr = renameRefused ? EIO : errno;
    ::unlink(tempPath.c_str());
    return fail(error, "cannot replace " + target, renameErr);
  }
  syncDirectory(directoryOf(target));
  return true;
}

bool copyFileAtomically(const std::string& from, const std::string& to, std::string* error) {
  std::string bytes;
  if (const int err = readWholeFile(from, kNoSizeCap, bytes); err != 0)
    return fail(error, "cannot read " + from, err);
  return writeFileAtomically(to, bytes, error);
}

}  // namespace platform
