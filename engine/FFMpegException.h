// The engine's error: its message is the text reported to the user.
#pragma once

#include <stdexcept>
#include <string>

class FFMpegException : public std::runtime_error {
 public:
  explicit FFMpegException(const std::string& message) : std::runtime_error(message) {}
};

// Builds an FFMpegException from a printf-style format.
[[noreturn]] void RaiseFFMpeg(const char* format, ...) __attribute__((format(printf, 1, 2)));
