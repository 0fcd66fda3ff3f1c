// Video and subtitle outputs end to end through the engine: the disc
// presets, crop/pad/scale read back pixel by pixel, frame-rate conversion
// with its counters and progress, and DVB subtitles from DVD subtitles.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "engine/FFmpegHlpr.h"
#include "engine/TranscodeTables.h"
#include "tests/engine/EngineRun.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"
#include "tests/support/VideoFixtures.h"

using namespace MediaFixtures;
using namespace VideoFixtures;

namespace {

class VideoTranscode : public ::testing::Test {
 protected:
  void SetUp() override { EnsureLibraries(); }
  // Runs on this thread; the run's error, or "" when it ended normally.
  std::string Run(TCustomFFmpegHlpr& engine) {
    try {
      engine.Start(false, tpNormal);
      return "";
    } catch (const FFMpegException& error) {
      return error.what();
    }
  }
  std::string MakeInput(const std::string& name, AVRational rate, double seconds,
                        bool withAudio = true) {
    const std::string path = folder / name;
    VideoClip clip;
    clip.frameRate = rate;
    clip.seconds = seconds;
    clip.withAudio = withAudio;
    MakeVideo(path, clip);
    return path;
  }
  bool Open(TCustomFFmpegHlpr& engine, const std::string& input) {
    engine.Reset();
    record.Attach(engine);
    if (!engine.OpenInputFile(input)) {
      ADD_FAILURE() << "input: " << engine.LastError;
      return false;
    }
    return true;
  }
  bool Create(TCustomFFmpegHlpr& engine, const std::string& output) {
    if (!engine.OpenOutputFile(output)) {
      ADD_FAILURE() << "output: " << engine.LastError;
      return false;
    }
    return true;
  }
  int VideoPackets(const std::string& path) {
    int count = 0;
    for (const PacketInfo& packet : ReadPackets(path)) count += packet.type == AVMEDIA_TYPE_VIDEO;
    return count;
  }

