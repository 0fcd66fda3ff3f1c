// The library has one log level for the whole process, while every engine
// has its own. Each engine that sets its level claims it here; the library
// then logs at the most verbose level claimed by a live engine, so that every
// task still gets the lines its own level asks for, and the log router drops
// the lines above the level of the task they belong to.
#pragma once

#include <list>

// One engine's claim; withdrawn when the claim goes. Any thread.
class TLibraryLogLevelClaim {
 public:
  TLibraryLogLevelClaim() = default;
  ~TLibraryLogLevelClaim();
  TLibraryLogLevelClaim(const TLibraryLogLevelClaim&) = delete;
  TLibraryLogLevelClaim& operator=(const TLibraryLogLevelClaim&) = delete;

  // Claims `level` (engine levels, -1 quiet to 3), replacing the earlier
  // claim, and sets the library's level (LibraryLogLevel and, once the
  // libraries are loaded, the library's own) to the highest live claim.
  void Claim(int level);

 private:
  std::list<int>::iterator Entry;  // in the claims list, while Held
  bool Held = false;
};
