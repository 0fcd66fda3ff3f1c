// Small file helpers shared by the batch tests.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// Every byte of a file; empty when it cannot be read.
inline std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// The names of the hidden files outputs are written to until complete.
inline std::vector<std::string> HiddenPartialFiles(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().filename().string().rfind(".melvaro-", 0) == 0)
      names.push_back(entry.path().filename().string());
  return names;
}
