// A signal made to show clicks at the joins of segment encoding.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

// `seconds` of stereo at `rate`: a pure tone across the first join of
// segment encoding (20 s), silence across the second (40 s), then from 50 s
// music of changing notes with overtones, decaying envelopes and a noise
// floor of peak `noise`, which keeps the encoders' reservoirs busy. Clicks at
// a join show against each.
inline std::vector<float> JoinSignal(int rate, int seconds, double noise) {
  constexpr double Pi = 3.14159265358979323846;
  std::vector<float> samples(static_cast<size_t>(rate) * seconds * 2);
  static const double scale[] = {220, 247, 262, 294, 330, 349, 392, 440, 494, 523};
  uint32_t random = 12345;
  auto next = [&random] {
    random = random * 1664525u + 1013904223u;
    return static_cast<double>(random >> 8) / (1 << 24);
  };
  double note = 220, start = 50;
  for (size_t i = 0; i < samples.size() / 2; ++i) {
    const double t = static_cast<double>(i) / rate;
    double left = 0, right = 0;
    if (t < 30) {
      left = right = 0.5 * std::sin(2 * Pi * 440 * t);
    } else if (t >= 50) {
      if (t - start >= 0.25) {
        start += 0.25;
        note = scale[static_cast<int>(next() * 10) % 10];
      }
      const double envelope = std::exp(-6 * (t - start));
      for (int h = 1; h <= 4; ++h) {
        const double partial = envelope / h * std::sin(2 * Pi * note * h * t);
        left += 0.3 * partial;
        right += 0.3 * partial * (h % 2 ? 1.0 : 0.6);
      }
      left += noise * (next() - 0.5);
      right += noise * (next() - 0.5);
    }
    samples[2 * i] = static_cast<float>(left);
    samples[2 * i + 1] = static_cast<float>(right);
  }
  return samples;
}
