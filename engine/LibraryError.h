// Errors of media library calls, in the library's own words.
#pragma once

#include <string>

// The library's text for an error code ("No space left on device").
std::string LibraryErrorText(int code);

// "where: call() failed: text", where names the file and stream concerned.
std::string LibraryCallError(const char* call, int code, const std::string& where);

// Raises FFMpegException with LibraryCallError's text.
[[noreturn]] void RaiseLibraryError(const char* call, int code, const std::string& where);
