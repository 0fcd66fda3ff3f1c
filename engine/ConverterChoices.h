// How the audio path's one converter (libswresample) is set up beyond its
// formats: how channels are mixed where their counts differ, and which
// resampling filter runs where the rate changes. Applied to a converter
// that is allocated but not yet initialised; a refused option raises with
// the library's words, naming `where`.
#pragma once

#include <string>

extern "C" {
#include <libswresample/swresample.h>
}

// A one-channel source written as stereo carries the channel at full level
// (times `volume`, 1 = unchanged) on both sides, as players play mono; the
// library's own matrix would put each side 3 dB down. Other layouts keep
// the library's matrix (stereo to mono keeps the level). True when a matrix
// was set: the library then leaves the volume to that matrix.
bool ChooseChannelMatrix(SwrContext* converter, const AVChannelLayout& in,
                         const AVChannelLayout& out, double volume, const std::string& where);

// Where the rate changes, the SoX resampler engine (libsoxr, which the
// library is built with on Debian) at very high quality: what lies above
// the new Nyquist frequency is suppressed by far more than 100 dB, and the
// passband stays flat to 20 kHz at 44.1 kHz. The library's own filter lets
// a 23 kHz tone fold back to 21.1 kHz at -26 dB. A library built without
// the SoX engine keeps its own filter.
void ChooseResampler(SwrContext* converter, int inRate, int outRate, const std::string& where);
