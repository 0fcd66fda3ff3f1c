#include "engine/TagSet.h"

namespace {

bool Matches(const std::string& key, const std::string& pattern) {
  if (!pattern.empty() && pattern.back() == '*')
    return key.compare(0, pattern.size() - 1, pattern, 0, pattern.size() - 1) == 0;
  return key == pattern;
}

}  // namespace

void ApplyTagChanges(TagSet& tags, const TagChanges& changes) {
  for (auto it = tags.begin(); it != tags.end();) {
    bool dropped = false;
    for (const std::string& pattern : changes.Drop)
      dropped = dropped || Matches(it->first, pattern);
    it = dropped ? tags.erase(it) : std::next(it);
  }
  for (const auto& [key, values] : changes.Replace) {
    if (values.empty())
      tags.erase(key);
    else
      tags[key] = values;
  }
}
