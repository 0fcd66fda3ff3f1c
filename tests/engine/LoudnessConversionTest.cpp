// ReplayGain tags and normalisation through whole conversions: the tags read
// back per format (names, values, units; Opus's R128 gain in Q7.8 and no
// REPLAYGAIN_*), and normalised outputs measured back, the true-peak
// ceiling included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <string>

#include "engine/FFmpegHlpr.h"
#include "engine/LoudnessPrepass.h"
#include "tests/engine/EngineRun.h"
#include "tests/support/MediaFixtures.h"

namespace {

LoudnessFigures Measure(const std::string& path) {
  std::mutex lock;
  std::atomic<bool> stop{false};
  LoudnessMeter meter;
  EXPECT_EQ(MeasureFileLoudness(path, lock, stop, meter), "");
  return meter.Figures();
}

struct Converted {
  bool ok = false;
  std::string error;
};

Converted Convert(std::mutex& lock, RunRecord& record, const std::string& input,
                  const std::string& output, const char* codec, bool tags, double normalize) {
  TCustomFFmpegHlpr engine(lock);
  engine.Reset();
  record.Attach(engine);
  Converted result;
  if (!engine.OpenInputFile(input)) return {false, engine.LastError};
  engine.SetAudioCodec(codec);
  if (!engine.OpenOutputFile(output)) return {false, engine.LastError};
  engine.ReplayGainTags = tags;
  engine.NormalizeLufs = normalize;
  try {
    engine.Start(false, tpNormal);
    result.ok = true;
  } catch (const FFMpegException& error) {
    result.error = error.what();
  }
  return result;
}

// A tag of the container or of its audio stream, any letter case.
std::string Tag(const MediaFixtures::FileInfo& info, const std::string& key) {
  auto find = [&](const std::map<std::string, std::string>& tags) -> std::string {
    for (const auto& [name, value] : tags)
      if (strcasecmp(name.c_str(), key.c_str()) == 0) return value;
    return {};
  };
  std::string value = find(info.tags);
  if (value.empty() && info.First(AVMEDIA_TYPE_AUDIO)) value = find(info.First(AVMEDIA_TYPE_AUDIO)->tags);
  return value;
}

struct TagCase {
  const char* extension;
  const char* codec;
  bool opus;
};

std::ostream& operator<<(std::ostream& out, const TagCase& c) { return out << c.codec; }

using ReplayGainTags = EngineRunTest<TagCase>;

TEST_P(ReplayGainTags, AreWrittenFromTheSourcesLoudness) {
  const TagCase& c = GetParam();
  const std::string input = folder / "in.flac";
  MediaFixtures::AudioExtras extras;
  extras.noise = 0.3;
  // Stale values of the source's, which the fresh ones must replace.
  extras.tags["REPLAYGAIN_TRACK_GAIN"] = "+9.99 dB";
  extras.tags["REPLAYGAIN_TRACK_PEAK"] = "0.010000";
  MediaFixtures::MakeAudio(input, MediaFixtures::AudioFormat::Flac, 48000, 2, 4.0, 997, extras);
  const LoudnessFigures source = Measure(input);
  ASSERT_TRUE(source.Measured);
  const std::string output = folder / (std::string("out") + c.extension);
  const Converted run = Convert(lock, record, input, output, c.codec, true, 0);
  ASSERT_TRUE(run.ok) << run.error;
  const MediaFixtures::FileInfo info = MediaFixtures::Probe(output);
  if (c.opus) {
    const std::string gain = Tag(info, "R128_TRACK_GAIN");
    ASSERT_FALSE(gain.empty());
    EXPECT_EQ(std::to_string(std::lround((-23 - source.Integrated) * 256)), gain);
    EXPECT_EQ(Tag(info, "REPLAYGAIN_TRACK_GAIN"), "");
    EXPECT_EQ(Tag(info, "REPLAYGAIN_TRACK_PEAK"), "");
    return;
  }
  const std::string gain = Tag(info, "REPLAYGAIN_TRACK_GAIN");
  ASSERT_GT(gain.size(), 3u);
  EXPECT_EQ(gain.substr(gain.size() - 3), " dB");
  EXPECT_NEAR(std::atof(gain.c_str()), -18 - source.Integrated, 0.006);
  EXPECT_NEAR(std::atof(Tag(info, "REPLAYGAIN_TRACK_PEAK").c_str()),
              std::pow(10, source.TruePeak / 20), 1e-6);
  EXPECT_EQ(Tag(info, "R128_TRACK_GAIN"), "");
}

INSTANTIATE_TEST_SUITE_P(Formats, ReplayGainTags,
                         ::testing::Values(TagCase{".flac", "flac", false},
                                           TagCase{".ogg", "libvorbis", false},
                                           TagCase{".mp3", "libmp3lame", false},
                                           TagCase{".m4a", "aac", false},
                                           TagCase{".opus", "libopus", true}));

struct NormalizeCase {
  const char* name;
  double tone;      // Hz of the half-full-scale tone; 0: none (K-weighting
                    // makes a low one quiet for its peak)
  double noise;     // peak of the noise mixed in
  double target;    // LUFS
  bool peakLimited;
};

std::ostream& operator<<(std::ostream& out, const NormalizeCase& c) { return out << c.name; }

using Normalization = EngineRunTest<NormalizeCase>;

TEST_P(Normalization, ReachesTheTargetUnlessTheTruePeakHoldsItLower) {
  const NormalizeCase& c = GetParam();
  const std::string input = folder / "in.flac";
  MediaFixtures::AudioExtras extras;
  extras.noise = c.noise;
  MediaFixtures::MakeAudio(input, MediaFixtures::AudioFormat::Flac, 48000, 2, 5.0, c.tone, extras);
  const std::string output = folder / "out.flac";
  const Converted run = Convert(lock, record, input, output, "flac", false, c.target);
  ASSERT_TRUE(run.ok) << run.error;
  const LoudnessFigures measured = Measure(output);
  ASSERT_TRUE(measured.Measured);
  if (!c.peakLimited) {
    EXPECT_NEAR(measured.Integrated, c.target, 0.5);
  } else {
    EXPECT_LT(measured.Integrated, c.target - 0.5);
    EXPECT_NE(record.AllLines().find("the true peak is held at -1.0 dBTP"), std::string::npos)
        << record.AllLines();
  }
  EXPECT_LE(measured.TruePeak, -1.0 + 0.1);
}

INSTANTIATE_TEST_SUITE_P(Cases, Normalization,
                         ::testing::Values(NormalizeCase{"tone raised", 997, 0, -3, false},
                                           NormalizeCase{"loud noise lowered", 0, 0.9, -23, false},
                                           NormalizeCase{"30 Hz tone held", 30, 0, -4, true}));

}  // namespace
