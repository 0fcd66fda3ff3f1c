// How many output frames one decoded picture becomes when the output frame
// rate differs from the input's.
#pragma once

#include <cmath>

// vdelta is how far the input's time runs ahead of the next output frame, in
// output frames. Within 1.1 either way the picture is written once; further
// behind it is dropped (0); further ahead it is repeated to catch up, the
// nearest whole number of times (halves to even).
inline int OutputFrameCount(double vdelta) {
  if (vdelta < -1.1) return 0;
  if (vdelta > 1.1) return static_cast<int>(std::nearbyint(vdelta));
  return 1;
}
