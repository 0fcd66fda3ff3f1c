// Where the binding looks for library files.
//
// The library folder is searched first; unless FolderOnly is set the dynamic
// linker's usual search follows. Tests set FolderOnly so that a folder of
// stand-in libraries never silently falls back to the system's copies.
#pragma once

#include <string>

namespace LibrarySearch {
const std::string& Folder();
void SetFolder(const std::string& folder);
bool FolderOnly();
void SetFolderOnly(bool only);
}  // namespace LibrarySearch
