// A folder under the system's temporary directory, removed with its contents
// when the object goes.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "melvaro-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    Path = pattern;
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(Path, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return Path; }
  std::string operator/(const std::string& name) const { return (Path / name).string(); }

 private:
  std::filesystem::path Path;
};
