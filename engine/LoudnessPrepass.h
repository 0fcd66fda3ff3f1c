// The decode-only pass that measures a source's loudness before its
// conversion starts, since tags carrying it are written with the header.
// Opens the file again on its own, so the conversion's reading is left as it
// was. Any thread; opens its decoder under the lock that guards the
// library's codec opening.
#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "engine/LoudnessMeter.h"

// Decodes the first audio stream of `url` (a name the library takes, as the
// engine's inputs hold it) into `meter`. Packets that cannot be decoded are
// passed over, as the conversion passes them over. Empty on success, also
// when `stop` ended it early; else the failing call in the library's words.
std::string MeasureFileLoudness(const std::string& url, std::mutex& codecLock,
                                const std::atomic<bool>& stop, LoudnessMeter& meter);
