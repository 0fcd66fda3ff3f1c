// Files are read and written through the libraries' local file protocol
// only; a name is never taken for a URL of another protocol.
#pragma once

#include <string>

// The name to hand to the library for the local file `name`: the name itself,
// or "file:" + name when the library would otherwise take a prefix such as
// "pipe:" or "concat:" for a protocol. Empty for a URL of another protocol
// ("http://..."), which is refused.
std::string LocalFileUrl(const std::string& name);
