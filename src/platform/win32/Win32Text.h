#pragma once
// Text at the Win32 boundary: file and device names go to the wide-character
// calls as UTF-16, and what the system says comes back as UTF-8. Win32 error
// codes become errno values where the layers above compare them.
#include <string>
#include <string_view>

namespace platform::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The system's own text for a Win32 error code, in UTF-8 without the line end.
std::string errorText(unsigned long code);

// The errno value closest to a Win32 error code (EIO for the unknown ones).
int errnoFrom(unsigned long code);

}  // namespace platform::win32
