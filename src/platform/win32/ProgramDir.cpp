#include "platform/ProgramDir.h"

#include <windows.h>
// windows.h first: the shell's headers need its types.
#include <knownfolders.h>
#include <shlobj.h>

#include <string>

namespace platform {

std::filesystem::path executableDirectory() {
  std::wstring name(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
    if (n == 0) {
      std::error_code ec;
      return std::filesystem::current_path(ec);
    }
    if (n < name.size()) {
      name.resize(n);
      return std::filesystem::path(name).parent_path();
    }
    name.resize(name.size() * 2);
  }
}

namespace {

// Access rights decide, not attributes: a file is made there and removed.
bool canWriteIn(const std::filesystem::path& dir) {
  const std::filesystem::path probe = dir / L"terso-write-test.tmp";
  HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                         FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
  CloseHandle(h);
  return true;
}

bool samePathPart(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// Whether dir is root or a folder below it, as Windows compares names
// (without regard to case).
bool isWithin(const std::filesystem::path& dir, const std::filesystem::path& root) {
  const std::filesystem::path d = dir.lexically_normal();
  const std::filesystem::path r = root.lexically_normal();
  auto di = d.begin();
  for (auto ri = r.begin(); ri != r.end(); ++ri, ++di) {
    if (ri->empty()) continue;  // the empty part after a trailing separator
    if (di == d.end() || !samePathPart(di->native(), ri->native())) return false;
  }
  return true;
}

std::filesystem::path knownFolder(REFKNOWNFOLDERID id) {
  PWSTR path = nullptr;
  std::filesystem::path result;
  if (SUCCEEDED(SHGetKnownFolderPath(id, 0, nullptr, &path))) result = path;
  CoTaskMemFree(path);
  return result;
}

// An installed program (Program Files, the Windows folder): an administrator
// or a lax installer may leave it writable, but settings belong to each user.
bool systemDirectory(const std::filesystem::path& dir) {
  for (REFKNOWNFOLDERID id : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86, FOLDERID_Windows}) {
    const std::filesystem::path root = knownFolder(id);
    if (!root.empty() && isWithin(dir, root)) return true;
  }
  return false;
}

}  // namespace

// The program folder when it can be written (a copy unpacked anywhere),
// else %APPDATA%\terso (an install under Program Files).
std::filesystem::path settingsDirectory(const std::filesystem::path& programDir) {
  if (!systemDirectory(programDir) && canWriteIn(programDir)) return programDir;
  wchar_t appData[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return programDir;
  const auto dir = std::filesystem::path(appData) / L"terso";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

}  // namespace platform