  TempFolder folder;
  std::mutex lock;
  TCustomFFmpegHlpr engine{lock};
  RunRecord record;
};

TEST_F(VideoTranscode, DvdPresetWithPalGivesAnMpegProgramStream) {
  const std::string input = MakeInput("input.avi", {25, 1}, 2.0);
  const std::string output = folder / "dvd.mpg";
  ASSERT_TRUE(Open(engine, input));
  engine.SetTarget("dvd", "pal", "pal");
  ASSERT_TRUE(Create(engine, output));
  ASSERT_EQ(Run(engine), "") << record.AllLines();
  EXPECT_TRUE(engine.Finished);

  const FileInfo info = Probe(output);
  EXPECT_EQ(info.formatName, "mpeg");
  ASSERT_EQ(info.Count(AVMEDIA_TYPE_VIDEO), 1);
  ASSERT_EQ(info.Count(AVMEDIA_TYPE_AUDIO), 1);
  const StreamInfo& video = *info.First(AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(video.codecId, AV_CODEC_ID_MPEG2VIDEO);
  EXPECT_EQ(video.width, 720);
  EXPECT_EQ(video.height, 576);
  EXPECT_EQ(av_cmp_q(video.frameRate, AVRational{25, 1}), 0)
      << video.frameRate.num << "/" << video.frameRate.den;
  const StreamInfo& audio = *info.First(AVMEDIA_TYPE_AUDIO);
  EXPECT_EQ(audio.codecId, AV_CODEC_ID_AC3);
  EXPECT_EQ(audio.sampleRate, 48000);
  EXPECT_NEAR(VideoPackets(output), 50, 1);
  EXPECT_GE(engine.BitBufferSize, 4 * 720 * 576);
}

TEST_F(VideoTranscode, VcdPresetFindsNtscFromThe2997Input) {
  const std::string input = MakeInput("input.mpg", {30000, 1001}, 2.0);
  const std::string output = folder / "vcd.mpg";
  ASSERT_TRUE(Open(engine, input));
  engine.SetTarget("vcd", "auto", "pal");
  EXPECT_TRUE(record.HasLine("Assuming NTSC for target.")) << record.AllLines();
  ASSERT_TRUE(Create(engine, output));
  ASSERT_EQ(Run(engine), "") << record.AllLines();

  const FileInfo info = Probe(output);
  ASSERT_EQ(info.Count(AVMEDIA_TYPE_VIDEO), 1);
  ASSERT_EQ(info.Count(AVMEDIA_TYPE_AUDIO), 1);
  const StreamInfo& video = *info.First(AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(video.codecId, AV_CODEC_ID_MPEG1VIDEO);
  EXPECT_EQ(video.width, 352);
  EXPECT_EQ(video.height, 240);
  EXPECT_EQ(av_cmp_q(video.frameRate, AVRational{30000, 1001}), 0)
      << video.frameRate.num << "/" << video.frameRate.den;
  const StreamInfo& audio = *info.First(AVMEDIA_TYPE_AUDIO);
  EXPECT_EQ(audio.codecId, AV_CODEC_ID_MP2);
  EXPECT_EQ(audio.sampleRate, 44100);
  EXPECT_NEAR(VideoPackets(output), 60, 1);
}

// Lossless in and out (raw YUV, from NUT to AVI), so that every pixel can be checked:
// the border against PadColor, the inside against the input's pattern.
struct GeometryCase {
  const char* name;
  int cropTop, cropBottom, cropLeft, cropRight;
  const char* size;  // "" keeps the cropped size (no scaling)
  int padTop, padBottom, padLeft, padRight;
  int width, height;  // of the output
  int tolerance;      // of the inside: 0 without scaling
};

void PrintTo(const GeometryCase& c, std::ostream* os) { *os << c.name; }

class Geometry : public VideoTranscode, public ::testing::WithParamInterface<GeometryCase> {};

TEST_P(Geometry, BorderHasPadColorAndTheInsideIsTheCroppedInput) {
  const GeometryCase& c = GetParam();
  const std::string input = folder / "input.nut";
  MakeRawVideo(input, 96, 72, {25, 1}, 0.4);
  const std::string output = folder / "output.avi";
  ASSERT_TRUE(Open(engine, input));
  engine.SetCropTop(c.cropTop);
  engine.SetCropBottom(c.cropBottom);
  engine.SetCropLeft(c.cropLeft);
  engine.SetCropRight(c.cropRight);
  if (*c.size) engine.SetFrameSize(c.size);
  engine.SetPadTop(c.padTop);
  engine.SetPadBottom(c.padBottom);
  engine.SetPadLeft(c.padLeft);
  engine.SetPadRight(c.padRight);
  engine.SetPadColor(0x3080E0);  // red 0xE0, green 0x80, blue 0x30
  engine.SetVideoCodec("rawvideo");
  engine.SetPixelFormat("yuv420p");
  ASSERT_TRUE(Create(engine, output));
  const int colour[3] = {engine.PadColor[0], engine.PadColor[1], engine.PadColor[2]};
  ASSERT_EQ(Run(engine), "") << record.AllLines();

  const std::vector<DecodedPicture> pictures = DecodePictures(output, 10);
  ASSERT_EQ(pictures.size(), 10u);
  const int insideWidth = c.width - c.padLeft - c.padRight;
  const int insideHeight = c.height - c.padTop - c.padBottom;
  const double scaleX = double(96 - c.cropLeft - c.cropRight) / insideWidth;
  const double scaleY = double(72 - c.cropTop - c.cropBottom) / insideHeight;
  for (int n : {0, 9}) {
    const DecodedPicture& picture = pictures[n];
    ASSERT_EQ(picture.width, c.width);
    ASSERT_EQ(picture.height, c.height);
    for (int y = 0; y < c.height; ++y)
      for (int x = 0; x < c.width; ++x) {
        const int ix = x - c.padLeft, iy = y - c.padTop;
        if (ix < 0 || iy < 0 || ix >= insideWidth || iy >= insideHeight) {
          ASSERT_EQ(picture.Y(x, y), colour[0]) << "border " << x << "," << y;
          if (x % 2 == 0 && y % 2 == 0) {
            ASSERT_EQ(picture.U(x / 2, y / 2), colour[1]) << "border " << x << "," << y;
            ASSERT_EQ(picture.V(x / 2, y / 2), colour[2]) << "border " << x << "," << y;
          }
          continue;
        }
        // Skip the scaler's one-pixel transition at the inside's edge.
        if (c.tolerance && (ix < 2 || iy < 2 || ix >= insideWidth - 2 || iy >= insideHeight - 2))
          continue;
        const double sx = c.cropLeft + (ix + 0.5) * scaleX - 0.5;
        const double sy = c.cropTop + (iy + 0.5) * scaleY - 0.5;
        const double expected = sx + sy + 3 * n;  // the pattern, between its pixels
        ASSERT_NEAR(picture.Y(x, y), expected, c.tolerance + 0.01) << x << "," << y;
      }
    EXPECT_EQ(picture.V(c.width / 4, c.height / 4), 128);
    EXPECT_NEAR(picture.U(c.width / 4, c.height / 4), 128 + n, c.tolerance);
  }
}

INSTANTIATE_TEST_SUITE_P(
    CropPadScale, Geometry,
    ::testing::Values(GeometryCase{"crop", 8, 4, 16, 10, "", 0, 0, 0, 0, 70, 60, 0},
                      GeometryCase{"pad", 0, 0, 0, 0, "", 6, 10, 4, 8, 108, 88, 0},
                      GeometryCase{"cropPad", 4, 2, 6, 8, "", 2, 4, 10, 2, 94, 72, 0},
                      GeometryCase{"cropScalePad", 8, 8, 16, 16, "128x112", 8, 8, 8, 8, 144, 128,
                                   2}),
    [](const ::testing::TestParamInfo<GeometryCase>& info) { return info.param.name; });

// The status line of the last report, when no progress hook takes it.
std::string LastStatus(RunRecord& record) {
  std::lock_guard<std::mutex> guard(record.mutex);
  for (auto it = record.lines.rbegin(); it != record.lines.rend(); ++it)
    if (it->find("size=") != std::string::npos) return *it;
  return "";
}

struct RateCase {
  const char* name;
  const char* inputName;
  AVRational inputRate, outputRate;
  int outputFrames, duplicated, dropped;
};

void PrintTo(const RateCase& c, std::ostream* os) { *os << c.name; }

class RateConversion : public VideoTranscode, public ::testing::WithParamInterface<RateCase> {};

TEST_P(RateConversion, RepeatsOrDropsPicturesAndCountsThem) {
  const RateCase& c = GetParam();
  const std::string input = MakeInput(c.inputName, c.inputRate, 2.0, false);
  const std::string output = folder / "output.avi";
  ASSERT_TRUE(Open(engine, input));
  engine.ProgressHook = {};
  engine.SetVerbose(2);
  engine.SetFrameRate(std::to_string(c.outputRate.num) + "/" + std::to_string(c.outputRate.den));
  engine.SetVideoCodec("mpeg4");
  ASSERT_TRUE(Create(engine, output));
  ASSERT_EQ(Run(engine), "") << record.AllLines();

  EXPECT_NEAR(VideoPackets(output), c.outputFrames, 1);
  const std::string status = LastStatus(record);
  int frames = -1, duplicated = -1, dropped = -1;
  const size_t dup = status.find(" dup=");
  ASSERT_EQ(std::sscanf(status.c_str(), "frame=%d", &frames), 1) << status;
  ASSERT_NE(status.find(" L"), std::string::npos) << "the last report: " << status;
  ASSERT_NE(dup, std::string::npos) << status;
  ASSERT_EQ(std::sscanf(status.c_str() + dup, " dup=%d drop=%d", &duplicated, &dropped), 2);
  EXPECT_NEAR(frames, c.outputFrames, 1);
  EXPECT_NEAR(duplicated, c.duplicated, 1);
  EXPECT_NEAR(dropped, c.dropped, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Rates, RateConversion,
    ::testing::Values(RateCase{"pal_to_ntsc", "input.avi", {25, 1}, {30000, 1001}, 60, 10, 0},
                      RateCase{"ntsc_to_pal", "input.mpg", {30000, 1001}, {25, 1}, 50, 0, 10}),
    [](const ::testing::TestParamInfo<RateCase>& info) { return info.param.name; });

TEST_F(VideoTranscode, ProgressCarriesFrameNumberFpsAndQuantiser) {
  const std::string input = MakeInput("input.avi", {25, 1}, 3.0);
  const std::string output = folder / "output.avi";
  ASSERT_TRUE(Open(engine, input));
  engine.ReportInterval = 0;
  engine.SetVideoCodec("mpeg4");
  ASSERT_TRUE(Create(engine, output));
  ASSERT_EQ(Run(engine), "") << record.AllLines();

  std::lock_guard<std::mutex> guard(record.mutex);
  ASSERT_FALSE(record.progress.empty());
  int previous = 0;
  for (const ProgressValues& values : record.progress) {
    EXPECT_GE(values.frameNumber, previous);
    EXPECT_GE(values.fps, 0);
    EXPECT_GT(values.quality, 0) << "quantiser of the last coded picture";
    EXPECT_LT(values.quality, 32);
    previous = values.frameNumber;
  }
  EXPECT_EQ(record.progress.back().frameNumber, 75);
}

// The first pass writes one statistics line per coded picture (the last ones
// come out of the drain); the second pass reads them back.
TEST_F(VideoTranscode, TwoPassStatisticsFollowEveryPicture) {
  const std::string input = MakeInput("input.avi", {25, 1}, 2.0, false);
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  for (int pass : {1, 2}) {
    const std::string output = folder / ("pass" + std::to_string(pass) + ".avi");
    ASSERT_TRUE(Open(engine, input));
    engine.SetVideoCodec("mpeg4");
    engine.SetLibraryOption("bf", "2");  // B-frames: the last pictures leave at the drain
    engine.PassNumber = pass;
    ASSERT_TRUE(Create(engine, output));
    ASSERT_EQ(Run(engine), "") << record.AllLines();
    EXPECT_EQ(VideoPackets(output), 50) << "pass " << pass;
    if (pass == 1) {
      std::ifstream log(folder / "ffmpeg2pass-0.log");
      int lines = 0;
      for (std::string line; std::getline(log, line);) lines += line.rfind("in:", 0) == 0;
      EXPECT_EQ(lines, 50);
    }
  }
  std::filesystem::current_path(previous);
}

TEST_F(VideoTranscode, DvbSubtitlesShowAndClearEachSubtitle) {
  const std::string input = folder / "subtitles.mkv";
  const std::vector<SubtitleCue> cues = {{500, 2548}, {3000, 3512}, {6000, 8048}};
  MakeBitmapSubtitles(input, cues);
  const std::string output = folder / "subtitles.ts";
  ASSERT_TRUE(Open(engine, input));
  engine.SubtitleCodecName = "dvbsub";
  ASSERT_TRUE(Create(engine, output));
  ASSERT_EQ(Run(engine), "") << record.AllLines();

  std::vector<PacketInfo> packets;
  for (const PacketInfo& packet : ReadPackets(output))
    if (packet.type == AVMEDIA_TYPE_SUBTITLE) packets.push_back(packet);
  ASSERT_EQ(packets.size(), 2 * cues.size());
  for (size_t i = 0; i < cues.size(); ++i) {
    const PacketInfo& show = packets[2 * i];
    const PacketInfo& clear = packets[2 * i + 1];
    ASSERT_EQ(show.timeBase.den, 90000);
    EXPECT_EQ(clear.pts - show.pts, 90 * (cues[i].endMs - cues[i].startMs)) << i;
    if (i > 0) {
      EXPECT_EQ(show.pts - packets[0].pts, 90 * (cues[i].startMs - cues[0].startMs)) << i;
    }
  }
}

// Reaches the subtitle path directly, for the one input no container can hold.
class SubtitleEngine : public TCustomFFmpegHlpr {
 public:
  using TCustomFFmpegHlpr::EncodeSubtitle;
  using TCustomFFmpegHlpr::SubtitleBuffer;
  using TCustomFFmpegHlpr::TCustomFFmpegHlpr;
};

TEST_F(VideoTranscode, SubtitleWithoutTimestampIsLoggedAndSkipped) {
  SubtitleEngine subtitles(lock);
  record.Attach(subtitles);
  OutputStream ost;
  InputStream ist;
  AVSubtitle subtitle = {};
  subtitles.EncodeSubtitle(nullptr, ost, ist, &subtitle, AV_NOPTS_VALUE);
  ASSERT_EQ(record.lines.size(), 1u);
  EXPECT_EQ(record.lines[0], "Subtitle packets must have a pts");
  EXPECT_EQ(record.levels[0], 0);
  EXPECT_TRUE(subtitles.SubtitleBuffer.empty()) << "nothing was encoded";
}

}  // namespace
