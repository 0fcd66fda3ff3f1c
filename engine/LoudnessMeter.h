// The loudness meter: integrated loudness, true peak and loudness range as
// EBU R128 / ITU-R BS.1770-4 define them, measured through libebur128 from
// decoded frames of any sample format, layout and rate. One meter per
// stream; not thread-safe. A meter can be read at any time, and meters of
// one album can be read together.
#pragma once

#include <memory>
#include <vector>

extern "C" {
#include <libavutil/frame.h>
}

struct LoudnessFigures {
  bool Measured = false;  // false: no audio, or all of it below the absolute gate
  double Integrated = 0;  // LUFS
  double TruePeak = 0;    // dBTP (linear peak 1 = 0 dBTP)
  double Range = 0;       // LU
};

class LoudnessMeter {
 public:
  LoudnessMeter();
  ~LoudnessMeter();
  LoudnessMeter(const LoudnessMeter&) = delete;
  LoudnessMeter& operator=(const LoudnessMeter&) = delete;

  // Measures the frame's samples. The first frame sets the meter's shape; a
  // later frame of another rate or channel count starts a new segment of the
  // same measurement. Returns false (measuring nothing) when libebur128
  // cannot take the shape or runs out of memory.
  bool Add(const AVFrame& frame) { return Add(frame, frame.nb_samples); }
  // The same for the first `samples` samples per channel only.
  bool Add(const AVFrame& frame, int samples);
  LoudnessFigures Figures() const;
  // The figures of several meters taken as one programme (an album): the
  // integrated loudness and range over all of their blocks, the highest
  // true peak.
  static LoudnessFigures Together(const std::vector<const LoudnessMeter*>& meters);

 private:
  bool Fit(const AVFrame& frame);
  // One libebur128 state per stretch of one shape; finished ones first.
  struct Segment;
  std::vector<std::unique_ptr<Segment>> States;
  int Rate = 0, Channels = 0;
  std::vector<double> Interleaved;  // reused conversion buffer
};
