// Whether a source may be copied instead of converted (--copy-same-format):
// it is already what the choice would make, and not of a higher bit rate
// than the one chosen. Re-encoding such a file would only lose quality and
// time. Pure bookkeeping over an input's description.
#pragma once

#include <string>

#include "converter/InputDescription.h"
#include "converter/OutputPresets.h"

// True when the source's name ends in the format's extension (any letter
// case): only those are worth describing to find out.
bool MayBeSameFormat(const OutputChoice& choice, const std::string& sourcePath);

// True when the described source has the choice's codec (MP3, Vorbis, Opus,
// AAC, FLAC, or the chosen WAV depth), a sample rate and channel count the
// choice does not change (or keeps), and, where a bit rate is chosen, a
// known one no higher than it (2 % allowed for the container's rounding).
bool CanCopyInstead(const OutputChoice& choice, const TInputDescription& source);
