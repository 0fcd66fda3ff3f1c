// One long MP3 stream encoded in segments on several encoders, checked
// against a whole encoding of the same source: an independent decoder
// (mpg123) takes the joined stream without a complaint and plays exactly the
// source's samples (gapless, from the Info header), the error against the
// source around every join is that of one encoding, and the Info header
// counts the file's own frames and bytes. A short file and a stopped run are
// looked at too.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/FFmpegHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "tests/engine/EngineRun.h"
#include "tests/support/JoinSignal.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

using namespace MediaFixtures;

namespace {

constexpr int Rate = 44100;
constexpr int FrameSamples = 1152;
constexpr int SegmentFrames = 766;  // about 20 s
constexpr int SegmentSamples = SegmentFrames * FrameSamples;

struct SplitCase {
  const char* name;
  int encoders;
  bool vbr;
  double noise;  // peak of the noise in the music
};


std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// mpg123's decoding of the file: its sample frames and what it said.
struct Mpg123Run {
  long long frames = -1;
  std::string said;
};

Mpg123Run RunMpg123(const std::string& path, const std::string& folder) {
  const std::string said = folder + "/mpg123.txt";
  const std::string command =
      "mpg123 -q -s '" + path + "' 2>'" + said + "' | wc -c";
  Mpg123Run run;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return run;
  long long bytes = -1;
  if (std::fscanf(pipe, "%lld", &bytes) != 1) bytes = -1;
  if (pclose(pipe) != 0) return run;
  run.frames = bytes < 0 ? -1 : bytes / 4;
  std::ifstream in(said);
  run.said.assign(std::istreambuf_iterator<char>(in), {});
  return run;
}

// The library decoder's complaints (a main_data_begin reaching before the
// reservoir, an overread), caught while DecodeAudio runs on this thread.
std::vector<std::string> DecoderErrors;

void RecordDecoderError(void*, int level, const char* format, va_list arguments) {
  if (level > AV_LOG_ERROR) return;
  char line[512];
  std::vsnprintf(line, sizeof line, format, arguments);
  DecoderErrors.push_back(line);
}

DecodedAudio DecodeNoting(const std::string& path, std::vector<std::string>& errors) {
  DecoderErrors.clear();
  AVU.av_log_set_callback(RecordDecoderError);
  DecodedAudio decoded;
  try {
    decoded = DecodeAudio(path);
  } catch (...) {
    AVU.av_log_set_callback(AVU.av_log_default_callback);
    throw;
  }
  AVU.av_log_set_callback(AVU.av_log_default_callback);
  errors = DecoderErrors;
  return decoded;
}

// The Info (or Xing) frame's counts, and the audio frames and bytes the file
// holds from that frame on (ID3v2 tag skipped).
struct InfoHeader {
  bool found = false;
  uint32_t frames = 0, bytes = 0;
  int delay = -1, padding = -1;
  uint32_t countedFrames = 0, countedBytes = 0;
};

InfoHeader ReadInfoHeader(const std::vector<uint8_t>& d) {
  InfoHeader info;
  size_t pos = 0;
  if (d.size() > 10 && d[0] == 'I' && d[1] == 'D' && d[2] == '3')
    pos = 10 + ((d[6] << 21) | (d[7] << 14) | (d[8] << 7) | d[9]);
  static const int kbits[] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
  const size_t first = pos;
  while (pos + 4 <= d.size() && d[pos] == 0xFF && (d[pos + 1] & 0xE0) == 0xE0) {
    const int size = 144000 * kbits[d[pos + 2] >> 4] / Rate + ((d[pos + 2] >> 1) & 1);
    if (size <= 4) break;
    pos += size;
    ++info.countedFrames;
  }
  info.countedBytes = static_cast<uint32_t>(pos - first);
  if (info.countedFrames == 0) return info;
  --info.countedFrames;  // the Info frame itself
  auto be32 = [&](size_t at) {
    return static_cast<uint32_t>(d[at] << 24 | d[at + 1] << 16 | d[at + 2] << 8 | d[at + 3]);
  };
  for (size_t at = first + 4; at + 140 < d.size() && at < first + 64; ++at) {
    if (std::string(d.begin() + at, d.begin() + at + 4) != "Info" &&
        std::string(d.begin() + at, d.begin() + at + 4) != "Xing")
      continue;
    info.found = true;
    info.frames = be32(at + 8);
    info.bytes = be32(at + 12);
    const size_t lame = at + 120;  // flags, counts, seek table, quality
    info.delay = (d[lame + 21] << 4) | (d[lame + 22] >> 4);
    info.padding = ((d[lame + 22] & 15) << 8) | d[lame + 23];
    break;
  }
  return info;
}

// Squared error of `decoded` against the source over [from, to) sample frames.
double ErrorEnergy(const DecodedAudio& source, const DecodedAudio& decoded, size_t from,
                   size_t to) {
  double sum = 0;
  for (size_t i = from * 2; i < to * 2; ++i) {
    const double e = static_cast<double>(decoded.samples[i]) - source.samples[i];
    sum += e * e;
  }
  return sum;
}

double SignalEnergy(const DecodedAudio& source) {
  double sum = 0;
  for (const int16_t s : source.samples) sum += static_cast<double>(s) * s;
  return sum;
}

class SplitEncoding : public EngineRunTest<SplitCase> {
 protected:
  // Converts `input` with `encoders` encoders; false when the run raised.
  bool Convert(const std::string& input, const std::string& output, int encoders, bool vbr,
               RunRecord& log) {
    TCustomFFmpegHlpr engine(lock);
    log.Attach(engine);
    engine.Reset();
    if (!engine.OpenInputFile(input)) return false;
    engine.SetAudioCodec("libmp3lame");
    if (vbr) {
      // The component's V2.
      engine.SetLibraryOption("flags", "+qscale");
      engine.SetLibraryOption("global_quality", std::to_string(2 * 118));
    } else {
      engine.SetLibraryOption("ab", "128000");
    }
    engine.SetAudioSampleRate(Rate);
    engine.SetAudioChannels(2);
    if (!engine.OpenOutputFile(output)) return false;
    engine.ThreadsPerFile = encoders;
    try {
      engine.Start(false, tpNormal);
    } catch (const FFMpegException& error) {
      ADD_FAILURE() << error.what();
      return false;
    }
    return engine.Finished;
  }
};

bool Logged(RunRecord& record, const std::string& part) {
  return record.AllLines().find(part) != std::string::npos;
}

TEST_P(SplitEncoding, JoinsNobodyCanHear) {
  const SplitCase& c = GetParam();
  const std::string input = folder / "long.wav";
  MakeFloatWav(input, Rate, 2, JoinSignal(Rate, 90, c.noise));
  const std::string whole = folder / "whole.mp3", split = folder / "split.mp3";
  RunRecord wholeLog, splitLog;
  ASSERT_TRUE(Convert(input, whole, 1, c.vbr, wholeLog));
  ASSERT_TRUE(Convert(input, split, c.encoders, c.vbr, splitLog));
  ASSERT_TRUE(Logged(splitLog, "encoded in segments on " + std::to_string(c.encoders)))
      << splitLog.AllLines();
  EXPECT_TRUE(Logged(splitLog, "; 0 frames at a higher bit rate")) << splitLog.AllLines();

  const DecodedAudio source = DecodeAudio(input);
  const Mpg123Run played = RunMpg123(split, folder.path().string());
  EXPECT_EQ(played.frames, static_cast<long long>(source.Frames()));
  EXPECT_EQ(played.said, "");

  std::vector<std::string> complaints;
  const DecodedAudio a = DecodeAudio(whole), b = DecodeNoting(split, complaints);
  EXPECT_EQ(complaints, std::vector<std::string>{});
  ASSERT_EQ(b.Frames(), source.Frames());
  ASSERT_EQ(a.Frames(), source.Frames());
  const double signal = SignalEnergy(source);
  const double wholeSnr = 10 * std::log10(signal / ErrorEnergy(source, a, 0, source.Frames()));
  const double splitSnr = 10 * std::log10(signal / ErrorEnergy(source, b, 0, source.Frames()));
  EXPECT_NEAR(splitSnr, wholeSnr, 0.2);
  // 100 ms before and after each cut; one LSB per sample is allowed over
  // silence, where both errors are next to nothing.
  constexpr size_t Window = Rate / 10;
  for (size_t cut = SegmentSamples; cut + Window < source.Frames(); cut += SegmentSamples)
    for (const size_t from : {cut - Window, cut}) {
      const double allowance = 2.0 * Window;
      const double wholeError = ErrorEnergy(source, a, from, from + Window);
      const double splitError = ErrorEnergy(source, b, from, from + Window);
      EXPECT_LE(splitError, wholeError * std::pow(10, 0.1) + allowance)
          << "at " << from / double(Rate) << " s";
    }

  const std::vector<uint8_t> wholeBytes = FileBytes(whole), splitBytes = FileBytes(split);
  const InfoHeader info = ReadInfoHeader(splitBytes), wholeInfo = ReadInfoHeader(wholeBytes);
  ASSERT_TRUE(info.found);
  EXPECT_EQ(info.frames, info.countedFrames);
  EXPECT_EQ(info.bytes, info.countedBytes);
  EXPECT_EQ(info.frames, wholeInfo.frames);
  EXPECT_EQ(info.delay, wholeInfo.delay);
  EXPECT_EQ(info.padding, wholeInfo.padding);
  // The bit rate is the whole encoding's.
  EXPECT_NEAR(static_cast<double>(splitBytes.size()), static_cast<double>(wholeBytes.size()),
              wholeBytes.size() * 0.01);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitEncoding,
    ::testing::Values(SplitCase{"TwoEncoders", 2, false, 0.02},
                      SplitCase{"ThreeEncodersVbrNoisy", 3, true, 0.1},
                      SplitCase{"FourEncodersNoisy", 4, false, 0.1}),
    [](const auto& info) { return std::string(info.param.name); });

class SplitLimits : public ::testing::Test {
 protected:
  void SetUp() override { EnsureLibraries(); }
  TempFolder folder;
  std::mutex lock;
};

TEST_F(SplitLimits, AShortFileIsEncodedWhole) {
  const std::string input = folder / "short.wav";
  MakeWav(input, Rate, 2, 45, 440);
  std::vector<std::vector<uint8_t>> outputs;
  for (const int encoders : {1, 4}) {
    const std::string output = folder / ("out" + std::to_string(encoders) + ".mp3");
    TCustomFFmpegHlpr engine(lock);
    RunRecord record;
    record.Attach(engine);
    ASSERT_TRUE(PrepareMp3Conversion(engine, input, output));
    engine.ThreadsPerFile = encoders;
    engine.Start(false, tpNormal);
    ASSERT_TRUE(engine.Finished);
    EXPECT_FALSE(Logged(record, "encoded in segments"));
    outputs.push_back(FileBytes(output));
  }
  EXPECT_EQ(outputs[0], outputs[1]);
}

TEST_F(SplitLimits, StopMidSplitLeavesTheFolderAsItWas) {
  const std::string input = folder / "long.wav";
  MakeWav(input, Rate, 2, 120, 440);
  const std::string output = folder / "stopped.mp3";
  { std::ofstream(output) << "an earlier result"; }
  TCustomFFmpegHlpr engine(lock);
  RunRecord record;
  record.Attach(engine);
  ASSERT_TRUE(PrepareMp3Conversion(engine, input, output));
  engine.ThreadsPerFile = 2;
  engine.ReportInterval = 0;
  ASSERT_NE(engine.Start(true, tpNormal), 0u);
  ASSERT_TRUE(record.WaitForProgress(3));
  engine.Stop();
  ASSERT_TRUE(record.WaitForTerminate());
  engine.StopAndWait();
  EXPECT_FALSE(engine.Finished);
  EXPECT_TRUE(Logged(record, "encoded in segments on 2"));
  std::ifstream kept(output);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "an earlier result");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"long.wav", "stopped.mp3"}));
}

}  // namespace
