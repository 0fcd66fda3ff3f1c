// What an application needs to know of an input, read once when the input is
// described and kept without holding the file or any library object.
#pragma once

#include <cstdint>
#include <map>
#include <string>

struct TInputDescription {
  std::string Path;
  int64_t Size = -1;        // bytes; -1 unknown
  int64_t DurationMs = -1;  // -1 unknown
  // The container's tags, then those of the first audio stream for keys the
  // container lacks; keys lower-cased.
  std::map<std::string, std::string> Tags;
};
