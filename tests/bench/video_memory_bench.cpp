// Benchmark helper for scripts/bench-video-memory.sh (not a test): makes a
// long 320x240 MPEG-1 video with a tone, converts it through the engine with
// the "dvd" preset (PAL: 720x576 MPEG-2, scaled up, AC-3), and samples the
// process's resident memory at every progress report, to show whether the
// video path allocates per picture.
//
//   video_memory_bench make INPUT SECONDS
//   video_memory_bench convert INPUT OUTPUT
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "engine/FFmpegHlpr.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/VideoFixtures.h"

namespace {

struct Sample {
  int outputMs;
  long residentKiB;
};

void OnProgress(void* data, TCustomFFmpegHlpr*, int, int, int durationTime, float, float, int64_t,
                int) {
  auto* samples = static_cast<std::vector<Sample>*>(data);
  if (durationTime >= 0) samples->push_back({durationTime, VideoFixtures::ResidentKiB()});
}

void OnLog(void*, TCustomFFmpegHlpr*, int level, const std::string& text) {
  if (level == 0) std::fprintf(stderr, "engine: %s\n", text.c_str());
}

int Convert(const char* input, const char* output) {
  MediaFixtures::EnsureLibraries();
  std::mutex lock;
  TCustomFFmpegHlpr engine(lock);
  std::vector<Sample> samples;
  samples.reserve(100000);
  engine.Reset();
  engine.SetVerbose(0);
  engine.LogHook = {OnLog, nullptr};
  engine.ProgressHook = {OnProgress, &samples};
  engine.ReportInterval = 1000000;
  if (!engine.OpenInputFile(input)) {
    std::fprintf(stderr, "%s\n", engine.LastError.c_str());
    return 1;
  }
  engine.SetTarget("dvd", "pal", "pal");
  if (!engine.OpenOutputFile(output)) {
    std::fprintf(stderr, "%s\n", engine.LastError.c_str());
    return 1;
  }
  const long before = VideoFixtures::ResidentKiB();
  const auto start = std::chrono::steady_clock::now();
  try {
    engine.Start(false, tpNormal);
  } catch (const FFMpegException& error) {
    std::fprintf(stderr, "run failed: %s\n", error.what());
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (samples.size() < 10 || samples.back().outputMs < 120000) {
    std::fprintf(stderr, "too short a run: give at least 120 seconds of input\n");
    return 1;
  }
  // From the first minute of output on, the encoder's queue and every pool
  // are full: whatever grows after that grows per picture.
  long settled = -1, low = 1L << 40, high = 0;
  for (const Sample& s : samples) {
    if (s.outputMs < 60000) continue;
    if (settled < 0) settled = s.residentKiB;
    low = std::min(low, s.residentKiB);
    high = std::max(high, s.residentKiB);
  }
  std::printf("run time:                 %.1f s\n", seconds);
  std::printf("output reached:           %.1f s of video\n", samples.back().outputMs / 1000.0);
  std::printf("resident before the run:  %ld KiB\n", before);
  for (int tenth = 1; tenth <= 10; ++tenth) {
    const Sample& s = samples[std::max<size_t>(samples.size() * tenth / 10, 1) - 1];
    std::printf("resident at %6.1f s:      %ld KiB\n", s.outputMs / 1000.0, s.residentKiB);
  }
  std::printf("after the first minute:   low %ld KiB, high %ld KiB, growth %ld KiB\n", low, high,
              samples.back().residentKiB - settled);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "make" && argc == 4) {
    MediaFixtures::VideoClip clip;
    clip.seconds = std::atof(argv[3]);
    MediaFixtures::MakeVideo(argv[2], clip);
    return 0;
  }
  if (mode == "convert" && argc == 4) return Convert(argv[2], argv[3]);
  std::fprintf(stderr, "usage: video_memory_bench make INPUT SECONDS | convert INPUT OUTPUT\n");
  return 2;
}
