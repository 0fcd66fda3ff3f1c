// Damaged inputs end a task with a clear message or a shorter valid output,
// never with a crash or a hang (the sanitizer build runs these too); an
// encoder that fails part-way through ends it with the library's words and
// no output at all.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "engine/FFmpegHlpr.h"
#include "engine/LibraryError.h"
#include "medialib/AVCodecHlpr.h"
#include "tests/engine/EngineRun.h"
#include "tests/support/FolderFiles.h"
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

class DamagedInput : public EngineRunTest<DamageCase> {};

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

// Stands in for the encoders' entry point in the run-time table: encoders of
// one stream type get the real call a number of times, then a refusal, as
// from an encoder that breaks down in the middle of a file; or a refusal of
// the drain alone, which would lose the pictures the encoder holds back.
class EncoderBreakdown {
 public:
  EncoderBreakdown(AVMediaType type, int callsBeforeFailure, bool drainOnly) {
    Type = type;
    CallsLeft = callsBeforeFailure;
    DrainOnly = drainOnly;
    Real = AVC.avcodec_send_frame;
    AVC.avcodec_send_frame = SendFrame;
  }
  ~EncoderBreakdown() { AVC.avcodec_send_frame = Real; }
  EncoderBreakdown(const EncoderBreakdown&) = delete;
  EncoderBreakdown& operator=(const EncoderBreakdown&) = delete;

  static constexpr int Error = AVERROR_EXTERNAL;

 private:
  static int SendFrame(AVCodecContext* encoder, const AVFrame* frame) {
    if (encoder->codec_type == Type && (DrainOnly ? !frame : CallsLeft-- <= 0)) return Error;
    return Real(encoder, frame);
  }
  static inline decltype(&::avcodec_send_frame) Real = nullptr;
  static inline AVMediaType Type = AVMEDIA_TYPE_UNKNOWN;
  static inline int CallsLeft = 0;
  static inline bool DrainOnly = false;
};

struct BreakdownCase {
  const char* name;
  AVMediaType type;  // of the encoder that breaks down
  int callsBeforeFailure;
  bool drainOnly;
};

class EncoderFailure : public EngineRunTest<BreakdownCase> {};

TEST_P(EncoderFailure, FailsTheTaskInTheLibrarysWordsAndLeavesNoOutput) {
  const BreakdownCase& c = GetParam();
  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  std::string output;
  if (c.type == AVMEDIA_TYPE_AUDIO) {
    const std::string input = folder / "input.wav";
    MakeWav(input, 44100, 2, 4.0, 440);
    output = folder / "output.mp3";
    ASSERT_TRUE(PrepareMp3Conversion(engine, input, output));
  } else {
    const std::string input = folder / "input.mpg";
    VideoClip clip;
    clip.seconds = 2.0;
    MakeVideo(input, clip);
    output = folder / "output.mpg";
    engine.Reset();
    ASSERT_TRUE(engine.OpenInputFile(input)) << engine.LastError;
    engine.SetTarget("vcd", "pal", "pal");
    ASSERT_TRUE(engine.OpenOutputFile(output)) << engine.LastError;
  }

  std::string message;
  {
    EncoderBreakdown breakdown(c.type, c.callsBeforeFailure, c.drainOnly);
    try {
      engine.Start(false, tpNormal);
    } catch (const FFMpegException& error) {
      message = error.what();
    }
  }

  EXPECT_FALSE(engine.Finished);
  EXPECT_EQ(message, engine.LastError);
  EXPECT_NE(
      message.find("avcodec_send_frame() failed: " + LibraryErrorText(EncoderBreakdown::Error)),
      std::string::npos)
      << message;
  EXPECT_NE(message.find(output + ", stream #0."), std::string::npos) << message;
  // Packets had been written when the encoder broke down.
  EXPECT_GT(c.type == AVMEDIA_TYPE_AUDIO ? engine.AudioBytes : engine.VideoBytes, 0);
  EXPECT_EQ(record.terminates, 1);
  {
    std::lock_guard<std::mutex> guard(record.mutex);
    ASSERT_FALSE(record.lines.empty());
    EXPECT_EQ(record.lines.back(), message);
    EXPECT_EQ(record.levels.back(), 0);
  }
  // Nothing with a hole in it is put in place, nor left behind hidden.
  EXPECT_FALSE(std::filesystem::exists(output));
  EXPECT_TRUE(HiddenPartialFiles(folder.path()).empty());
}

std::string BreakdownName(const ::testing::TestParamInfo<BreakdownCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(Encoders, EncoderFailure,
                         ::testing::Values(BreakdownCase{"Mp3Audio", AVMEDIA_TYPE_AUDIO, 40, false},
                                           BreakdownCase{"VcdVideo", AVMEDIA_TYPE_VIDEO, 20, false},
                                           BreakdownCase{"VcdVideoDrain", AVMEDIA_TYPE_VIDEO, 0,
                                                         true}),
                         BreakdownName);

}  // namespace
