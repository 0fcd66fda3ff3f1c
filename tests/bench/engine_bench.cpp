// Benchmark helper for scripts/bench-engine.sh (not a test): makes long WAV
// inputs without holding them in memory, and converts one file through the
// engine the way the converter component does, printing the wall time and
// the process's peak resident memory.
//
//   engine_bench make-wav PATH RATE SECONDS
//   engine_bench convert INPUT OUTPUT
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "engine/FFmpegHlpr.h"
#include "medialib/MediaLibraries.h"

namespace {

// Two tones and a little noise, stereo, 16-bit: enough content that the
// encoder does real work.
int MakeWav(const char* path, int rate, double seconds) {
  std::ofstream file(path, std::ios::binary);
  if (!file) return 1;
  const uint64_t frames = static_cast<uint64_t>(rate * seconds);
  const uint32_t bytes = static_cast<uint32_t>(frames * 4);
  auto put32 = [&](uint32_t v) { file.write(reinterpret_cast<const char*>(&v), 4); };
  auto put16 = [&](uint16_t v) { file.write(reinterpret_cast<const char*>(&v), 2); };
  file.write("RIFF", 4);
  put32(36 + bytes);
  file.write("WAVEfmt ", 8);
  put32(16);
  put16(1);
  put16(2);
  put32(rate);
  put32(rate * 4);
  put16(4);
  put16(16);
  file.write("data", 4);
  put32(bytes);
  std::vector<int16_t> block(2 * 65536);
  uint32_t noise = 12345;
  for (uint64_t done = 0; done < frames;) {
    const uint64_t n = std::min<uint64_t>(65536, frames - done);
    for (uint64_t i = 0; i < n; ++i) {
      const double t = static_cast<double>(done + i) / rate;
      noise = noise * 1664525u + 1013904223u;
      const double shared =
          0.3 * std::sin(2 * M_PI * 440 * t) * (0.6 + 0.4 * std::sin(2 * M_PI * 0.5 * t));
      const double grain = (static_cast<int32_t>(noise) / 2147483648.0) * 0.02;
      block[2 * i] =
          static_cast<int16_t>(32767 * (shared + 0.2 * std::sin(2 * M_PI * 1250 * t) + grain));
      block[2 * i + 1] =
          static_cast<int16_t>(32767 * (shared + 0.2 * std::sin(2 * M_PI * 660 * t) - grain));
    }
    file.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(n * 4));
    done += n;
  }
  return file ? 0 : 1;
}

long PeakResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int Convert(const char* input, const char* output) {
  if (!LoadMediaLibraries("", true)) {
    std::fprintf(stderr, "%s\n", MediaLibraryError.c_str());
    return 1;
  }
  std::mutex lock;
  TCustomFFmpegHlpr engine(lock);
  engine.Reset();
  engine.SetVerbose(-1);
  if (!engine.OpenInputFile(input)) {
    std::fprintf(stderr, "%s\n", engine.LastError.c_str());
    return 1;
  }
  engine.SetAudioCodec("libmp3lame");
  engine.SetLibraryOption("ab", "128000");
  engine.SetAudioSampleRate(44100);
  engine.SetAudioChannels(2);
  if (!engine.OpenOutputFile(output)) {
    std::fprintf(stderr, "%s\n", engine.LastError.c_str());
    return 1;
  }
  const auto begin = std::chrono::steady_clock::now();
  try {
    engine.Start(false, tpNormal);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
    return 1;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  if (!engine.Finished) return 1;
  std::printf("engine_seconds=%.3f peak_kib=%ld\n", seconds, PeakResidentKiB());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::strcmp(argv[1], "make-wav") == 0)
    return MakeWav(argv[2], std::atoi(argv[3]), std::atof(argv[4]));
  if (argc == 4 && std::strcmp(argv[1], "convert") == 0) return Convert(argv[2], argv[3]);
  std::fprintf(stderr, "usage: %s make-wav PATH RATE SECONDS | convert INPUT OUTPUT\n", argv[0]);
  return 2;
}
