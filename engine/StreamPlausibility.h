// Bounds on what a damaged header may claim. Real audio lies well inside
// them; a value outside would make the conversion path allocate and work
// without limit (a 1 Hz header turns every sample into 44100), so the task
// fails instead, with a sentence that names the value. Pure functions, any
// thread.
#pragma once

#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

constexpr int MinPlausibleSampleRate = 1000;
constexpr int MaxPlausibleSampleRate = 768000;
constexpr int MaxPlausibleChannels = 64;

// Empty when decoded audio of this rate and channel count is plausible;
// otherwise "sample rate of 1 Hz is not plausible; the header is probably
// damaged" or the like.
std::string ImplausibleAudioShape(int sampleRate, int channels);

// The same for an audio stream about to be decoded (unless its rate is not
// known yet, 0), and for codecs whose header states limits of its own
// (FLAC's block sizes), those too.
std::string ImplausibleAudioStream(const AVCodecParameters& parameters);

// For a packet of a stream with this time base that the decoder refused: the
// sentence naming its block size when that exceeds the maximum the stream's
// header states (the decoder then refuses every block); empty otherwise.
std::string RefusedBlockSize(const AVCodecParameters& parameters, AVRational timeBase,
                             const AVPacket& packet);
