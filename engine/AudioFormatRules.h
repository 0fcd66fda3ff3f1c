// How the audio path picks the encoder's sample format, rate and channel
// count from what the encoder takes and what the source is, and when a
// conversion must dither. Plain arithmetic over the library's lists, kept
// apart from the library objects so that it can be checked on its own.
#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
}

// Significant bits of a sample format: 8, 16, 32 or 64 for the integer
// formats (rawBits instead for S32 when it is between 1 and 31), 32 for
// float and 64 for double. 0 for none.
int SampleDepth(AVSampleFormat format, int rawBits = 0);

// The encoder format for a source: the one asked for when the encoder takes
// it; else the source's own (or its planar/packed twin); else for a source
// deeper than 16 bits float, then 32-bit, then double; else 16-bit; else
// the encoder's first. `formats` ends with AV_SAMPLE_FMT_NONE; null means
// any format (then asked, else the source's, else S16).
AVSampleFormat ChooseSampleFormat(const AVSampleFormat* formats, AVSampleFormat asked,
                                  AVSampleFormat source);

// The bits an integer encoder keeps of a source of sourceBits (a 32-bit
// container holds at most 24 of a float or deeper source): min(sourceBits,
// 24) for S32 encoders, 0 (the encoder's own) for the others.
int EncoderRawBits(AVSampleFormat encoderFormat, int sourceBits);

// Whether converting inBits to outFormat/outBits loses depth, which is when
// triangular dither is added: an integer output shallower than the input.
bool NeedsDither(int inBits, AVSampleFormat outFormat, int outBits);

// `wanted` when the encoder takes it (or names no list), else the smallest
// rate it takes above wanted, else its highest. `rates` ends with 0.
int FittingSampleRate(const int* rates, int wanted);

// `wanted` when one of the layouts has that many channels (or there is no
// list), else the largest count below it, else the first layout's. `layouts`
// ends with a zeroed entry.
int FittingChannelCount(const AVChannelLayout* layouts, int wanted);
