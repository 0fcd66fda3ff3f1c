#include "engine/FFMpegException.h"

#include <cstdarg>
#include <cstdio>

void RaiseFFMpeg(const char* format, ...) {
  char text[2048];
  va_list args;
  va_start(args, format);
  std::vsnprintf(text, sizeof text, format, args);
  va_end(args);
  throw FFMpegException(text);
}
