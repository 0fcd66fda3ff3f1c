// Lays frames' main data into one shared bit reservoir: each frame's data
// begins as early as the frames before it and the 511-byte (255 for
// MPEG-2/2.5) reach of main_data_begin allow, and ends within its own frame.
// Laying out as early as possible leaves the most room to every later frame,
// so a sequence any reservoir can carry, this one carries. A frame that
// cannot fit all the same (after a join) gets the next higher bit rate until
// it does; its audio is unchanged. A frame is handed out once no later main
// data can reach into it.
#pragma once

#include <cstdint>
#include <deque>
#include <vector>

#include "engine/Mp3Frames.h"

struct Mp3LaidFrame {
  std::vector<uint8_t> Bytes;
  int64_t Id = 0;  // the caller's name for the frame, handed back
};

class Mp3Reservoir {
 public:
  // Whether `frame` fits at its own bit rate if it came next; `begin` gets
  // the main_data_begin it would have.
  bool Fits(const Mp3Frame& frame, int* begin = nullptr) const;
  // Appends `frame`. Raises std::runtime_error when not even the highest bit
  // rate gives its main data room.
  void Add(const Mp3Frame& frame, int64_t id);
  // Every frame is handed out from now on, the unused rest of its area zero.
  void Finish() { Finished = true; }
  // The next frame that is complete, in order.
  bool Take(Mp3LaidFrame& out);
  int RaisedFrames() const { return Raised; }

 private:
  struct Pending {
    std::vector<uint8_t> Bytes;
    int64_t Id = 0;
    int64_t AreaStart = 0;  // of the frame's main data area, in reservoir bytes
    int HeadBytes = 0;
  };
  int64_t EarliestStart(const Mp3FrameShape& shape) const;
  std::deque<Pending> Frames;
  int64_t StreamEnd = 0;  // end of the last frame's area
  int64_t DataEnd = 0;    // end of the last frame's main data
  bool Finished = false;
  int Raised = 0;
};
