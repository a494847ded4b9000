#pragma once
// Files that the terminal replaces whole (config.xml, orders files, the ini
// file) are written to a temporary file in the same folder, flushed to disk and
// renamed over the old one, so a crash or a full disk never leaves half a file.
#include <functional>
#include <string>
#include <string_view>

#include "platform/NativeHandle.h"

namespace platform {

// Replaces the file at `path` with `bytes`. On any failure the old file is left
// as it was, the temporary file is removed (unless the system lost the old
// file while replacing it: then the temporary file is kept and named in
// `error`), false is returned and, when given,
// `error` gets a short English description with the system's reason. A symbolic
// link is followed (its target is replaced, the link stays). A file that exists
// but cannot be written is not replaced. A new file gets the mode 0666 less the
// umask; a replaced file keeps its mode.
bool writeFileAtomically(const std::string& path, std::string_view bytes, std::string* error = nullptr);

// The same replacement written in pieces, for a file too large to hold in
// memory: nothing changes at `path` until commit(), and a writer dropped
// before it (or failed) leaves the old file as it was, with no temporary file.
class AtomicFileWriter {
 public:
  explicit AtomicFileWriter(const std::string& path);
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // False once anything failed; error() then says what.
  bool write(std::string_view bytes);
  bool commit();
  const std::string& error() const { return error_; }

 private:
  bool abandon(const std::string& what, int err);

  std::string target_;
  bool targetExists_ = false;
  unsigned targetMode_ = 0;
  std::string tempPath_;
  NativeHandle file_ = kNoHandle;
  std::string error_;
};

// Copies the file at `from` to `to` (replacing `to` atomically). False when
// `from` cannot be read or `to` cannot be written.
bool copyFileAtomically(const std::string& from, const std::string& to, std::string* error = nullptr);

// The steps of a replacement where tests can inject a failure.
enum class AtomicWriteStep { Create, Write, Sync, Rename };

// Test seam: while set, the hook is asked before each step and a true answer
// makes that step fail as if the system had refused it (with EIO, or ENOSPC
// for Write). Pass an empty function to remove it. Not thread-safe.
void setAtomicWriteFaultForTesting(std::function<bool(AtomicWriteStep)> fault);

}  // namespace platform
