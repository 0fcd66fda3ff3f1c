#include "engine/TagNames.h"

#include <algorithm>
#include <cctype>

const std::initializer_list<std::initializer_list<const char*>> TagNames = {
    {"title"},
    {"artist", "author"},
    {"album"},
    {"album_artist", "albumartist", "album artist"},
    {"date", "year"},
    {"track", "tracknumber"},
    {"disc", "discnumber"},
    {"genre"},
    {"comment", "description"},
    {"composer"},
    {"copyright"},
};

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

}  // namespace

std::string CanonicalTagKey(std::string_view name) {
  const std::string lower = Lower(name);
  for (const auto& names : TagNames)
    for (const char* alias : names)
      if (lower == alias) return *names.begin();
  return lower;
}

std::map<std::string, std::string> CanonicalTags(const std::map<std::string, std::string>& tags) {
  std::map<std::string, std::string> lowered;
  for (const auto& [key, value] : tags)
    if (!value.empty()) lowered.emplace(Lower(key), value);
  std::map<std::string, std::string> result;
  for (const auto& names : TagNames) {
    for (const char* alias : names) {
      const auto found = lowered.find(alias);
      if (found == lowered.end()) continue;
      result.emplace(*names.begin(), found->second);
      break;
    }
  }
  for (const auto& [key, value] : lowered)
    if (CanonicalTagKey(key) == key) result.emplace(key, value);
  return result;
}

int LeadingTagNumber(std::string_view text) {
  long value = 0;
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  const std::size_t first = i;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 100000000; ++i)
    value = value * 10 + (text[i] - '0');
  return i > first ? static_cast<int>(value) : -1;
}
