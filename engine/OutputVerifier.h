// The verifier: the stage beside decoder and encoder that decodes a finished
// output completely before it may replace anything. A decode error, a
// decoded length that differs from what entered the encoder by more than the
// codec's frame, or (for a lossless codec) a single sample that differs,
// fails it. Reads the file only; any thread; opens its decoder under the
// lock that guards the library's codec opening.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
}

// What an output's audio must decode to, taken on the way into its encoder.
struct VerificationExpectation {
  bool Wanted = false;     // the output has an encoded audio stream to check
  int64_t Samples = 0;     // samples per channel handed to the encoder
  int64_t Allowance = 0;   // the codec's frame size: what padding may add or trim
  bool Lossless = false;   // Digest must match exactly
  uint64_t Digest = 0;     // SampleDigest of the encoder's input
};

// Codecs whose decoded samples must equal their input (FLAC, integer and
// floating-point PCM).
bool IsLosslessCodec(AVCodecID codec);

// The frame size a decoded length may differ by for this encoder.
int64_t FrameAllowance(const AVCodecContext& encoder);

// Decodes the first audio stream of the file at `path`, which messages call
// `name`. Empty when it meets `expected`; otherwise "verification failed: "
// and what was wrong (the failing call in the library's words, or the
// lengths, or the digest).
std::string VerifyOutput(const std::string& path, const std::string& name,
                         const VerificationExpectation& expected, std::mutex& codecLock);
