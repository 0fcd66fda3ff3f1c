// The loudness meter against an independent measurement written here from
// BS.1770-4's definitions (its 48 kHz K-weighting coefficients, 400 ms
// blocks with 75 % overlap, the absolute and relative gates, the channel
// weights) and, for the true peak, the analytic peak of a tone or a 4-times
// oversampled windowed-sinc reconstruction of noise.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "engine/LoudnessMeter.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibraryObjects.h"
#include "tests/support/MediaFixtures.h"

namespace {

constexpr int Rate = 48000;
constexpr double Pi = 3.14159265358979323846;

// Interleaved samples, full scale = 1.
struct Signal {
  int channels = 2;
  std::vector<double> samples;
  size_t Frames() const { return samples.size() / channels; }
};

double Amplitude(double dbfs) { return std::pow(10.0, dbfs / 20); }

Signal Tone(int channels, double seconds, double hz, double dbfs) {
  Signal s{channels, {}};
  const size_t frames = static_cast<size_t>(seconds * Rate);
  for (size_t i = 0; i < frames; ++i)
    for (int c = 0; c < channels; ++c)
      s.samples.push_back(Amplitude(dbfs) * std::sin(2 * Pi * hz * i / Rate));
  return s;
}

// Pink noise (Paul Kellet's filter over white noise, then a two-sample mean
// that takes out what lies next to half the rate, where interpolators of a
// true-peak meter legitimately differ), its sample peak at `dbfs`,
// independent on every channel but the LFE (channel 3 of six), which is silent.
Signal Pink(int channels, double seconds, double dbfs, unsigned seed) {
  Signal s{channels, {}};
  const size_t frames = static_cast<size_t>(seconds * Rate);
  s.samples.resize(frames * channels);
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> white(-1, 1);
  for (int c = 0; c < channels; ++c) {
    if (channels == 6 && c == 3) continue;
    double b[7] = {};
    double peak = 0, previous = 0;
    for (size_t i = 0; i < frames; ++i) {
      const double w = white(random);
      b[0] = 0.99886 * b[0] + w * 0.0555179;
      b[1] = 0.99332 * b[1] + w * 0.0750759;
      b[2] = 0.96900 * b[2] + w * 0.1538520;
      b[3] = 0.86650 * b[3] + w * 0.3104856;
      b[4] = 0.55000 * b[4] + w * 0.5329522;
      b[5] = -0.7616 * b[5] - w * 0.0168980;
      const double pink = b[0] + b[1] + b[2] + b[3] + b[4] + b[5] + b[6] + w * 0.5362;
      b[6] = w * 0.115926;
      const double smoothed = (pink + previous) / 2;
      previous = pink;
      s.samples[i * channels + c] = smoothed;
      peak = std::max(peak, std::fabs(smoothed));
    }
    for (size_t i = 0; i < frames; ++i) s.samples[i * channels + c] *= Amplitude(dbfs) / peak;
  }
  return s;
}

Signal Then(Signal a, const Signal& b) {
  a.samples.insert(a.samples.end(), b.samples.begin(), b.samples.end());
  return a;
}

// ---- The independent measurement ---------------------------------------

double ChannelWeight(int channels, int c) {
  if (channels != 6) return 1.0;
  return c == 3 ? 0.0 : c >= 4 ? 1.41 : 1.0;  // L R C LFE Ls Rs
}

// Mean squares of the K-weighted channels per 400 ms block, every 100 ms.
std::vector<std::vector<double>> BlockPowers(const Signal& s) {
  const size_t frames = s.Frames();
  std::vector<std::vector<double>> weighted(s.channels, std::vector<double>(frames));
  struct Biquad {
    double b0, b1, b2, a1, a2;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;
    double operator()(double x) {
      const double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
      x2 = x1, x1 = x, y2 = y1, y1 = y;
      return y;
    }
  };
  for (int c = 0; c < s.channels; ++c) {
    // Stage 1: the head's high shelf; stage 2: the RLB high pass.
    Biquad shelf{1.53512485958697, -2.69169618940638, 1.19839281085285, -1.69065929318241,
                 0.73248077421585};
    Biquad highPass{1.0, -2.0, 1.0, -1.99004745483398, 0.99007225036621};
    for (size_t i = 0; i < frames; ++i)
      weighted[c][i] = highPass(shelf(s.samples[i * s.channels + c]));
  }
  const size_t block = Rate * 4 / 10, step = Rate / 10;
  std::vector<std::vector<double>> blocks;
  for (size_t start = 0; start + block <= frames; start += step) {
    std::vector<double> powers(s.channels);
    for (int c = 0; c < s.channels; ++c) {
      double sum = 0;
      for (size_t i = start; i < start + block; ++i) sum += weighted[c][i] * weighted[c][i];
      powers[c] = sum / block;
    }
    blocks.push_back(powers);
  }
  return blocks;
}

double BlockLoudness(const std::vector<double>& powers) {
  double sum = 0;
  for (size_t c = 0; c < powers.size(); ++c)
    sum += ChannelWeight(static_cast<int>(powers.size()), static_cast<int>(c)) * powers[c];
  return -0.691 + 10 * std::log10(sum);
}

// Gated loudness of blocks taken together (an album's are the union).
double GatedLoudness(const std::vector<std::vector<double>>& blocks) {
  auto mean = [&](double gate) {
    std::vector<double> sums(blocks.empty() ? 0 : blocks[0].size());
    int count = 0;
    for (const auto& powers : blocks) {
      if (BlockLoudness(powers) <= gate) continue;
      for (size_t c = 0; c < powers.size(); ++c) sums[c] += powers[c];
      ++count;
    }
    for (double& sum : sums) sum /= std::max(count, 1);
    return BlockLoudness(sums);
  };
  return mean(mean(-70) - 10);
}

// Peak of the signal reconstructed at 4 times the rate, as BS.1770-4 Annex 2
// measures it at 48 kHz, here with a windowed sinc of our own;
// looked for beside the samples within 3 dB of the sample peak: an
// intersample peak lies next to large samples.
double ReconstructedPeakDb(const Signal& s) {
  constexpr int Over = 4, Taps = 64;
  double samplePeak = 0;
  for (double v : s.samples) samplePeak = std::max(samplePeak, std::fabs(v));
  double peak = 0;
  const long frames = static_cast<long>(s.Frames());
  for (int c = 0; c < s.channels; ++c)
    for (long i = 0; i < frames; ++i)
      for (int k = 0; k < Over; ++k) {
        if (std::fabs(s.samples[i * s.channels + c]) < samplePeak * 0.7 &&
            (i + 1 >= frames || std::fabs(s.samples[(i + 1) * s.channels + c]) < samplePeak * 0.7))
          break;
        const double t = i + static_cast<double>(k) / Over;
        double v = 0;
        for (long n = std::max(0L, i - Taps + 1); n <= std::min(frames - 1, i + Taps); ++n) {
          const double d = t - n;
          const double sinc = d == 0 ? 1 : std::sin(Pi * d) / (Pi * d);
          const double window = 0.5 + 0.5 * std::cos(Pi * d / (Taps + 1));
          v += s.samples[n * s.channels + c] * sinc * window;
        }
        peak = std::max(peak, std::fabs(v));
      }
  return 20 * std::log10(peak);
}

// ---- Feeding the meter -------------------------------------------------

void Feed(LoudnessMeter& meter, const Signal& s) {
  MediaFixtures::EnsureLibraries();
  constexpr int Chunk = 4800;
  for (size_t done = 0; done < s.Frames(); done += Chunk) {
    const int frames = static_cast<int>(std::min<size_t>(Chunk, s.Frames() - done));
    MediaObjects::FramePtr frame(AVU.av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->sample_rate = Rate;
    frame->nb_samples = frames;
    AVU.av_channel_layout_default(&frame->ch_layout, s.channels);
    ASSERT_GE(AVU.av_frame_get_buffer(frame.get(), 0), 0);
    for (int c = 0; c < s.channels; ++c) {
      float* plane = reinterpret_cast<float*>(frame->extended_data[c]);
      for (int i = 0; i < frames; ++i)
        plane[i] = static_cast<float>(s.samples[(done + i) * s.channels + c]);
    }
    ASSERT_TRUE(meter.Add(*frame));
  }
}

struct MeterCase {
  std::string name;
  std::function<Signal()> make;
  bool analyticPeak;  // a tone: its peak is its amplitude
  double peakDb;      // when analyticPeak
};

TEST(LoudnessMeter, AgreesWithBs1770OnGeneratedSignals) {
  const std::vector<MeterCase> cases = {
      {"997 Hz at -20 dBFS, stereo", [] { return Tone(2, 10, 997, -20); }, true, -20},
      {"997 Hz at -20 dBFS, mono", [] { return Tone(1, 10, 997, -20); }, true, -20},
      {"100 Hz at -6 dBFS, stereo", [] { return Tone(2, 8, 100, -6); }, true, -6},
      {"5 kHz at -12 dBFS, stereo", [] { return Tone(2, 8, 5000, -12); }, true, -12},
      {"pink noise, stereo", [] { return Pink(2, 10, -3, 1); }, false, 0},
      {"pink noise, 5.1", [] { return Pink(6, 10, -6, 2); }, false, 0},
      {"silence with a short burst",
       [] { return Then(Then(Tone(2, 5, 0, -200), Tone(2, 0.5, 1000, -10)), Tone(2, 5, 0, -200)); },
       true, -10},
  };
  for (const MeterCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Signal signal = c.make();
    LoudnessMeter meter;
    Feed(meter, signal);
    const LoudnessFigures figures = meter.Figures();
    ASSERT_TRUE(figures.Measured);
    EXPECT_NEAR(figures.Integrated, GatedLoudness(BlockPowers(signal)), 0.1);
    EXPECT_NEAR(figures.TruePeak, c.analyticPeak ? c.peakDb : ReconstructedPeakDb(signal), 0.1);
  }
}

TEST(LoudnessMeter, RangeOfASteadyAndOfATwoLevelProgramme) {
  LoudnessMeter steady, stepped;
  Feed(steady, Tone(2, 20, 997, -20));
  Feed(stepped, Then(Tone(2, 15, 997, -20), Tone(2, 15, 997, -30)));
  EXPECT_NEAR(steady.Figures().Range, 0, 0.1);
  // The 10th and 95th percentiles of the short-term loudness fall on the
  // two levels.
  EXPECT_NEAR(stepped.Figures().Range, 10, 0.1);
}

TEST(LoudnessMeter, AnAlbumOfThreeTracksIsGatedAsOneProgramme) {
  const std::vector<Signal> tracks = {Tone(2, 6, 997, -20), Pink(2, 8, -10, 3),
                                      Then(Tone(2, 4, 440, -30), Tone(2, 2, 0, -200))};
  std::vector<LoudnessMeter> meters(tracks.size());
  std::vector<const LoudnessMeter*> album;
  std::vector<std::vector<double>> blocks;
  for (size_t i = 0; i < tracks.size(); ++i) {
    Feed(meters[i], tracks[i]);
    album.push_back(&meters[i]);
    for (const auto& powers : BlockPowers(tracks[i])) blocks.push_back(powers);
  }
  const LoudnessFigures figures = LoudnessMeter::Together(album);
  EXPECT_NEAR(figures.Integrated, GatedLoudness(blocks), 0.1);
  EXPECT_NEAR(figures.TruePeak, std::max(-20.0, ReconstructedPeakDb(tracks[1])), 0.1);
  for (size_t i = 0; i < tracks.size(); ++i)
    EXPECT_NEAR(meters[i].Figures().Integrated, GatedLoudness(BlockPowers(tracks[i])), 0.1);
}

}  // namespace
