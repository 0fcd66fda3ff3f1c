#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/opt.h>
}

#include "engine/FFmpegHlpr.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/MediaLibraries.h"
#include "medialib/VersionedCalls.h"
#include "tests/engine/SetterChecks.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

namespace {

int64_t PrivateInt(void* object, const char* name) {
  int64_t value = -1;
  EXPECT_GE(AVU.av_opt_get_int(object, name, AV_OPT_SEARCH_CHILDREN, &value), 0) << name;
  return value;
}

bool SameRate(AVRational a, AVRational b) { return av_cmp_q(a, b) == 0; }

// The mux rate of the first MPEG-1 pack header, in bytes per second.
int64_t FirstPackMuxRate(const std::string& path) {
  std::vector<unsigned char> head(12);
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return -1;
  const size_t got = std::fread(head.data(), 1, head.size(), file);
  std::fclose(file);
  if (got != head.size() || head[0] != 0 || head[1] != 0 || head[2] != 1 || head[3] != 0xBA) return -1;
  const int64_t units = ((head[9] & 0x7F) << 15) | (head[10] << 7) | (head[11] >> 1);
  return units * 50 * 8;  // units of 50 bytes per second, as bits per second
}

// The video decoder buffer that the first system header of a program stream
// announces, in bytes; -1 when there is none in the first 64 KiB.
int64_t FirstVideoBufferBound(const std::string& path) {
  std::vector<unsigned char> head(65536);
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return -1;
  head.resize(std::fread(head.data(), 1, head.size(), file));
  std::fclose(file);
  for (size_t at = 0; at + 12 <= head.size(); ++at) {
    if (head[at] != 0 || head[at + 1] != 0 || head[at + 2] != 1 || head[at + 3] != 0xBB) continue;
    const size_t end = std::min(head.size(), at + 6 + ((head[at + 4] << 8) | head[at + 5]));
    for (size_t entry = at + 12; entry + 3 <= end; entry += 3) {
      if (head[entry] != 0xE0) continue;
      const int bound = ((head[entry + 1] & 0x1F) << 8) | head[entry + 2];
      return int64_t(bound) * ((head[entry + 1] & 0x20) ? 1024 : 128);
    }
  }
  return -1;
}

class Presets : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadMediaLibraries("", true)) << MediaLibraryError;
    engine.Reset();
    engine.LogHook = {RecordLine, &lines};
  }

  void OpenVideo(const char* name, AVRational rate, int channels) {
    MediaFixtures::VideoClip clip;
    clip.frameRate = rate;
    clip.channels = channels;
    clip.seconds = 0.5;
    const std::string path = folder / name;
    MediaFixtures::MakeVideo(path, clip);
    ASSERT_TRUE(engine.OpenInputFile(path)) << engine.LastError;
  }

  void OpenOutput(const char* name) {
    ASSERT_TRUE(engine.OpenOutputFile(folder / name)) << engine.LastError;
    ASSERT_EQ(engine.OutputFileCount, 1);
  }

  AVFormatContext* Output() { return engine.OutputFiles[0].get(); }

  // The output stream's encoder context of a type, or nullptr.
  AVCodecContext* Encoder(AVMediaType type) {
    for (unsigned i = 0; i < Output()->nb_streams; ++i) {
      AVCodecContext* context = engine.OutputCodecs[0][i].Context.get();
      if (context && context->codec_type == type) return context;
    }
    return nullptr;
  }

  // The encoder accepts everything the preset gave it.
  void ExpectOpens(AVCodecContext* context) {
    if (context->codec_type == AVMEDIA_TYPE_AUDIO && context->sample_fmt == AV_SAMPLE_FMT_NONE)
      context->sample_fmt =
          VersionedCalls::SupportedSampleFormats(AVC.avcodec_find_encoder(context->codec_id))[0];
    EXPECT_EQ(AVC.avcodec_open2(context, AVC.avcodec_find_encoder(context->codec_id), nullptr), 0)
        << AVC.avcodec_find_encoder(context->codec_id)->name;
  }

  std::mutex lock;
  TCustomFFmpegHlpr engine{lock};
  std::vector<std::string> lines;
  TempFolder folder;
};

}  // namespace

