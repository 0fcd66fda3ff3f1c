// Sample repair: the audio path's guard in front of every encoder. Encoders
// trust their input: libmp3lame asserts (and aborts the process) on NaN, the
// AAC encoder refuses the frame, others encode noise. Only floating-point
// samples can be out of bounds, so integer formats pass without a look.
//
// A non-finite sample (NaN, an infinity) becomes silence; a finite one beyond
// full scale is clipped to it. Clipping a few decoded overs (lossy decoders
// give back inter-sample peaks a little above full scale) is what an integer
// output does anyway and is not counted; what no recording or decoder makes
// (non-finite, or more than 24 dB over full scale) is counted as invalid.
//
// Plain arithmetic over sample planes, no library object; one repairer per
// output stream, used on the thread that runs the task.
#pragma once

#include <cstdint>
#include <vector>

extern "C" {
#include <libavutil/samplefmt.h>
}

class SampleRepairer {
 public:
  // Magnitude above which a finite sample counts as invalid (24 dB over
  // full scale).
  static constexpr double InvalidAbove = 16.0;

  // Looks at `planes` planes of `count` samples each (count = samples per
  // channel times the channels for a packed format) and gives back the planes
  // to go on with: `in` itself when every sample is within full scale, which
  // costs one read of the chunk and no copy; otherwise a repaired copy held
  // by this repairer until the next call. `in` is never written.
  const uint8_t* const* Repair(const uint8_t* const* in, AVSampleFormat format, int planes,
                               int count);

  // Samples counted as invalid since construction.
  int64_t Invalid() const { return InvalidCount; }

 private:
  std::vector<std::vector<uint8_t>> Copies;  // one buffer per plane, reused
  std::vector<const uint8_t*> Repaired;      // pointers into Copies
  int64_t InvalidCount = 0;
};
