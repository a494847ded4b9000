// Where the settings files live: beside the program, unless that is a system
// folder or cannot be written.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/ProgramDir.h"
#include "support/TempDir.h"

#ifdef _WIN32
#include <windows.h>

#include <cwctype>
#endif

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

#ifdef _WIN32
std::wstring environment(const wchar_t* name) {
  wchar_t value[MAX_PATH];
  const DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
  return n == 0 || n >= MAX_PATH ? std::wstring() : std::wstring(value, n);
}

// An install under Program Files keeps its settings with each user even where
// the folder can be written (Wine lets anyone write there, and so may a lax
// installer); a copy unpacked anywhere else keeps them beside itself.
TEST(SettingsDirectory, InstalledUnderProgramFilesInTheUsersAppData) {
  testing_support::TempDir program;
  testing_support::TempDir appData;
  const std::wstring saved = environment(L"APPDATA");
  ASSERT_TRUE(SetEnvironmentVariableW(L"APPDATA", appData.path().c_str()));
  const std::filesystem::path programFiles = environment(L"ProgramFiles");
  ASSERT_FALSE(programFiles.empty());
  const std::filesystem::path users = appData.path() / L"terso";

  // An installed program's folder, made where the test may (Wine, an
  // administrator); elsewhere it is missing, which must decide the same.
  const std::filesystem::path installed =
      programFiles / (L"terso-test-" + std::to_wstring(GetCurrentProcessId()));
  std::error_code ec;
  std::filesystem::create_directories(installed, ec);

  EXPECT_EQ(platform::settingsDirectory(program.path()), program.path());
  EXPECT_EQ(platform::settingsDirectory(installed), users);
  EXPECT_TRUE(std::filesystem::is_directory(users));
  // Windows names differ in case only: the same folder.
  std::wstring upper = installed.native();
  for (wchar_t& c : upper) c = towupper(c);
  EXPECT_EQ(platform::settingsDirectory(upper + L"\\"), users);
  EXPECT_EQ(platform::settingsDirectory(environment(L"SystemRoot")), users);
  // A folder of the same name elsewhere is no install.
  const std::filesystem::path alike = program.path() / programFiles.filename();
  std::filesystem::create_directories(alike);
  EXPECT_EQ(platform::settingsDirectory(alike), alike);

  std::filesystem::remove_all(installed, ec);
  SetEnvironmentVariableW(L"APPDATA", saved.empty() ? nullptr : saved.c_str());
}
#endif

}  // namespace
