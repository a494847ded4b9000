#include "platform/FileLock.h"

#include "platform/FileCalls.h"

namespace platform {

int FileLock::acquire(const std::string& path) {
  release();
  return files::lockExclusively(path, file_);
}

void FileLock::release() {
  if (file_ != kNoHandle) files::close(file_);
  file_ = kNoHandle;
}

}  // namespace platform
