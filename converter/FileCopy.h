// Copies a file into an output folder the way outputs are written: under a
// hidden partial name beside the destination (engine/PartialOutputs.h),
// renamed over the final name only once complete, so that a failure or a
// kill never leaves a half-copied file under a name the user sees. The copy
// keeps the source's modification time, which lets a later run see whether
// the source is newer. Any thread.
#pragma once

#include <string>

// False with `error` = "Could not write 'destination': <system's reason>"
// (or "Could not open 'source': ..."); the destination is then as before.
bool CopyThroughPartialFile(const std::string& source, const std::string& destination,
                            std::string& error);
