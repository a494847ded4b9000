#include "platform/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <random>
#include <thread>
#include <utility>

#include "platform/FileCalls.h"
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
  // A file another program holds open (a spreadsheet) is no matter of rights.
  if (error) *error = what + ": " + (err == EBUSY ? "in use by another program" : std::strerror(err));
  return false;
}

int createTemporary(const std::string& target, std::string& tempPath, NativeHandle& file) {
  thread_local std::mt19937 random{std::random_device{}()};
  const auto thread = std::hash<std::thread::id>{}(std::this_thread::get_id()) % 100000;
  for (int attempt = 0; attempt < 100; ++attempt) {
    tempPath = target + ".tmp" + std::to_string(thread) + "-" + std::to_string(random() % 1000000);
    const int error = files::createNew(tempPath, file);
    if (error != EEXIST) return error;
  }
  return EEXIST;
}

int writeAll(NativeHandle file, std::string_view bytes) {
  std::size_t limit = bytes.size();
  const bool faulty = injectedFault(AtomicWriteStep::Write);
  if (faulty) limit /= 2;  // a disk that fills up half-way
  std::size_t written = 0;
  if (const int error = files::writeAll(file, bytes.data(), limit, written); error != 0) return error;
  return faulty ? ENOSPC : 0;
}

}  // namespace

void setAtomicWriteFaultForTesting(std::function<bool(AtomicWriteStep)> fault) {
  faultHook() = std::move(fault);
}

AtomicFileWriter::AtomicFileWriter(const std::string& path) {
  files::ReplaceTarget target;
  if (const int refused = files::replaceTarget(path, target); refused != 0) {
    fail(&error_, (refused == EINVAL ? "not a regular file " : "cannot write ") + target.path, refused);
    return;
  }
  target_ = target.path;
  targetExists_ = target.exists;
  targetMode_ = target.mode;
  if (injectedFault(AtomicWriteStep::Create)) {
    fail(&error_, "cannot create a file beside " + target_, EIO);
    return;
  }
  if (const int err = createTemporary(target_, tempPath_, file_); err != 0) {
    file_ = kNoHandle;
    fail(&error_, "cannot create a file beside " + target_, err);
  }
}

AtomicFileWriter::~AtomicFileWriter() {
  if (file_ != kNoHandle) {
    files::close(file_);
    files::remove(tempPath_);
  }
}

bool AtomicFileWriter::abandon(const std::string& what, int err) {
  files::close(file_);
  file_ = kNoHandle;
  files::remove(tempPath_);
  return fail(&error_, what + " " + tempPath_, err);
}

bool AtomicFileWriter::write(std::string_view bytes) {
  if (file_ == kNoHandle) return false;
  if (const int err = writeAll(file_, bytes); err != 0) return abandon("cannot write", err);
  return true;
}

bool AtomicFileWriter::commit() {
  if (file_ == kNoHandle) return false;
  const files::ReplaceTarget target{target_, targetExists_, targetMode_};
  if (const int err = files::keepMode(file_, target); err != 0) return abandon("cannot set the mode of", err);
  if (injectedFault(AtomicWriteStep::Sync)) return abandon("cannot flush", EIO);
  if (const int err = files::sync(file_); err != 0) return abandon("cannot flush", err);
  const int closeErr = files::close(std::exchange(file_, kNoHandle));
  if (closeErr != 0) {
    files::remove(tempPath_);
    return fail(&error_, "cannot close " + tempPath_, closeErr);
  }

  const bool renameRefused = injectedFault(AtomicWriteStep::Rename);
  const int renameErr = renameRefused ? EIO : files::replaceWith(tempPath_, target);
  if (renameErr != 0) {
    // A replace can lose the old file before the new one takes its place:
    // then the new one is all there is, and it stays under its own name.
    if (target.exists && !files::fileExists(target.path))
      return fail(&error_,
                  "cannot replace " + target.path + " (the new content is kept in " + tempPath_ + ")",
                  renameErr);
    files::remove(tempPath_);
    return fail(&error_, "cannot replace " + target.path, renameErr);
  }
  return true;
}

bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error) {
  AtomicFileWriter writer(path);
  const bool written = writer.write(bytes) && writer.commit();
  if (!written && error) *error = writer.error();
  return written;
}

bool copyFileAtomically(const std::string& from, const std::string& to, std::string* error) {
  std::string bytes;
  if (const int err = readWholeFile(from, kNoSizeCap, bytes); err != 0)
    return fail(error, "cannot read " + from, err);
  return writeFileAtomically(to, bytes, error);
}

}  // namespace platform
