// config.xml of any content: OpenConfig and LoadConfig never fail, the
// completed document holds every option, and the options saved read back the
// same.
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
  FUZZ_CHECK(reread == options);
  return 0;
}
