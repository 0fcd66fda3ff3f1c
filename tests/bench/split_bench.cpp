// The join figures of segment-encoded MP3: a music-like signal (JoinSignal.h)
// encoded whole and on several encoders, each decoded and compared with the
// source. Prints per case the signal-to-noise ratio of both against the
// source, the largest loss of the split encoding in any 100 ms window next
// to a join, and the difference in size. Run by scripts/bench-split.sh.
//
//   split_bench FOLDER [SECONDS]
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>

#include "engine/FFmpegHlpr.h"
#include "tests/support/JoinSignal.h"
#include "tests/support/MediaFixtures.h"

using namespace MediaFixtures;

namespace {

constexpr int Rate = 44100;
constexpr size_t SegmentSamples = 766 * 1152;
constexpr size_t Window = Rate / 10;

std::mutex CodecLock;

bool Convert(const std::string& input, const std::string& output, int encoders, bool vbr) {
  TCustomFFmpegHlpr engine(CodecLock);
  engine.Reset();
  if (!engine.OpenInputFile(input)) return false;
  engine.SetAudioCodec("libmp3lame");
  if (vbr) {
    engine.SetLibraryOption("flags", "+qscale");
    engine.SetLibraryOption("global_quality", std::to_string(2 * 118));
  } else {
    engine.SetLibraryOption("ab", "128000");
  }
  engine.SetAudioSampleRate(Rate);
  engine.SetAudioChannels(2);
  if (!engine.OpenOutputFile(output)) return false;
  engine.ThreadsPerFile = encoders;
  engine.Start(false, tpNormal);
  return engine.Finished;
}

double Error(const DecodedAudio& source, const DecodedAudio& decoded, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from * 2; i < to * 2 && i < decoded.samples.size(); ++i) {
    const double e = static_cast<double>(decoded.samples[i]) - source.samples[i];
    sum += e * e;
  }
  return sum;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: split_bench FOLDER [SECONDS]\n");
    return 2;
  }
  const std::string folder = argv[1];
  const int seconds = argc > 2 ? std::max(90, std::atoi(argv[2])) : 300;
  EnsureLibraries();
  const std::string input = folder + "/join-signal.wav";
  MakeFloatWav(input, Rate, 2, JoinSignal(Rate, seconds, 0.05));
  const DecodedAudio source = DecodeAudio(input);
  double signal = 0;
  for (const int16_t s : source.samples) signal += static_cast<double>(s) * s;

  std::printf("join figures on %d s of tone, silence and music (44.1 kHz stereo)\n", seconds);
  for (const bool vbr : {false, true}) {
    const std::string whole = folder + "/whole.mp3";
    if (!Convert(input, whole, 1, vbr)) return 1;
    const DecodedAudio a = DecodeAudio(whole);
    const double wholeSnr = 10 * std::log10(signal / Error(source, a, 0, source.Frames()));
    for (const int encoders : {2, 4}) {
      const std::string split = folder + "/split.mp3";
      if (!Convert(input, split, encoders, vbr)) return 1;
      const DecodedAudio b = DecodeAudio(split);
      const double splitSnr = 10 * std::log10(signal / Error(source, b, 0, source.Frames()));
      double worst = -100;
      for (size_t cut = SegmentSamples; cut + Window < source.Frames(); cut += SegmentSamples)
        for (const size_t from : {cut - Window, cut}) {
          const double allowance = 2.0 * Window;  // one LSB per sample
          const double loss = 10 * std::log10((Error(source, b, from, from + Window) + allowance) /
                                              (Error(source, a, from, from + Window) + allowance));
          worst = std::max(worst, loss);
        }
      const double sizes = 100.0 * (static_cast<double>(std::filesystem::file_size(split)) /
                                        static_cast<double>(std::filesystem::file_size(whole)) -
                                    1);
      std::printf(
          "%-7s %d encoders: SNR whole %.2f dB, split %.2f dB (%+.3f); worst 100 ms window at a "
          "join %+.2f dB; decoded %zu of %zu samples; size %+.3f %%\n",
          vbr ? "MP3 V2" : "MP3 128", encoders, wholeSnr, splitSnr, splitSnr - wholeSnr, worst,
          b.Frames(), source.Frames(), sizes);
    }
  }
  return 0;
}
