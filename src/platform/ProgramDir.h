#pragma once
#include <filesystem>

namespace platform {

// The directory of the running executable.
std::filesystem::path executableDirectory();

// Where config.xml, "Kestrel.ini" and orders.xml live: the program's directory
// when it can be written and is not a system folder (/usr/..., /bin; on
// Windows Program Files and the Windows folder), else $XDG_CONFIG_HOME/terso
// (default ~/.config/terso; on Windows %APPDATA%\terso), created when missing.
std::filesystem::path settingsDirectory(const std::filesystem::path& programDir);

// The folder of the message catalogs (<dir>/<lang>/LC_MESSAGES/<domain>.mo):
// "locale" beside the executable (a build folder) or beside its folder (a
// copy of the terminal in a folder of the build), else <prefix>/share/locale
// of an installed program; empty when none exists (the system's default).
std::filesystem::path catalogDirectory(const std::filesystem::path& programDir);

}  // namespace platform
