// Joins the frames of separately started MP3 encoders, one segment after
// another, into one stream with one bit reservoir (Mp3Reservoir.h). The
// segments overlap by a few frames around each cut; the join is made at the
// frame nearest the cut where the later encoder's main data fits into what
// the earlier one left free, so that no frame needs a higher bit rate. Only
// where none fits does a frame get one.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/Mp3Frames.h"
#include "engine/Mp3Reservoir.h"

struct Mp3SegmentFrame {
  Mp3Frame Frame;
  int64_t Id = 0;
};

struct Mp3Segment {
  int64_t First = 0;  // the whole stream's index of Frames[0]
  int64_t Cut = 0;    // the index where the segment is meant to take over
  std::vector<Mp3SegmentFrame> Frames;
};

class Mp3Join {
 public:
  // Segments come in order; the first one's Cut is its First.
  void Add(Mp3Segment segment);
  // The last segment is laid out to its end.
  void Finish();
  bool Take(Mp3LaidFrame& out) { return Layout.Take(out); }
  // Where each join was made (whole stream frame index).
  const std::vector<int64_t>& Joins() const { return JoinFrames; }
  int RaisedFrames() const { return Layout.RaisedFrames(); }

 private:
  int64_t ChooseJoin(const Mp3Segment& next) const;
  void LayHeldUntil(Mp3Reservoir& layout, int64_t end) const;
  Mp3Reservoir Layout;
  std::optional<Mp3Segment> Held;
  int64_t Next = 0;  // the index of the next frame to lay out, from Held
  std::vector<int64_t> JoinFrames;
};
