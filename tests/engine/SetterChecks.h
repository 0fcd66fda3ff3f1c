// Small helpers for the setter and preset tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/FFmpegHlpr.h"

// A log hook that keeps each line as "<level> <text>" in a vector of strings.
inline void RecordLine(void* data, TCustomFFmpegHlpr*, int level, const std::string& text) {
  static_cast<std::vector<std::string>*>(data)->push_back(std::to_string(level) + " " + text);
}

// Runs a setter and gives the message it raised, or "" when it raised none.
inline std::string Raised(const std::function<void()>& call) {
  try {
    call();
  } catch (const FFMpegException& error) {
    return error.what();
  }
  return "";
}
