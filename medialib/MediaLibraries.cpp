#include "medialib/MediaLibraries.h"

#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibrarySearch.h"
#include "medialib/RealVideoHlpr.h"
#include "medialib/SwResampleHlpr.h"
#include "medialib/SwScaleHlpr.h"

std::atomic<bool> MediaLibrariesLoaded{false};
std::string MediaLibraryError;
std::atomic<int> LibraryLogLevel{1};

namespace {

LibraryBinding* const RequiredLibraries[] = {
    &AVCodecHlpr::Library(), &AVFormatHlpr::Library(), &AVUtilHlpr::Library(),
    &SwScaleHlpr::Library(), &SwResampleHlpr::Library()};

}  // namespace

bool LoadMediaLibraries(const std::string& folder, bool versionedNames) {
  if (MediaLibrariesLoaded) return true;
  for (LibraryBinding* library : RequiredLibraries) library->SetUseVersionedName(versionedNames);
  MediaLibraryError.clear();
  // The folder is searched directly instead of becoming the current
  // directory: the Linux loader ignores the current directory, and changing it
  // would disturb every other thread of the process.
  LibrarySearch::SetFolder(folder);

  bool loaded = true;
  for (LibraryBinding* library : RequiredLibraries) {
    if (!library->OpenAndReport(MediaLibraryError)) {
      loaded = false;
      break;
    }
  }
  if (!loaded) {
    UnloadMediaLibraries();
    return false;
  }
  // The RealVideo decoder library is optional: its failure stays silent and
  // only leaves the bridge decoders unregistered.
  LoadRealVideoLibrary();
  LibraryLogLevel = EngineLevelFromLibrary(AVU.av_log_get_level());
  RegisterRealVideoDecoders();
  MediaLibrariesLoaded = true;
  return true;
}

void UnloadMediaLibraries() {
  MediaLibrariesLoaded = false;
  for (LibraryBinding* library : RequiredLibraries) library->Release();
  UnloadRealVideoLibrary();
}

int LibraryLevelFromEngine(int engineLevel) {
  if (engineLevel < 0) return AV_LOG_QUIET;
  switch (engineLevel) {
    case 0: return AV_LOG_ERROR;
    case 1: return AV_LOG_INFO;
    case 2: return AV_LOG_DEBUG;
    default: return AV_LOG_TRACE;
  }
}

int EngineLevelFromLibrary(int libraryLevel) {
  if (libraryLevel < AV_LOG_PANIC) return -1;
  if (libraryLevel <= AV_LOG_ERROR) return 0;
  if (libraryLevel <= AV_LOG_INFO) return 1;
  if (libraryLevel <= AV_LOG_DEBUG) return 2;
  return 3;
}
