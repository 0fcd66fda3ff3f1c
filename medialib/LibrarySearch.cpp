#include "medialib/LibrarySearch.h"

namespace {
std::string SearchFolder;
bool SearchFolderOnly = false;
}  // namespace

namespace LibrarySearch {
const std::string& Folder() { return SearchFolder; }
void SetFolder(const std::string& folder) { SearchFolder = folder; }
bool FolderOnly() { return SearchFolderOnly; }
void SetFolderOnly(bool only) { SearchFolderOnly = only; }
}  // namespace LibrarySearch