TEST_F(Presets, DvdPalMakesAnMpeg2Ac3ProgramStream) {
  OpenVideo("in.mpg", {25, 1}, 2);
  engine.SetTarget("dvd", "pal", "ntsc");
  EXPECT_TRUE(lines.empty());  // a given norm is not announced
  OpenOutput("out.vob");

  EXPECT_STREQ(Output()->oformat->name, "dvd");
  EXPECT_EQ(Output()->packet_size, 2048u);
  EXPECT_EQ(PrivateInt(Output(), "muxrate"), 10080000);
  AVCodecContext* video = Encoder(AVMEDIA_TYPE_VIDEO);
  AVCodecContext* audio = Encoder(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(video, nullptr);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(Output()->nb_streams, 2u);

  EXPECT_EQ(video->codec_id, AV_CODEC_ID_MPEG2VIDEO);
  EXPECT_EQ(video->width, 720);
  EXPECT_EQ(video->height, 576);
  EXPECT_TRUE(SameRate(video->time_base, {1, 25}));
  EXPECT_EQ(video->gop_size, 15);
  EXPECT_EQ(video->bit_rate, 6000000);
  EXPECT_EQ(video->rc_max_rate, 9000000);
  EXPECT_EQ(video->rc_min_rate, 0);
  EXPECT_EQ(video->rc_buffer_size, 1835008);
  // The input's square pixels at 320x240 are 4:3, which the preset keeps.
  EXPECT_TRUE(SameRate(video->sample_aspect_ratio, {16, 15}))
      << video->sample_aspect_ratio.num << "/" << video->sample_aspect_ratio.den;

  EXPECT_EQ(audio->codec_id, AV_CODEC_ID_AC3);
  EXPECT_EQ(audio->sample_rate, 48000);
  EXPECT_EQ(audio->ch_layout.nb_channels, 2);
  EXPECT_EQ(audio->bit_rate, 448000);
  ExpectOpens(video);
  ExpectOpens(audio);
}

TEST_F(Presets, VcdAutoAfterNtscInputAnnouncesTheNorm) {
  OpenVideo("in.mpg", {30000, 1001}, 2);
  engine.SetVerbose(1);
  engine.SetTarget("vcd", "auto", "pal");
  EXPECT_EQ(lines, std::vector<std::string>{"1 Assuming NTSC for target."});
  OpenOutput("out.mpg");

  EXPECT_STREQ(Output()->oformat->name, "vcd");
  EXPECT_EQ(Output()->packet_size, 2324u);
  EXPECT_EQ(PrivateInt(Output(), "muxrate"), 1411200);
  EXPECT_EQ(PrivateInt(Output(), "preload"), 440000);
  AVCodecContext* video = Encoder(AVMEDIA_TYPE_VIDEO);
  AVCodecContext* audio = Encoder(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(video, nullptr);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(video->codec_id, AV_CODEC_ID_MPEG1VIDEO);
  EXPECT_EQ(video->width, 352);
  EXPECT_EQ(video->height, 240);
  EXPECT_TRUE(SameRate(video->time_base, {1001, 30000}));
  EXPECT_EQ(video->gop_size, 18);
  EXPECT_EQ(video->bit_rate, 1150000);
  EXPECT_EQ(video->rc_min_rate, 1150000);
  EXPECT_EQ(video->rc_max_rate, 1150000);
  EXPECT_EQ(video->rc_buffer_size, 327680);
  EXPECT_EQ(audio->codec_id, AV_CODEC_ID_MP2);
  EXPECT_EQ(audio->sample_rate, 44100);
  EXPECT_EQ(audio->ch_layout.nb_channels, 2);
  EXPECT_EQ(audio->bit_rate, 224000);
  ExpectOpens(video);
  ExpectOpens(audio);
}

TEST_F(Presets, SvcdAutoFallsBackWhenNoRateTellsTheNorm) {
  OpenVideo("in.avi", {10, 1}, 1);
  engine.SetTarget("svcd", "auto", "pal");
  EXPECT_EQ(lines, std::vector<std::string>{"1 Assuming PAL for target."});
  EXPECT_EQ(engine.AudioChannels, 2);  // a mono input is made stereo
  OpenOutput("out.mpg");

  EXPECT_STREQ(Output()->oformat->name, "svcd");
  EXPECT_EQ(Output()->packet_size, 2324u);
  AVCodecContext* video = Encoder(AVMEDIA_TYPE_VIDEO);
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->codec_id, AV_CODEC_ID_MPEG2VIDEO);
  EXPECT_EQ(video->width, 480);
  EXPECT_EQ(video->height, 576);
  EXPECT_TRUE(SameRate(video->time_base, {1, 25}));
  EXPECT_EQ(video->bit_rate, 2040000);
  EXPECT_EQ(video->rc_max_rate, 2516000);
  // The scan offset flag of the older library is the encoder's own option now.
  EXPECT_EQ(PrivateInt(video, "scan_offset"), 1);
  AVCodecContext* audio = Encoder(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(audio->ch_layout.nb_channels, 2);
  EXPECT_EQ(audio->bit_rate, 224000);
  ExpectOpens(video);
  ExpectOpens(audio);
}

TEST_F(Presets, FallbackNorms) {
  OpenVideo("in.avi", {10, 1}, 1);
  engine.SetAudioChannels(6);
  struct Case {
    const char* fallback;
    const char* announced;
    int height;
    AVRational rate;
  };
  for (const Case& c : std::vector<Case>{{"ntsc", "NTSC", 480, {30000, 1001}},
                                        {"film", "NTSC", 480, {24000, 1001}},
                                        {"PAL", "PAL", 576, {25, 1}},
                                        {"", "PAL", 576, {25, 1}}}) {
    lines.clear();
    engine.FrameRate = {10, 1};
    engine.SetTarget("svcd", "auto", c.fallback);
    EXPECT_EQ(lines, std::vector<std::string>{std::string("1 Assuming ") + c.announced + " for target."});
    EXPECT_EQ(engine.FrameHeight, c.height) << c.fallback;
    EXPECT_TRUE(SameRate(engine.FrameRate, c.rate)) << c.fallback;
    EXPECT_EQ(engine.AudioChannels, 6);  // more than one channel is kept
  }
}

TEST_F(Presets, TheInputsVideoStreamsDecideWhenTheFrameRateDoesNot) {
  OpenVideo("in.mpg", {25, 1}, 2);
  engine.SetFrameRate("10");
  engine.SetVerbose(0);  // detection stays silent below information level
  engine.SetTarget("vcd", "auto", "ntsc");
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(engine.FrameHeight, 288);
  EXPECT_TRUE(SameRate(engine.FrameRate, {25, 1}));
}

TEST_F(Presets, AutomaticDetectionAfterAnAudioOnlyInputIsRefused) {
  const std::string path = folder / "in.wav";
  MediaFixtures::MakeWav(path, 44100, 2, 0.5, 440);
  ASSERT_TRUE(engine.OpenInputFile(path)) << engine.LastError;
  for (const char* fallback : {"pal", "ntsc", "film"}) {
    EXPECT_EQ(Raised([&] { engine.SetTarget("vcd", "auto", fallback); }), "frame_rate is invalid.");
    EXPECT_EQ(Raised([&] { engine.SetTarget("nosuch", "auto", fallback); }), "frame_rate is invalid.");
  }
  EXPECT_TRUE(lines.empty());
  EXPECT_EQ(engine.VideoCodecName, "");
  EXPECT_EQ(engine.ForcedOutputFormat, nullptr);
  EXPECT_TRUE(engine.OptionNames.empty());
  // A given norm needs no rate.
  engine.SetTarget("vcd", "pal", "pal");
  EXPECT_EQ(engine.FrameWidth, 352);
}

TEST_F(Presets, UnknownTargetsAreRaisedAfterTheNormAndBeforeAnyStep) {
  EXPECT_EQ(Raised([&] { engine.SetTarget("DVD", "pal", "pal"); }), "Unknown target type");
  EXPECT_TRUE(lines.empty());
  engine.SetFrameRate("25");
  EXPECT_EQ(Raised([&] { engine.SetTarget("dvd ", "auto", "pal"); }), "Unknown target type");
  EXPECT_EQ(lines, std::vector<std::string>{"1 Assuming PAL for target."});
  EXPECT_EQ(engine.VideoCodecName, "");
  EXPECT_EQ(engine.FrameWidth, 0);
  EXPECT_TRUE(engine.OptionNames.empty());
}

TEST_F(Presets, FieldsOfEveryTargetAndNorm) {
  struct Case {
    const char* target;
    const char* norm;
    const char* format;
    const char* video;
    const char* audio;
    int width, height;
    AVRational rate;
    int pixFmt;
    int sampleRate;
    float aspect;
  };
  const float none = 0;
  for (const Case& c : std::vector<Case>{
           {"vcd", "pal", "vcd", "mpeg1video", "mp2", 352, 288, {25, 1}, -1, 44100, 4.0f / 3},
           {"svcd", "ntsc", "svcd", "mpeg2video", "mp2", 480, 480, {30000, 1001}, -1, 44100, 4.0f / 3},
           {"dvd", "film", "dvd", "mpeg2video", "ac3", 720, 480, {24000, 1001}, -1, 48000, 16.0f / 9},
           {"dv", "pal", "dv", "", "", 720, 576, {25, 1}, AV_PIX_FMT_YUV420P, 48000, none},
           {"dv", "ntsc", "dv", "", "", 720, 480, {30000, 1001}, AV_PIX_FMT_YUV411P, 48000, none},
           {"dv", "film", "dv", "", "", 720, 480, {24000, 1001}, AV_PIX_FMT_YUV411P, 48000, none},
           {"dv50", "pal", "dv", "", "", 720, 576, {25, 1}, AV_PIX_FMT_YUV422P, 48000, none}}) {
    SCOPED_TRACE(std::string(c.target) + "/" + c.norm);
    engine.Reset();
    engine.AudioChannels = 1;
    engine.SetTarget(c.target, c.norm, "pal");
    ASSERT_NE(engine.ForcedOutputFormat, nullptr);
    EXPECT_STREQ(engine.ForcedOutputFormat->name, c.format);
    EXPECT_EQ(engine.VideoCodecName, c.video);
    EXPECT_EQ(engine.AudioCodecName, c.audio);
    EXPECT_EQ(engine.FrameWidth, c.width);
    EXPECT_EQ(engine.FrameHeight, c.height);
    EXPECT_TRUE(SameRate(engine.FrameRate, c.rate));
    EXPECT_EQ(engine.FramePixFmt, c.pixFmt);
    EXPECT_EQ(engine.AudioSampleRate, c.sampleRate);
    EXPECT_EQ(engine.AudioChannels, 2);
    EXPECT_EQ(engine.FrameAspectRatio, c.aspect);
  }
  // An aspect ratio that is set already stays.
  engine.Reset();
  engine.SetAspectRatio("2.35");
  engine.SetTarget("dvd", "ntsc", "pal");
  EXPECT_EQ(engine.FrameAspectRatio, 2.35f);
  EXPECT_EQ(engine.OptionNames,
            (std::vector<std::string>{"g", "b", "maxrate", "minrate", "bufsize", "packetsize", "muxrate", "ab"}));
  EXPECT_EQ(engine.CodecOptions[AVMEDIA_TYPE_VIDEO]->gop_size, 18);
}

TEST_F(Presets, LaterStepsDoNotUndoWhatTheOptionsBeforeThemSet) {
  // "b" reaches the audio options too; "ab" after it gives audio its own rate.
  engine.SetTarget("vcd", "pal", "pal");
  EXPECT_EQ(engine.CodecOptions[AVMEDIA_TYPE_AUDIO]->bit_rate, 224000);
  EXPECT_EQ(engine.CodecOptions[AVMEDIA_TYPE_VIDEO]->bit_rate, 1150000);
  EXPECT_EQ(engine.MuxPreload, 0.44f);
}

TEST_F(Presets, AVcdIsWrittenWithItsPacketSizeMuxRateAndBitRates) {
  OpenVideo("in.mpg", {25, 1}, 2);
  engine.SetTarget("vcd", "auto", "ntsc");
  const std::string path = folder / "out.mpg";
  OpenOutput("out.mpg");
  engine.Start(false, tpNormal);
  ASSERT_TRUE(engine.Finished) << engine.LastError;

  const auto size = std::filesystem::file_size(path);
  ASSERT_GT(size, 0u);
  EXPECT_EQ(size % 2324, 0u);
  EXPECT_EQ(FirstPackMuxRate(path), 1411200);
  // "bufsize" 327680 bits reaches the muxer: 40 KiB plus the muxer's 6 KiB.
  EXPECT_EQ(FirstVideoBufferBound(path), 6 * 1024 + 327680 / 8);
  const MediaFixtures::FileInfo info = MediaFixtures::Probe(path);
  const MediaFixtures::StreamInfo* video = info.First(AVMEDIA_TYPE_VIDEO);
  const MediaFixtures::StreamInfo* audio = info.First(AVMEDIA_TYPE_AUDIO);
  ASSERT_NE(video, nullptr);
  ASSERT_NE(audio, nullptr);
  EXPECT_EQ(video->codecName, "mpeg1video");
  EXPECT_EQ(video->width, 352);
  EXPECT_EQ(video->height, 288);
  EXPECT_TRUE(SameRate(video->frameRate, {25, 1}));
  EXPECT_EQ(audio->codecName, "mp2");
  EXPECT_EQ(audio->sampleRate, 44100);
  EXPECT_EQ(audio->channels, 2);
  EXPECT_EQ(audio->bitRate, 224000);
}
