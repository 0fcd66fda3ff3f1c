// The arithmetic and text rules of output stream creation, kept apart from
// the library objects so that they can be checked on their own.
#pragma once

#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
}

// The supported frame rate closest to `wanted`; `supported` ends with an
// entry whose denominator is 0. Ties keep the earlier entry; an empty list
// gives `wanted`.
AVRational ClosestFrameRate(AVRational wanted, const AVRational* supported);

// Reads rate-control overrides: groups "start,end,q" separated by "/"; q > 0
// is a quantiser, q <= 0 a quality factor of -q/100. Raises FFMpegException
// "error parsing rc_override" when a group's first or second number is
// missing or ends the text.
std::vector<RcOverride> ParseRcOverride(const std::string& text);
