#pragma once
// Line speeds of a terminal device in bit/s, standard or not. On Linux any
// speed goes through termios2 (BOTHER for speeds without a B constant, such as
// 14400 or 56000); elsewhere through cfsetspeed, which takes plain numbers on
// the BSDs. Kept apart because termios2 and <termios.h> cannot share a file.
#include <cstdint>

namespace platform {

// Sets input and output speed; false with errno set when the device refuses.
bool setLineSpeed(int fd, std::int32_t bitsPerSecond);

// The output speed the device holds, or -1 with errno set.
std::int32_t readLineSpeed(int fd);

}  // namespace platform
