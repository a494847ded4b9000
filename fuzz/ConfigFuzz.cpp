// config.xml of any content: OpenConfig and LoadConfig never fail, the
// completed document holds every option, and the options saved read back the
// same, except where a save writes a default: an empty host, a port of 0 or
// less (a load that stopped before the port leaves it 0) and a negative wrap
// mode.
#include <string>

#include "FuzzInput.h"
#include "config/ConfigFile.h"
#include "support/TempDir.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string content(reinterpret_cast<const char*>(data), size);
  testing_support::TempDir dir;
  testing_support::TempDir::write(dir / "config.xml", content);

  config::TConfigFile file(dir.path().string());
  file.OpenConfig();
  FUZZ_CHECK(file.XMLConfig.isOpen());
  config::TConfigOptions options;
  file.LoadConfig(options);
  if (options.OrdersFileName.empty()) return 0;
  const config::SaveConfigResult saved = file.SaveConfig(options);
  if (!saved.written) return 0;

  config::TConfigFile again(dir.path().string());
  again.OpenConfig();
  config::TConfigOptions reread;
  again.LoadConfig(reread);
  config::TConfigOptions written = options;
  if (written.Host.empty()) written.Host = config::kDefaultHost;
  if (written.Port <= 0) written.Port = 1001;
  if (written.WindRowMode < 0) written.WindRowMode = 0;
  FUZZ_CHECK(reread == written);
  return 0;
}
