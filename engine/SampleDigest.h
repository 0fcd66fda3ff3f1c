// A running digest of audio samples, so that a lossless output can be shown
// to decode to exactly what entered its encoder without keeping either. Each
// sample counts by its value aligned to the top of 32 bits, in interleaved
// order, so an encoder's packed input and a decoder's planar output of the
// same depth give the same digest. Not thread-safe; one stream each.
#pragma once

#include <cstdint>

extern "C" {
#include <libavutil/frame.h>
}

class SampleDigest {
 public:
  // Adds the first `samples` samples per channel of `frame` (any sample
  // format, planar or packed; floating-point samples by their bits). With
  // `bits` (1-31) an integer sample counts by its top `bits` bits only, as
  // an encoder of that depth takes it from a wider format.
  void Add(const AVFrame& frame, int samples, int bits = 0);
  uint64_t Value() const { return Hash; }
  int64_t Samples() const { return Count; }

 private:
  uint64_t Hash = 14695981039346656037ull;
  int64_t Count = 0;
};
