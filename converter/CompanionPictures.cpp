#include "converter/CompanionPictures.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>

namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace

bool IsCompanionPicture(const std::string& name) {
  const std::string lower = Lower(name);
  const size_t dot = lower.rfind('.');
  if (dot == std::string::npos || dot == 0) return false;
  const std::string stem = lower.substr(0, dot), extension = lower.substr(dot + 1);
  static const char* const stems[] = {"cover", "folder", "front", "album",
                                      "albumart", "albumartsmall", "thumb"};
  static const char* const extensions[] = {"jpg", "jpeg", "png", "gif", "webp"};
  return std::find(std::begin(stems), std::end(stems), stem) != std::end(stems) &&
         std::find(std::begin(extensions), std::end(extensions), extension) !=
             std::end(extensions);
}

std::vector<std::string> CompanionPicturesIn(const std::string& folder) {
  std::vector<std::string> names;
  DIR* directory = opendir(folder.c_str());
  if (!directory) return names;
  while (const dirent* entry = readdir(directory)) {
    const std::string name = entry->d_name;
    if (name.empty() || name[0] == '.' || !IsCompanionPicture(name)) continue;
    struct stat info;
    if (stat((folder + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode))
      names.push_back(name);
  }
  closedir(directory);
  std::sort(names.begin(), names.end());
  return names;
}
