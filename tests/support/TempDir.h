#pragma once
// A fresh temporary folder, removed with everything in it at the end.
#include <filesystem>
#include <string>

namespace testing_support {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

  // Whole-file helpers for tests.
  static std::string read(const std::filesystem::path& file);
  static void write(const std::filesystem::path& file, const std::string& bytes);

 private:
  std::filesystem::path path_;
};

}  // namespace testing_support
