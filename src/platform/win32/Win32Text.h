#pragma once
// Text at the Win32 boundary: file and device names go to the wide-character
// calls as UTF-16, and what the system says comes back as UTF-8. Win32 error
// codes become errno values where the layers above compare them.
#include <string>
#include <string_view>

namespace platform::win32 {

std::wstring widen(std::string_view utf8);
// A file's path for the wide-character file calls: a path too long for the
// classic limit of 260 characters goes in its full "\\?\" form, which the
// calls take up to 32767 characters long; a shorter one stays as it is.
std::wstring widenPath(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// The system's own text for a Win32 error code, in UTF-8 without the line end.
std::string errorText(unsigned long code);

// The errno value closest to a Win32 error code (EIO for the unknown ones).
int errnoFrom(unsigned long code);

}  // namespace platform::win32
