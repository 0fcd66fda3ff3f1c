#include "engine/LibraryError.h"

#include "engine/FFMpegException.h"
#include "medialib/AVUtilHlpr.h"

std::string LibraryErrorText(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  if (AVU.av_strerror(code, text, sizeof text) < 0 && text[0] == '\0')
    return "error " + std::to_string(code);
  return text;
}

std::string LibraryCallError(const char* call, int code, const std::string& where) {
  std::string message;
  if (!where.empty()) message = where + ": ";
  return message + call + "() failed: " + LibraryErrorText(code);
}

void RaiseLibraryError(const char* call, int code, const std::string& where) {
  throw FFMpegException(LibraryCallError(call, code, where));
}
