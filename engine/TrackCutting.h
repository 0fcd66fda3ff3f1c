// Track cutting: one decode of an album file feeds a sequence of outputs,
// one per track, each taking the source's samples from its start to its end
// and nothing else, so that the tracks joined again are the whole file,
// sample for sample.
//
// Contract: the window of an output is fixed before the run (SetTrackWindow,
// consumed by the next OpenOutputFile). On the worker, every decoded audio
// frame is cut by SpanInWindow before it reaches a windowed output's
// converter; such an output's timestamps count its own samples from 0. The
// windows are in source samples counted from the first decoded sample, so a
// cut is exact for any decoder that delivers every sample of the file
// (lossless sources); a source whose rate changes mid-stream is cut at the
// rate of each frame. Pure functions; any thread.
#pragma once

#include <cstdint>

struct TrackWindow {
  bool Active = false;
  // [Start, End) in units of 1/TimeBaseDen s; End < 0: to the end of input.
  int64_t Start = 0;
  int64_t End = -1;
  int TimeBaseDen = 75;
};

// The samples of a frame that fall inside the window: Offset into the
// frame, Count of them (0: none).
struct SampleSpan {
  int Offset = 0;
  int Count = 0;
};

// The sample of a stream at `rate` where time `units`/`den` s falls, rounded
// to the nearest sample (exact for CD frames at the usual rates).
int64_t WindowSample(int64_t units, int den, int rate);

// The part of a frame of `samples` samples whose first sample is the
// source's sample `first`, at `rate`, inside the window.
SampleSpan SpanInWindow(const TrackWindow& window, int rate, int64_t first, int samples);

// Seconds of the source a windowed output has reached, its own output
// position being `outputSeconds`.
double SourceReach(const TrackWindow& window, double outputSeconds);
