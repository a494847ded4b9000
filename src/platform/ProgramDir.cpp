#include "platform/ProgramDir.h"

#include <unistd.h>

#include <cstdlib>

namespace platform {

std::filesystem::path executableDirectory() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec);
  return exe.parent_path();
}

std::filesystem::path settingsDirectory(const std::filesystem::path& programDir) {
  if (::access(programDir.c_str(), W_OK) == 0) return programDir;
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg)
    base = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home)
    base = std::filesystem::path(home) / ".config";
  else
    return programDir;
  const auto dir = base / "terso";
  std::error_code ec;
  std::filesystem::create_directories(dir, ec);
  return dir;
}

}  // namespace platform
