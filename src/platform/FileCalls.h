#pragma once
// The plain file calls that the readers and writers of files share, one side
// per system. Failures are errno values (a Win32 error is turned into the
// nearest one), so the callers decide the same way everywhere.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/NativeHandle.h"

namespace platform::files {

// Opens a regular file no larger than maxBytes for reading, looked at before
// it is opened (opening a device can have effects of its own) and again
// after: 0 with the handle and size, or ENOENT, EISDIR (a folder), EINVAL
// (something other than a regular file), EFBIG or the error of the open.
int openRegularFile(const std::string& path, std::size_t maxBytes, NativeHandle& file, std::size_t& size);
// Reads up to size bytes: 0 and how many (0 at the end), or the error.
int readSome(NativeHandle file, char* buffer, std::size_t size, std::size_t& got);

// Opens for writing, creating a missing file: appending, or emptied first.
int openForWriting(const std::string& path, bool append, NativeHandle& file);
// Writes all of the bytes; 0 or the error (a write that makes no progress
// is a full disk). written tells how far it got.
int writeAll(NativeHandle file, const char* data, std::size_t size, std::size_t& written);
// The length of an open regular file; false for anything else.
bool regularLength(NativeHandle file, std::uint64_t& length);
int truncate(NativeHandle file, std::uint64_t length);
// Pushes what was written to the disk; devices that cannot be synced give 0.
int sync(NativeHandle file);
int close(NativeHandle file);
// Whether path still names the open file (not removed, renamed away or
// replaced); true when it cannot be told.
bool namesOpenFile(NativeHandle file, const std::string& path);

// Something other than a folder stands at path (a link is followed).
bool fileExists(const std::string& path);
// Nothing at all stands at path, not even a dangling link.
bool nameIsFree(const std::string& path);
int rename(const std::string& from, const std::string& to);
int remove(const std::string& path);

// Opens the file at path, creating it when missing, and holds a lock on it
// that no other open of it (in this process or another) can take until the
// handle is closed; the byte-range locks of a database on the same file are
// not disturbed. 0, or EWOULDBLOCK when another holds it, EISDIR (a folder),
// EINVAL (no regular file) or the error of the open.
int lockExclusively(const std::string& path, NativeHandle& file);

}  // namespace platform::files

namespace platform::files {

// What replacing a file whole needs to know about the file replaced.
struct ReplaceTarget {
  std::string path;  // a symbolic link's target, else the path itself
  bool exists = false;
  unsigned mode = 0;  // its permissions, kept by the new file (POSIX)
};
// 0, or EINVAL when something other than a regular file stands there, or
// the error why an existing file may not be written (made read-only on
// purpose: not replaced behind the owner's back).
int replaceTarget(const std::string& path, ReplaceTarget& target);
// Creates a new file; EEXIST when the name is taken.
int createNew(const std::string& path, NativeHandle& file);
int keepMode(NativeHandle file, const ReplaceTarget& target);
// Puts the file at from in the target's place in one step, on the disk when
// it returns.
int replaceWith(const std::string& from, const ReplaceTarget& target);

}  // namespace platform::files
