#include "platform/ProgramDir.h"

#include <windows.h>

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

}  // namespace

// The program folder when it can be written (a copy unpacked anywhere),
// else %APPDATA%\terso (an install under Program Files).
std::filesystem::path settingsDirectory(const std::filesystem::path& programDir) {
  if (canWriteIn(programDir)) return programDir;
  wchar_t appData[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(L"APPDATA", appData, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return programDir;
  const auto dir = std::filesystem::path(appData) / L"terso";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

}  // namespace platform
