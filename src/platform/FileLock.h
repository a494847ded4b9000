#pragma once
// A file that one holder at a time keeps open: a second holder, in this
// process or another, is refused until the first lets go (or ends, killed or
// not). The byte-range locks a database takes on the same file are apart.
#include <string>

#include "platform/NativeHandle.h"

namespace platform {

class FileLock {
 public:
  FileLock() = default;
  ~FileLock() { release(); }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  // Opens the file at path (created when missing) and takes it. 0, or
  // EWOULDBLOCK when another holds it, EISDIR for a folder, EINVAL for no
  // regular file, or the error of the open.
  int acquire(const std::string& path);
  void release();
  bool held() const { return file_ != kNoHandle; }

 private:
  NativeHandle file_ = kNoHandle;
};

}  // namespace platform
