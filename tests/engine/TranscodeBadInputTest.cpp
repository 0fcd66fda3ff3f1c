// Damaged inputs end a task with a clear message or a shorter valid output,
// never with a crash or a hang (the sanitizer build runs these too).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "engine/FFmpegHlpr.h"
#include "tests/engine/EngineRun.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

using namespace MediaFixtures;

namespace {

enum class Damage { Truncated, GarbageInTheMiddle, Empty };

struct DamageCase {
  const char* name;
  AudioFormat format;
  Damage damage;
};

void Spoil(const std::string& path, Damage damage) {
  const auto size = std::filesystem::file_size(path);
  switch (damage) {
    case Damage::Truncated:
      std::filesystem::resize_file(path, size / 2 + 7);  // mid-frame
      break;
    case Damage::GarbageInTheMiddle: {
      std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
      file.seekp(static_cast<std::streamoff>(size / 3));
      std::mt19937 random(42);
      for (std::uintmax_t i = 0; i < size / 3; ++i) file.put(static_cast<char>(random()));
      break;
    }
    case Damage::Empty:
      std::filesystem::resize_file(path, 0);
      break;
  }
}

class DamagedInput : public ::testing::TestWithParam<DamageCase> {
 protected:
  void SetUp() override { EnsureLibraries(); }
  TempFolder folder;
  std::mutex lock;
  RunRecord record;
};

TEST_P(DamagedInput, EndsWithAMessageOrAShorterValidOutput) {
  const DamageCase& c = GetParam();
  const std::string input = folder / (std::string("input") + FormatExtension(c.format));
  MakeAudio(input, c.format, 44100, 2, 4.0, 440);
  Spoil(input, c.damage);
  const std::string output = folder / "output.mp3";

  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  engine.Reset();
  if (!engine.OpenInputFile(input)) {
    // Refused at opening: the reason names the file.
    EXPECT_NE(engine.LastError.find(input), std::string::npos) << engine.LastError;
    return;
  }
  EXPECT_NE(c.damage, Damage::Empty) << "an empty file opened";
  engine.SetAudioCodec("libmp3lame");
  engine.SetLibraryOption("ab", "128000");
  engine.SetAudioSampleRate(44100);
  engine.SetAudioChannels(2);
  ASSERT_TRUE(engine.OpenOutputFile(output)) << engine.LastError;
  ASSERT_NE(engine.Start(true, tpNormal), 0u);
  ASSERT_TRUE(record.WaitForTerminate(std::chrono::seconds(60))) << "the run hangs";
  engine.StopAndWait();
  if (!engine.Finished) {
    EXPECT_FALSE(engine.LastError.empty());
    return;
  }
  const DecodedAudio decoded = DecodeAudio(output);
  EXPECT_EQ(decoded.rate, 44100);
  EXPECT_LE(decoded.Seconds(), 4.1);
}

std::string CaseName(const ::testing::TestParamInfo<DamageCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Damages, DamagedInput,
    ::testing::Values(DamageCase{"TruncatedMp3", AudioFormat::Mp3, Damage::Truncated},
                      DamageCase{"TruncatedWav", AudioFormat::Wav, Damage::Truncated},
                      DamageCase{"TruncatedAacM4a", AudioFormat::AacM4a, Damage::Truncated},
                      DamageCase{"GarbageMp3", AudioFormat::Mp3, Damage::GarbageInTheMiddle},
                      DamageCase{"GarbageFlac", AudioFormat::Flac, Damage::GarbageInTheMiddle},
                      DamageCase{"GarbageOggVorbis", AudioFormat::Vorbis,
                                 Damage::GarbageInTheMiddle},
                      DamageCase{"EmptyMp3", AudioFormat::Mp3, Damage::Empty},
                      DamageCase{"EmptyWav", AudioFormat::Wav, Damage::Empty}),
    CaseName);

}  // namespace
