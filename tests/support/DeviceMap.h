#pragma once
// "Kestrel.ini" in a program folder whose [Devices] section maps port names
// (COM7, ...) to device paths.
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "support/TempDir.h"

namespace testing_support {

inline void writeDeviceMap(const std::filesystem::path& programDir,
                           const std::vector<std::pair<std::string, std::string>>& ports) {
  std::string text = "[Devices]\r\n";
  for (const auto& [name, device] : ports) text += name + "=" + device + "\r\n";
  TempDir::write(programDir / "Kestrel.ini", text);
}

}  // namespace testing_support
