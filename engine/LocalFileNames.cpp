#include "engine/LocalFileNames.h"

namespace {

// True when the library would not read `name` as a local file but through
// the protocol that its prefix names ("http://...", "pipe:0", "subfile,...").
bool NamesAProtocol(const std::string& name) {
  const size_t end =
      name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+-.");
  return (end != std::string::npos && end > 0 && name[end] == ':') ||
         name.rfind("subfile,", 0) == 0;
}

}  // namespace

std::string LocalFileUrl(const std::string& name) {
  if (!NamesAProtocol(name) || name.rfind("file:", 0) == 0) return name;
  const size_t colon = name.find(':');
  if (colon != std::string::npos && name.compare(colon, 3, "://") == 0) return {};
  return "file:" + name;  // a local file whose name happens to hold a colon
}
