#pragma once
// Writing the capture file: one line at a time with one open, write and close,
// or a stream through a buffer into a file that stays open. Every write, flush
// and close is checked; a failure throws FileWriteError with a message for the
// operator (Windows-1250) that names the file and the reason.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "platform/NativeHandle.h"

namespace platform {

class FileWriteError : public std::runtime_error {
 public:
  enum class Operation { Open, Write, Close };
  // path is the file system's (UTF-8) path; lostBytes, when not 0, is how
  // much buffered data was given up; tornBytes, how much of a failed write
  // stayed in the file because it could not be cut off again.
  FileWriteError(Operation operation, const std::string& path, int error, std::size_t lostBytes = 0,
                 std::size_t tornBytes = 0);
  Operation operation() const { return operation_; }
  int error() const { return error_; }
  const std::string& path() const { return path_; }

 private:
  Operation operation_;
  int error_;
  std::string path_;
};

// The reason for a failed file operation, in Polish, Windows-1250.
std::string fileErrorReason(int error);

enum class OpenMode {
  Append,  // append, creating the file when it does not exist
  Create,  // create anew, emptying an existing file
};

// Opens path, writes bytes and closes it again. Nothing stays open when it
// throws, and a write that fails part-way (a full disk) is cut off again, so
// the file keeps its length from before: all of bytes or none of them (the
// error says so when the cut itself failed).
void writeFileOnce(const std::string& path, std::string_view bytes, OpenMode mode);

// A file that stays open and is written through a buffer. Bytes that a failed
// flush could not write stay in the buffer for the next try, so a disk that
// fills up loses at most one buffer's worth, and only when the file is closed
// before the disk has room again.
//
// Before each write-out it makes sure that the path still names the open file.
// When the file was removed, renamed away or replaced (or its folder removed),
// it lets go of it, keeps the buffer, and appends to the path again as soon as
// a file can be created there; until then a write-out fails with the open's
// error.
class CaptureWriter {
 public:
  static constexpr std::size_t kDefaultBufferSize = std::size_t{256} << 10;

  explicit CaptureWriter(std::size_t bufferSize = kDefaultBufferSize);
  // Writes out and closes an open file; errors can no longer be reported here.
  ~CaptureWriter();
  CaptureWriter(const CaptureWriter&) = delete;
  CaptureWriter& operator=(const CaptureWriter&) = delete;

  // Opens path; an open file is closed first (see close()).
  void open(const std::string& path, OpenMode mode);
  // Open, also while waiting for a vanished file's path to take a new file.
  bool isOpen() const { return file_ != kNoHandle || detached_; }
  const std::string& path() const { return path_; }

  // Takes all of bytes or, when it throws, none of them (bytes written straight
  // to the file before a failure stay there).
  void write(std::string_view bytes);
  // Writes the buffer out to the file.
  void flush();
  // Bytes in the buffer, not yet handed to the system.
  std::size_t pending() const { return used_; }
  // Write-outs that got all their bytes into the file, so far.
  std::uint64_t writeOuts() const { return writeOuts_; }
  // True once after a write-out found that the path no longer names the open
  // file.
  bool takeVanished();
  // Writes the buffer out, syncs the file to the disk and closes it. The file
  // is closed even when that fails; the error says how much was lost.
  void close();
  // Closes without reporting anything (at the way out of the process).
  void closeQuietly() noexcept;

 private:
  // Writes what it can of [data, data + size) into the file the path names;
  // returns the bytes written, or sets error and the failed operation.
  std::size_t writeOut(const char* data, std::size_t size, int& error, FileWriteError::Operation& failed);

  std::size_t capacity_;
  std::unique_ptr<char[]> buffer_;
  std::size_t used_ = 0;
  NativeHandle file_ = kNoHandle;
  // The file vanished from the path; none is open until one can be created.
  bool detached_ = false;
  bool vanished_ = false;
  std::uint64_t writeOuts_ = 0;
  std::string path_;
};

}  // namespace platform
