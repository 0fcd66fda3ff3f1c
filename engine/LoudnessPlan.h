// What a measured loudness asks of a conversion: the normalisation gain,
// held down so that the true peak stays at or below its ceiling (no limiter,
// no clipping), and the ReplayGain 2.0 tags (relative to -18 LUFS) or, for
// Opus, the R128 gain tags of RFC 7845 (Q7.8 dB relative to -23 LUFS).
// Pure functions, any thread; the tags are kept apart from their writing.
#pragma once

#include <map>
#include <string>

#include "engine/LoudnessMeter.h"

constexpr double ReplayGainReference = -18.0;  // LUFS
constexpr double R128Reference = -23.0;        // LUFS
constexpr double NormalizePeakCeiling = -1.0;  // dBTP

struct NormalizationGain {
  double GainDb = 0;
  bool PeakLimited = false;  // the ceiling, not the target, set the gain
};

// The gain that brings `figures` to targetLufs, reduced where the true peak
// would pass the ceiling. No gain for unmeasured (silent) audio.
NormalizationGain GainForTarget(const LoudnessFigures& figures, double targetLufs,
                                double ceilingDb = NormalizePeakCeiling);

// The figures of the same audio with gainDb applied.
LoudnessFigures WithGain(const LoudnessFigures& figures, double gainDb);

// The tags for a track (and its album when `album` is measured):
// REPLAYGAIN_TRACK_GAIN "-2.35 dB", REPLAYGAIN_TRACK_PEAK "0.912345" and the
// ALBUM_ pair; for Opus R128_TRACK_GAIN "-1234" (and R128_ALBUM_GAIN) only.
std::map<std::string, std::string> LoudnessTags(const LoudnessFigures& track,
                                                const LoudnessFigures& album, bool opus);
