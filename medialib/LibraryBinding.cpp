#include "medialib/LibraryBinding.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <utility>

#include "medialib/LibrarySearch.h"

namespace {

// The loader's own text may be null when it has nothing to say.
const char* LoaderText(const char* text) { return text ? text : "unknown error"; }

}  // namespace

LibraryBinding::LibraryBinding(std::string versionedName, std::string plainName)
    : VersionedName(std::move(versionedName)), PlainName(std::move(plainName)) {}

std::string LibraryBinding::FileName() const {
  return UseVersionedName ? VersionedName : PlainName;
}

bool LibraryBinding::Open() {
  if (Handle) return true;
  const std::string name = FileName();
  const std::string& folder = LibrarySearch::Folder();
  const char* failure = nullptr;
  if (!folder.empty()) {
    // A file that is present in the library folder is the only candidate:
    // if it fails to load, silently taking the system's copy would hide it.
    const std::string path = folder + "/" + name;
    if (access(path.c_str(), F_OK) == 0 || LibrarySearch::FolderOnly()) {
      Handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
      if (!Handle) failure = dlerror();
    }
  }
  if (!Handle && !failure && !LibrarySearch::FolderOnly()) {
    Handle = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
    if (!Handle) failure = dlerror();
  }
  if (!Handle) {
    char text[1024];
    std::snprintf(text, sizeof text, "Load libraray %s error: %s", name.c_str(),
                  LoaderText(failure));
    Error = text;
    return false;
  }
  return true;
}

bool LibraryBinding::LookUp(const char* name, void*& slot) {
  dlerror();
  slot = dlsym(Handle, name);
  if (slot) return true;
  char text[1024];
  std::snprintf(text, sizeof text, "Load function %s@%s error: %s", name,
                FileName().c_str(), LoaderText(dlerror()));
  Error = text;
  return false;
}

bool LibraryBinding::Bind() {
  if (!Open()) return false;
  if (Bound) return true;
  Bound = LookUpAll();
  if (!Bound) ClearSlots();
  return Bound;
}

bool LibraryBinding::OpenAndReport(std::string& errorOut) {
  if (Bind()) return true;
  errorOut = Error;
  return false;
}

void LibraryBinding::Release() {
  if (!Handle) return;
  // Opened with RTLD_NODELETE: the media libraries and what they pull in keep
  // process-wide state that is never meant to be unmapped, so releasing drops
  // our reference and slots while the code itself stays mapped.
  dlclose(Handle);
  Handle = nullptr;
  Bound = false;
  ClearSlots();
}
