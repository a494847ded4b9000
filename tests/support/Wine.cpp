#include "support/Wine.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace testing_support {

bool runningUnderWine() {
#ifdef _WIN32
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
  return false;
#endif
}

}  // namespace testing_support
