#include "engine/TrackCutting.h"

#include <algorithm>

int64_t WindowSample(int64_t units, int den, int rate) {
  if (den <= 0) return 0;
  // 128-bit: an hour of 1/rate units times a high rate stays exact.
  const __int128 scaled = static_cast<__int128>(units) * rate;
  return static_cast<int64_t>((scaled + den / 2) / den);
}

SampleSpan SpanInWindow(const TrackWindow& window, int rate, int64_t first, int samples) {
  const int64_t start = WindowSample(window.Start, window.TimeBaseDen, rate);
  const int64_t end =
      window.End < 0 ? INT64_MAX : WindowSample(window.End, window.TimeBaseDen, rate);
  const int64_t from = std::max(first, start);
  const int64_t to = std::min(first + samples, end);
  if (to <= from) return {};
  return {static_cast<int>(from - first), static_cast<int>(to - from)};
}

double SourceReach(const TrackWindow& window, double outputSeconds) {
  return static_cast<double>(window.Start) / window.TimeBaseDen + outputSeconds;
}
