#include "platform/ProgramDir.h"

namespace platform {

std::filesystem::path catalogDirectory(const std::filesystem::path& programDir) {
  for (const std::filesystem::path& dir : {programDir / "locale", programDir.parent_path() / "locale",
                                           programDir.parent_path() / "share" / "locale"}) {
    std::error_code error;
    if (std::filesystem::is_directory(dir, error)) return dir;
  }
  return {};
}

}  // namespace platform
