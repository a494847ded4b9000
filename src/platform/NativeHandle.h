#pragma once
// What a poller waits on: a file descriptor on POSIX, a HANDLE on Windows
// (kept as void* so that <windows.h> stays out of the headers).
namespace platform {

#ifdef _WIN32
using NativeHandle = void*;
inline constexpr NativeHandle kNoHandle = nullptr;
#else
using NativeHandle = int;
inline constexpr NativeHandle kNoHandle = -1;
#endif

}  // namespace platform
