#include "platform/ProgramDir.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace platform {

std::filesystem::path executableDirectory() {
  std::error_code ec;
  const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return std::filesystem::current_path(ec);
  return exe.parent_path();
}

namespace {

// A system-wide install (/usr/bin, /usr/local/bin, /bin): root can write
// there, but settings files must not land among the system's programs.
bool systemDirectory(const std::filesystem::path& dir) {
  const std::string text = dir.lexically_normal().string();
  return text == "/bin" || text == "/sbin" || text.rfind("/usr/", 0) == 0;
}

}  // namespace

std::filesystem::path settingsDirectory(const std::filesystem::path& programDir) {
  if (!systemDirectory(programDir) && ::access(programDir.c_str(), W_OK) == 0) return programDir;
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
