#pragma once
// A program without a window writing to its console.
namespace platform {

// Text written to the console is UTF-8 (the Windows console's output code
// page; POSIX terminals take it as it is).
void useUtf8Console();
// Translated messages follow the user's language (the C library's message
// locale on POSIX; on Windows the catalog reader finds it by itself). The
// number formatting of the C library stays as it is.
void useUserMessageLanguage();

}  // namespace platform
