#include "platform/FileCalls.h"

#include <windows.h>

#include <cerrno>

#include "platform/Win32Rules.h"
#include "platform/win32/Win32Text.h"

namespace platform::files {

namespace {

int lastError() {
  return win32::errnoFrom(GetLastError());
}

HANDLE native(NativeHandle file) {
  return static_cast<HANDLE>(file);
}

// Why what stands at path is not read, or 0.
int refusal(DWORD attributes, std::uint64_t size, std::size_t maxBytes) {
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return EISDIR;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return EINVAL;
  if (size > maxBytes) return EFBIG;
  return 0;
}

}  // namespace

int openRegularFile(const std::string& path, std::size_t maxBytes, NativeHandle& file, std::size_t& size) {
  const std::wstring wide = win32::widenPath(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(wide.c_str(), GetFileExInfoStandard, &data)) return lastError();
  const std::uint64_t length = (std::uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  if (const int refused = refusal(data.dwFileAttributes, length, maxBytes)) return refused;
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return lastError();
  // The name may have been replaced between the look and the open: a pipe
  // or a device is no disk file.
  LARGE_INTEGER now{};
  int error = GetFileType(h) != FILE_TYPE_DISK ? EINVAL : !GetFileSizeEx(h, &now) ? lastError() : 0;
  if (error == 0 && static_cast<std::uint64_t>(now.QuadPart) > maxBytes) error = EFBIG;
  if (error != 0) {
    CloseHandle(h);
    return error;
  }
  file = h;
  size = static_cast<std::size_t>(now.QuadPart);
  return 0;
}

int readSome(NativeHandle file, char* buffer, std::size_t size, std::size_t& got) {
  DWORD n = 0;
  const DWORD want = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
  if (!ReadFile(native(file), buffer, want, &n, nullptr)) return lastError();
  got = n;
  return 0;
}

// Shared for reading and deleting, so that the folder can be tidied while a
// capture runs, as on POSIX.
int openForWriting(const std::string& path, bool append, NativeHandle& file) {
  // FILE_APPEND_DATA alone makes every write land at the end, even beside
  // another program appending; truncate() cuts back through a second handle.
  HANDLE h =
      CreateFileW(win32::widenPath(path).c_str(), append ? FILE_APPEND_DATA | SYNCHRONIZE : GENERIC_WRITE,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                  append ? OPEN_ALWAYS : CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    // A folder refuses with "access denied"; it is told apart, as on POSIX.
    const int error = lastError();
    const DWORD attributes = GetFileAttributesW(win32::widenPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? EISDIR : error;
  }
  file = h;
  return 0;
}

int writeAll(NativeHandle file, const char* data, std::size_t size, std::size_t& written) {
  written = 0;
  while (written < size) {
    const std::size_t left = size - written;
    DWORD n = 0;
    if (!WriteFile(native(file), data + written, left > 0x40000000u ? 0x40000000u : static_cast<DWORD>(left),
                   &n, nullptr))
      return lastError();
    if (n == 0) return ENOSPC;
    written += n;
  }
  return 0;
}

bool regularLength(NativeHandle file, std::uint64_t& length) {
  LARGE_INTEGER size{};
  if (GetFileType(native(file)) != FILE_TYPE_DISK || !GetFileSizeEx(native(file), &size)) return false;
  length = static_cast<std::uint64_t>(size.QuadPart);
  return true;
}

// An append handle may only add at the end (FILE_APPEND_DATA without
// FILE_WRITE_DATA): the cut goes through a second handle to the same file
// that may write anywhere.
int truncate(NativeHandle file, std::uint64_t length) {
  FILE_END_OF_FILE_INFO end{};
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(length);
  if (SetFileInformationByHandle(native(file), FileEndOfFileInfo, &end, sizeof end)) return 0;
  if (GetLastError() != ERROR_ACCESS_DENIED) return lastError();
  HANDLE writable =
      ReOpenFile(native(file), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, 0);
  if (writable == INVALID_HANDLE_VALUE) return lastError();
  const int error =
      SetFileInformationByHandle(writable, FileEndOfFileInfo, &end, sizeof end) ? 0 : lastError();
  CloseHandle(writable);
  return error;
}

int sync(NativeHandle file) {
  if (GetFileType(native(file)) != FILE_TYPE_DISK) return 0;
  return FlushFileBuffers(native(file)) ? 0 : lastError();
}

int close(NativeHandle file) {
  return CloseHandle(native(file)) ? 0 : lastError();
}

// A file deleted while open (shared for deleting) is marked for deletion;
// a file renamed away or replaced has another identity than the name's.
bool namesOpenFile(NativeHandle file, const std::string& path) {
  BY_HANDLE_FILE_INFORMATION open{};
  if (!GetFileInformationByHandle(native(file), &open)) return true;
  FILE_STANDARD_INFO standard{};
  if (GetFileInformationByHandleEx(native(file), FileStandardInfo, &standard, sizeof standard) &&
      standard.DeletePending)
    return false;
  HANDLE named =
      CreateFileW(win32::widenPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (named == INVALID_HANDLE_VALUE) {
    const DWORD err = GetLastError();
    return err != ERROR_FILE_NOT_FOUND && err != ERROR_PATH_NOT_FOUND;
  }
  BY_HANDLE_FILE_INFORMATION other{};
  const bool same =
      !GetFileInformationByHandle(named, &other) ||
      (other.dwVolumeSerialNumber == open.dwVolumeSerialNumber &&
       other.nFileIndexHigh == open.nFileIndexHigh && other.nFileIndexLow == open.nFileIndexLow);
  CloseHandle(named);
  return same;
}

bool fileExists(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(win32::widenPath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool nameIsFree(const std::string& path) {
  // A name that cannot even be looked at counts as taken.
  if (GetFileAttributesW(win32::widenPath(path).c_str()) != INVALID_FILE_ATTRIBUTES) return false;
  const DWORD err = GetLastError();
  return err == ERROR_FILE_NOT_FOUND;
}

int rename(const std::string& from, const std::string& to) {
  return MoveFileExW(win32::widenPath(from).c_str(), win32::widenPath(to).c_str(), MOVEFILE_REPLACE_EXISTING)
             ? 0
             : lastError();
}

int remove(const std::string& path) {
  return DeleteFileW(win32::widenPath(path).c_str()) ? 0 : lastError();
}

int replaceTarget(const std::string& path, ReplaceTarget& target) {
  target = {path, false, 0};
  const DWORD attributes = GetFileAttributesW(win32::widenPath(path).c_str());
  target.exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!target.exists) return 0;
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) return EINVAL;
  return attributes & FILE_ATTRIBUTE_READONLY ? EACCES : 0;
}

int createNew(const std::string& path, NativeHandle& file) {
  HANDLE h = CreateFileW(win32::widenPath(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return lastError();
  file = h;
  return 0;
}

// The replacing file takes the place, attributes and security of the old one
// (ReplaceFileW); a new name is simply moved there.
int keepMode(NativeHandle, const ReplaceTarget&) {
  return 0;
}

// A virus scanner or an indexer holds a freshly written file for a few
// milliseconds: a held target is tried again for a moment before it counts
// as in use. The move that follows a replace which lost the target may fail
// too; then only the new file is left, and the caller keeps it.
int replaceWith(const std::string& from, const ReplaceTarget& target) {
  const std::wstring source = win32::widenPath(from);
  const std::wstring destination = win32::widenPath(target.path);
  auto move = [&] {
    return MoveFileExW(source.c_str(), destination.c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : lastError();
  };
  if (!target.exists) return move();
  DWORD err = 0;
  for (int attempt = 0; attempt < 6; ++attempt) {
    if (attempt > 0) Sleep(10 * attempt);  // 150 ms in all
    if (ReplaceFileW(destination.c_str(), source.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                     nullptr))
      return 0;
    err = GetLastError();
    switch (win32rules::replaceFailure(err)) {
      case win32rules::ReplaceFailure::Move:
        return move();
      case win32rules::ReplaceFailure::Refused:
        return win32::errnoFrom(err);
      case win32rules::ReplaceFailure::Retry:
        break;
    }
  }
  return err == ERROR_ACCESS_DENIED ? EACCES : EBUSY;
}

int lockExclusively(const std::string& path, NativeHandle& file) {
  const std::wstring wide = win32::widenPath(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return EISDIR;
  HANDLE h = CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                         nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return lastError();
  if (GetFileType(h) != FILE_TYPE_DISK) {
    CloseHandle(h);
    return EINVAL;
  }
  // One byte far beyond any database's end: a database never reads or
  // writes there, and its own locks lie at 1 GiB.
  OVERLAPPED at{};
  at.OffsetHigh = 0x7fffffff;
  if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
    const DWORD error = GetLastError();
    CloseHandle(h);
    return error == ERROR_LOCK_VIOLATION || error == ERROR_IO_PENDING ? EWOULDBLOCK : win32::errnoFrom(error);
  }
  file = h;
  return 0;
}

}  // namespace platform::files
