#include "engine/LogLevelClaims.h"

#include <algorithm>
#include <mutex>

#include "medialib/AVUtilHlpr.h"
#include "medialib/MediaLibraries.h"

namespace {

// Never destroyed: an engine of static storage may withdraw its claim late.
std::mutex& ClaimsLock = *new std::mutex;
std::list<int>& Claims = *new std::list<int>;  // under ClaimsLock

// Under ClaimsLock. Without a live claim the level stays as the last one left
// it, which is also what an engine that never claimed runs with.
void ApplyHighestClaim() {
  if (Claims.empty()) return;
  const int level = *std::max_element(Claims.begin(), Claims.end());
  if (MediaLibrariesLoaded) AVU.av_log_set_level(LibraryLevelFromEngine(level));
  LibraryLogLevel = level;
}

}  // namespace

TLibraryLogLevelClaim::~TLibraryLogLevelClaim() {
  std::lock_guard<std::mutex> lock(ClaimsLock);
  if (!Held) return;
  Claims.erase(Entry);
  ApplyHighestClaim();
}

void TLibraryLogLevelClaim::Claim(int level) {
  std::lock_guard<std::mutex> lock(ClaimsLock);
  if (Held)
    *Entry = level;
  else
    Entry = Claims.insert(Claims.end(), level);
  Held = true;
  ApplyHighestClaim();
}
