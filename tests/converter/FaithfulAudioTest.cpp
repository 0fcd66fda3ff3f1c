// The audio a conversion writes is the source's, at its level: mono keeps
// its loudness on both sides of a stereo output, and where the rate changes
// nothing above the new Nyquist frequency folds back while the passband
// keeps its level. Checked end to end through melvaro-convert, on 24-bit
// sources written by our own code and read back at full precision.
#include <gtest/gtest.h>

#include <algorithm>
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

// The strongest spectral component of the first 2^k samples, in dBFS (a
// full-scale sine reads 0): a Blackman-Harris window and a radix-2 FFT.
double StrongestComponent(const std::vector<double>& samples) {
  size_t n = 1;
  while (n * 2 <= samples.size()) n *= 2;
  std::vector<std::complex<double>> x(n);
  double gain = 0;
  for (size_t i = 0; i < n; ++i) {
    const double t = 2 * Pi * i / (n - 1);
    const double w =
        0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
    gain += w;
    x[i] = samples[i] * w;
  }
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(x[i], x[j]);
  }
  for (size_t length = 2; length <= n; length *= 2) {
    const std::complex<double> step = std::polar(1.0, -2 * Pi / length);
    for (size_t start = 0; start < n; start += length) {
      std::complex<double> w = 1;
      for (size_t k = 0; k < length / 2; ++k, w *= step) {
        const std::complex<double> even = x[start + k], odd = x[start + k + length / 2] * w;
        x[start + k] = even + odd;
        x[start + k + length / 2] = even - odd;
      }
    }
  }
  double strongest = 0;
  for (size_t k = 1; k < n / 2; ++k) strongest = std::max(strongest, std::abs(x[k]));
  return Decibels(2 * strongest / gain);
}

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

TEST_F(FaithfulAudio, ResamplingFoldsNothingBackAndKeepsThePassband) {
  const std::string above = folder / "above.wav";
  MakeTone24(above, 48000, 1, 3.0, 23000, 0.9);
  const std::vector<double> folded =
      MiddleOfChannel(Convert(above, {"-f", "wav", "-q", "24", "--rate", "44100"}, "above.wav"), 0);
  EXPECT_LT(StrongestComponent(folded), -100);

  for (double hz : {1000.0, 20000.0}) {
    SCOPED_TRACE(std::to_string(hz) + " Hz");
    const std::string name = "pass" + std::to_string(static_cast<int>(hz)) + ".wav";
    MakeTone24(folder / name, 48000, 1, 1.0, hz, 0.5);
    const std::string written =
        Convert(folder / name, {"-f", "wav", "-q", "24", "--rate", "44100"}, name);
    EXPECT_NEAR(
        Decibels(RmsOf(MiddleOfChannel(written, 0)) / RmsOf(MiddleOfChannel(folder / name, 0))), 0,
        0.1);
  }
}
