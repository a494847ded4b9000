// Where the settings files live: beside the program, unless that is a system
// folder or cannot be written.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/ProgramDir.h"
#include "support/TempDir.h"

namespace {

TEST(SettingsDirectory, BesideAWritableProgramElseInTheUsersConfigFolder) {
#ifdef _WIN32
  GTEST_SKIP() << "the settings folder on Windows is %APPDATA%\\terso, not XDG_CONFIG_HOME";
#else
  testing_support::TempDir program;
  testing_support::TempDir config;
  const char* old = getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);

  EXPECT_EQ(platform::settingsDirectory(program.path()), program.path());
  // An installed program (root could write /usr/bin) keeps its settings
  // with the user, and the folder is made.
  EXPECT_EQ(platform::settingsDirectory("/usr/bin"), config.path() / "terso");
  EXPECT_TRUE(std::filesystem::is_directory(config.path() / "terso"));
  EXPECT_EQ(platform::settingsDirectory("/usr/local/bin/"), config.path() / "terso");
  EXPECT_EQ(platform::settingsDirectory(program.path() / "no-such-folder"), config.path() / "terso");

  if (old)
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
#endif
}

}  // namespace
