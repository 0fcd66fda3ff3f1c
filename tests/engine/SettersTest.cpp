#include <gtest/gtest.h>

#include <locale.h>

#include <cstdlib>
#include <ctime>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/opt.h>
}

#include "engine/DecoderLookup.h"
#include "engine/FFmpegHlpr.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/MediaLibraries.h"
#include "tests/engine/SetterChecks.h"
#include "medialib/LibraryObjects.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

namespace {

class Setters : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadMediaLibraries("", true)) << MediaLibraryError;
    engine.Reset();
    engine.LogHook = {RecordLine, &lines};
  }
  std::mutex lock;
  TCustomFFmpegHlpr engine{lock};
  std::vector<std::string> lines;
};

constexpr const char* Vertical =
    "Vertical crop dimensions are outside the range of the original image.\n"
    "Remember to crop first and scale second.";
constexpr const char* Horizontal =
    "Horizontal crop dimensions are outside the range of the original image.\n"
    "Remember to crop first and scale second.";

}  // namespace

TEST_F(Setters, FormatsAreLookedUpAndAFailedCallLeavesNone) {
  engine.SetInputFormat("wav");
  ASSERT_NE(engine.ForcedInputFormat, nullptr);
  EXPECT_STREQ(engine.ForcedInputFormat->name, "wav");
  engine.SetInputFormat("");
  EXPECT_STREQ(engine.ForcedInputFormat->name, "wav");
  EXPECT_EQ(Raised([&] { engine.SetInputFormat("nosuchformat"); }), "Unknown input format: nosuchformat");
  EXPECT_EQ(engine.ForcedInputFormat, nullptr);

  engine.SetOutputFormat("mp3");
  ASSERT_NE(engine.ForcedOutputFormat, nullptr);
  EXPECT_STREQ(engine.ForcedOutputFormat->name, "mp3");
  EXPECT_EQ(Raised([&] { engine.SetOutputFormat("nosuchformat"); }), "Unknown output format: nosuchformat");
  EXPECT_EQ(engine.ForcedOutputFormat, nullptr);
  EXPECT_EQ(engine.PgmYuvCompatibility, 0);
  EXPECT_TRUE(lines.empty());
}

TEST_F(Setters, PgmYuvBecomesImage2WithANotice) {
  engine.SetInputFormat("pgmyuv");
  ASSERT_NE(engine.ForcedInputFormat, nullptr);
  EXPECT_STREQ(engine.ForcedInputFormat->name, "image2");
  EXPECT_EQ(engine.PgmYuvCompatibility, 1);
  engine.SetOutputFormat("pgmyuv");
  ASSERT_NE(engine.ForcedOutputFormat, nullptr);
  EXPECT_STREQ(engine.ForcedOutputFormat->name, "image2");
  EXPECT_EQ(lines, std::vector<std::string>(2, "1 pgmyuv format is deprecated, use image2"));
}

TEST_F(Setters, FrameRateAndSize) {
  struct Rate {
    const char* text;
    AVRational expected;
    const char* message;
  };
  engine.FrameRate = {7, 1};
  for (const Rate& c : std::vector<Rate>{{"", {7, 1}, ""},
                                        {"25", {25, 1}, ""},
                                        {"30000/1001", {30000, 1001}, ""},
                                        {"ntsc", {30000, 1001}, ""},
                                        {"abc", {30000, 1001}, "Incorrect frame rate"},
                                        {"-5", {30000, 1001}, "Incorrect frame rate"}}) {
    EXPECT_EQ(Raised([&] { engine.SetFrameRate(c.text); }), c.message) << c.text;
    EXPECT_EQ(engine.FrameRate.num, c.expected.num) << c.text;
    EXPECT_EQ(engine.FrameRate.den, c.expected.den) << c.text;
  }

  struct Size {
    const char* text;
    int width, height;
    const char* message;
  };
  for (const Size& c : std::vector<Size>{{"352x288", 352, 288, ""},
                                        {"", 352, 288, ""},
                                        {"pal", 720, 576, ""},
                                        {"351x288", 351, 288, "Frame size must be a multiple of 2"},
                                        {"352x287", 352, 287, "Frame size must be a multiple of 2"},
                                        {"nosize", 352, 287, "Incorrect frame size"}}) {
    EXPECT_EQ(Raised([&] { engine.SetFrameSize(c.text); }), c.message) << c.text;
    EXPECT_EQ(engine.FrameWidth, c.width) << c.text;
    EXPECT_EQ(engine.FrameHeight, c.height) << c.text;
  }
}

TEST_F(Setters, CropsShrinkTheDimensionTheNextCropIsCheckedAgainst) {
  engine.FrameWidth = 720;
  engine.FrameHeight = 576;
  EXPECT_EQ(Raised([&] { engine.SetCropTop(8); }), "");
  EXPECT_EQ(engine.FrameTopBand, 8);
  EXPECT_EQ(engine.FrameHeight, 568);
  EXPECT_EQ(Raised([&] { engine.SetCropBottom(568); }), Vertical);
  EXPECT_EQ(Raised([&] { engine.SetCropBottom(566); }), "");
  EXPECT_EQ(engine.FrameHeight, 2);  // one more even row could not go
  EXPECT_EQ(Raised([&] { engine.SetCropTop(-1); }), "");
  EXPECT_EQ(engine.FrameTopBand, 8);
  EXPECT_EQ(Raised([&] { engine.SetCropTop(3); }), "Top crop size must be a multiple of 2");
  EXPECT_EQ(Raised([&] { engine.SetCropBottom(1); }), "Bottom crop size must be a multiple of 2");
  EXPECT_EQ(Raised([&] { engine.SetCropLeft(5); }), "Left crop size must be a multiple of 2");
  EXPECT_EQ(Raised([&] { engine.SetCropRight(7); }), "Right crop size must be a multiple of 2");
  EXPECT_EQ(Raised([&] { engine.SetCropLeft(720); }), Horizontal);
  EXPECT_EQ(Raised([&] { engine.SetCropLeft(16); }), "");
  EXPECT_EQ(Raised([&] { engine.SetCropRight(704); }), Horizontal);
  EXPECT_EQ(Raised([&] { engine.SetCropRight(16); }), "");
  EXPECT_EQ(engine.FrameLeftBand, 16);
  EXPECT_EQ(engine.FrameRightBand, 16);
  EXPECT_EQ(engine.FrameWidth, 688);
  EXPECT_EQ(engine.FrameBottomBand, 566);
}

TEST_F(Setters, CropWithoutAPictureIsOutOfRangeEvenAtZero) {
  ASSERT_EQ(engine.FrameHeight, 0);
  EXPECT_EQ(Raised([&] { engine.SetCropTop(0); }), Vertical);
  EXPECT_EQ(Raised([&] { engine.SetCropLeft(0); }), Horizontal);
}

TEST_F(Setters, PadsMustBeEvenAndHaveNoRange) {
  using Setter = void (TCustomFFmpegHlpr::*)(int);
  struct Side {
    Setter set;
    int TCustomFFmpegHlpr::*field;
    const char* message;
  };
  for (const Side& side : std::vector<Side>{
           {&TCustomFFmpegHlpr::SetPadTop, &TCustomFFmpegHlpr::FramePadTop, "Top pad size must be a multiple of 2"},
           {&TCustomFFmpegHlpr::SetPadBottom, &TCustomFFmpegHlpr::FramePadBottom, "Bottom pad size must be a multiple of 2"},
           {&TCustomFFmpegHlpr::SetPadLeft, &TCustomFFmpegHlpr::FramePadLeft, "Left pad size must be a multiple of 2"},
           {&TCustomFFmpegHlpr::SetPadRight, &TCustomFFmpegHlpr::FramePadRight, "Right pad size must be a multiple of 2"}}) {
    EXPECT_EQ(Raised([&] { (engine.*side.set)(4000); }), "");
    EXPECT_EQ(engine.*side.field, 4000);
    EXPECT_EQ(Raised([&] { (engine.*side.set)(-2); }), "");
    EXPECT_EQ(Raised([&] { (engine.*side.set)(9); }), side.message);
    EXPECT_EQ(engine.*side.field, 4000);
  }
}

TEST_F(Setters, PadColourUsesTheRoundedIntegerWeights) {
  struct Colour {
    uint32_t rgb;  // red in the low byte
    int y, u, v;
  };
  EXPECT_EQ(engine.PadColor[0], 16);
  // Truncated weights (306, 601, 339, 83) would give white Y 254 and other
  // blues and greens; an arithmetic slip in the negative sums shows in U/V.
  for (const Colour& c : std::vector<Colour>{{0xFFFFFF, 255, 128, 128},
                                            {0x0000FF, 76, 85, 255},
                                            {0x00FF00, 150, 43, 21},
                                            {0xFF0000, 29, 255, 107},
                                            {0x000000, 0, 128, 128},
                                            {0x808080, 128, 128, 128},
                                            {0x123456, 58, 105, 148}}) {
    engine.SetPadColor(c.rgb);
    EXPECT_EQ(engine.PadColor[0], c.y) << std::hex << c.rgb;
    EXPECT_EQ(engine.PadColor[1], c.u) << std::hex << c.rgb;
    EXPECT_EQ(engine.PadColor[2], c.v) << std::hex << c.rgb;
  }
}

TEST_F(Setters, AspectRatios) {
  struct Ratio {
    const char* text;
    float expected;  // 0: raises
  };
  setenv("LC_ALL", "C", 1);  // a point is the decimal separator, whoever runs this
  engine.FrameAspectRatio = 2;
  for (const Ratio& c : std::vector<Ratio>{{"16:9", 16.0f / 9},
                                          {"4:3", 4.0f / 3},
                                          {"-4:3", -4.0f / 3},
                                          {"1.5", 1.5f},
                                          {" 2.35", 2.35f},
                                          {"-1.5", -1.5f},
                                          {"4:0", 0},
                                          {"0:3", 0},
                                          {"x:3", 0},
                                          {"4:-3", 0},
                                          {"1,5", 0},
                                          {"abc", 0},
                                          {"0", 0},
                                          {"inf", 0}}) {
    engine.FrameAspectRatio = 2;
    const std::string message = Raised([&] { engine.SetAspectRatio(c.text); });
    if (c.expected == 0) {
      EXPECT_EQ(message, "Incorrect aspect ratio specification.") << c.text;
      EXPECT_EQ(engine.FrameAspectRatio, 2) << c.text;
    } else {
      EXPECT_EQ(message, "") << c.text;
      EXPECT_EQ(engine.FrameAspectRatio, c.expected) << c.text;
    }
  }
  engine.SetAspectRatio("");
  EXPECT_EQ(engine.FrameAspectRatio, 2);
}

TEST_F(Setters, AspectRatioReadsTheUsersDecimalComma) {
  // The user's locale, not the process's: the program never calls setlocale.
  locale_t comma = newlocale(LC_NUMERIC_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
  if (comma == static_cast<locale_t>(0)) GTEST_SKIP() << "no de_DE.UTF-8 locale on this system";
  freelocale(comma);
  setenv("LC_ALL", "de_DE.UTF-8", 1);
  EXPECT_EQ(Raised([&] { engine.SetAspectRatio("1,5"); }), "");
  EXPECT_EQ(engine.FrameAspectRatio, 1.5f);
  EXPECT_EQ(Raised([&] { engine.SetAspectRatio("1.5"); }), "Incorrect aspect ratio specification.");
  EXPECT_EQ(engine.FrameAspectRatio, 1.5f);
  EXPECT_EQ(Raised([&] { engine.SetAspectRatio("16:9"); }), "");
  EXPECT_EQ(engine.FrameAspectRatio, 16.0f / 9);
}

TEST_F(Setters, PixelFormatByNameAndTheListInTheLog) {
  engine.SetPixelFormat("yuv422p");
  EXPECT_EQ(engine.FramePixFmt, AV_PIX_FMT_YUV422P);
  engine.SetPixelFormat("list");
  EXPECT_EQ(engine.FramePixFmt, AV_PIX_FMT_YUV422P);
  ASSERT_EQ(lines.size(), 41u);
  EXPECT_EQ(lines[0], "1 name       nb_channels depth is_alpha");
  EXPECT_EQ(lines[1], "1 yuv420p         3         8      n");
  for (const std::string& line : lines) EXPECT_NE(line.back(), ' ') << line;
  engine.SetPixelFormat("nosuchformat");
  EXPECT_EQ(engine.FramePixFmt, -1);

  lines.clear();
  engine.LogHook = {};
  engine.SetPixelFormat("list");
  EXPECT_TRUE(lines.empty());
}

TEST_F(Setters, CodecNamesAndStreamCopy) {
  engine.SetAudioCodec("copy");
  EXPECT_EQ(engine.AudioStreamCopy, 1);
  EXPECT_EQ(engine.AudioCodecName, "");
  engine.SetAudioCodec("libmp3lame");
  EXPECT_EQ(engine.AudioCodecName, "libmp3lame");
  EXPECT_EQ(engine.AudioStreamCopy, 1);
  engine.SetAudioCodec("");
  EXPECT_EQ(engine.AudioCodecName, "libmp3lame");
  engine.SetAudioCodec("Copy");  // only the exact word means stream copy
  EXPECT_EQ(engine.AudioCodecName, "Copy");

  engine.SetVideoCodec("mpeg2video");
  engine.SetVideoCodec("copy");
  EXPECT_EQ(engine.VideoStreamCopy, 1);
  EXPECT_EQ(engine.VideoCodecName, "");
}

TEST_F(Setters, PlainSettersIgnoreValuesThatMeanNothing) {
  struct Case {
    std::function<void(int)> set;
    std::function<double()> get;
    int ignored;   // the largest (or only) value that is ignored
    int accepted;  // the smallest value that is taken
  };
  for (const Case& c : std::vector<Case>{
           {[&](int v) { engine.SetAudioSampleRate(v); }, [&] { return engine.AudioSampleRate; }, 0, 1},
           {[&](int v) { engine.SetAudioChannels(v); }, [&] { return engine.AudioChannels; }, 0, 1},
           {[&](int v) { engine.SetAudioVolume(v); }, [&] { return engine.AudioVolume; }, -1, 0},
           {[&](int v) { engine.SetMuxPreload(static_cast<float>(v)); }, [&] { return engine.MuxPreload; }, 0, 1},
           {[&](int v) { engine.SetMuxMaxDelay(static_cast<float>(v)); }, [&] { return engine.MuxMaxDelay; }, 0, 1},
           {[&](int v) { engine.SetYear(v); }, [&] { return engine.Year; }, 0, 1},
           {[&](int v) { engine.SetTrack(v); }, [&] { return engine.Track; }, 0, 1}}) {
    const double before = c.get();
    c.set(c.ignored);
    EXPECT_EQ(c.get(), before);
    c.set(-7);
    EXPECT_EQ(c.get(), before);
    c.set(c.accepted);
    EXPECT_EQ(c.get(), c.accepted);
  }

  using TextSetter = void (TCustomFFmpegHlpr::*)(const std::string&);
  for (auto [set, field] : std::vector<std::pair<TextSetter, std::string TCustomFFmpegHlpr::*>>{
           {&TCustomFFmpegHlpr::SetTitle, &TCustomFFmpegHlpr::Title},
           {&TCustomFFmpegHlpr::SetAuthor, &TCustomFFmpegHlpr::Author},
           {&TCustomFFmpegHlpr::SetCopyright, &TCustomFFmpegHlpr::Copyright},
           {&TCustomFFmpegHlpr::SetComment, &TCustomFFmpegHlpr::Comment},
           {&TCustomFFmpegHlpr::SetAlbum, &TCustomFFmpegHlpr::Album},
           {&TCustomFFmpegHlpr::SetGenre, &TCustomFFmpegHlpr::Genre}}) {
    (engine.*set)("text");
    (engine.*set)("");
    EXPECT_EQ(engine.*field, "text");
  }
}

TEST_F(Setters, DurationAndRecordingTimestamp) {
  engine.SetDuration(0);
  EXPECT_EQ(engine.RecordingTime, 0);
  EXPECT_EQ(engine.TotalDuration, -1);
  engine.SetDuration(60000);
  EXPECT_EQ(engine.RecordingTime, 60000000);
  EXPECT_EQ(engine.TotalDuration, 60000);
  engine.SetDuration(2147483647);  // milliseconds times 1000 needs 64 bits
  EXPECT_EQ(engine.RecordingTime, 2147483647000LL);

  engine.SetRecTimestamp(1234567890123LL);
  EXPECT_EQ(engine.RecTimestamp, 1234567890123LL);
  engine.SetRecTimestamp(-1);
  EXPECT_EQ(engine.RecTimestamp, 1234567890123LL);
  // 0 stamps the current UTC time, whatever the time zone; this zone keeps
  // daylight saving all year, so a base offset alone would be an hour off.
  setenv("TZ", "CET-1CEST,0/0,J365/25", 1);
  tzset();
  const int64_t before = static_cast<int64_t>(time(nullptr));
  engine.SetRecTimestamp(0);
  EXPECT_GE(engine.RecTimestamp, before);
  EXPECT_LE(engine.RecTimestamp, before + 2);
}

TEST_F(Setters, VerboseSetsTheEngineAndTheLibraryLevels) {
  engine.SetVerbose(2);
  EXPECT_EQ(engine.Verbose, 2);
  EXPECT_EQ(LibraryLogLevel, 2);
  EXPECT_EQ(AVU.av_log_get_level(), LibraryLevelFromEngine(2));
  engine.SetVerbose(-1);
  EXPECT_EQ(engine.Verbose, -1);
  EXPECT_EQ(LibraryLogLevel, -1);
  EXPECT_EQ(AVU.av_log_get_level(), LibraryLevelFromEngine(-1));
}

TEST_F(Setters, StartTimeSeeksEveryOpenedInput) {
  TempFolder folder;
  const std::string path = folder / "tone.wav";
  MediaFixtures::MakeWav(path, 8000, 1, 12.0, 440);
  for (int i = 0; i < 2; ++i) {
    AVFormatContext* opened = nullptr;
    ASSERT_EQ(AVF.avformat_open_input(&opened, path.c_str(), nullptr, nullptr), 0);
    engine.InputFiles[i].reset(opened);
    ASSERT_GE(AVF.avformat_find_stream_info(engine.InputFiles[i].get(), nullptr), 0);
  }
  engine.InputFileCount = 2;
  engine.InputTimeOffset = 1000;
  engine.TotalDuration = 12000;

  engine.SetStartTime(0);
  EXPECT_EQ(engine.InputTsOffset[0], 0);
  engine.SetStartTime(5000);
  EXPECT_EQ(engine.StartTime, 0);
  EXPECT_EQ(engine.TotalDuration, 7000);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(engine.InputTsOffset[i], 1000 - 5000000);
    // The next packet comes from the seek position, not the file's start.
    const MediaObjects::PacketPtr packet(AVC.av_packet_alloc());
    ASSERT_EQ(AVF.av_read_frame(engine.InputFiles[i].get(), packet.get()), 0);
    const AVRational base = engine.InputFiles[i]->streams[packet->stream_index]->time_base;
    EXPECT_NEAR(packet->pts * av_q2d(base), 5.0, 0.1);
  }

  // Beyond 2 147 483 ms the microseconds no longer fit 32 bits.
  engine.CopyTimestamps = 0;
  engine.SetStartTime(2400000);
  EXPECT_EQ(engine.InputTsOffset[0], 1000 - 2400000000LL);
  engine.CopyTimestamps = 1;
  engine.SetStartTime(1000);
  EXPECT_EQ(engine.InputTsOffset[1], 1000);
}

TEST_F(Setters, StartTimeLeavesAnUnknownLengthUnknown) {
  engine.SetStartTime(5000);
  EXPECT_EQ(engine.TotalDuration, -1);
}

TEST_F(Setters, LibraryOptionsFindTheirContexts) {
  const MediaObjects::CodecContextPtr* codec = engine.CodecOptions;
  // "ab" is an audio option: the audio, data and attachment contexts take it
  // (128000 is every context's default bit rate).
  EXPECT_TRUE(engine.SetLibraryOption("ab", "96000"));
  EXPECT_EQ(codec[AVMEDIA_TYPE_AUDIO]->bit_rate, 96000);
  EXPECT_EQ(codec[AVMEDIA_TYPE_DATA]->bit_rate, 96000);
  EXPECT_NE(codec[AVMEDIA_TYPE_VIDEO]->bit_rate, 96000);
  EXPECT_NE(codec[AVMEDIA_TYPE_SUBTITLE]->bit_rate, 96000);
  // "vb" is no option; the prefix rule sets "b" on the video context alone.
  EXPECT_TRUE(engine.SetLibraryOption("vb", "500000"));
  EXPECT_EQ(codec[AVMEDIA_TYPE_VIDEO]->bit_rate, 500000);
  EXPECT_EQ(codec[AVMEDIA_TYPE_AUDIO]->bit_rate, 96000);
  EXPECT_EQ(codec[AVMEDIA_TYPE_DATA]->bit_rate, 96000);
  // The older name of the picture-group size.
  EXPECT_TRUE(engine.SetLibraryOption("gop", "18"));
  EXPECT_EQ(codec[AVMEDIA_TYPE_VIDEO]->gop_size, 18);
  EXPECT_NE(codec[AVMEDIA_TYPE_AUDIO]->gop_size, 18);
  // Format and scaler contexts come next.
  EXPECT_TRUE(engine.SetLibraryOption("packetsize", "2324"));
  EXPECT_EQ(engine.FormatOptions->packet_size, 2324u);
  EXPECT_TRUE(engine.SetLibraryOption("sws_flags", "bilinear"));
  int64_t swsFlags = 0;
  ASSERT_GE(AVU.av_opt_get_int(engine.ScalerOptions.get(), "sws_flags", 0, &swsFlags), 0);
  EXPECT_EQ(swsFlags, SWS_BILINEAR);
  // Private options of muxers and encoders today.
  EXPECT_TRUE(engine.SetLibraryOption("muxrate", "1411200"));
  EXPECT_TRUE(engine.SetLibraryOption("flags", "+SCAN_OFFSET"));
  EXPECT_TRUE(engine.SetLibraryOptionInt("ar", 22050));
  EXPECT_EQ(codec[AVMEDIA_TYPE_AUDIO]->sample_rate, 22050);
  EXPECT_EQ(codec[AVMEDIA_TYPE_VIDEO]->sample_rate, 0);

  EXPECT_EQ(engine.OptionNames, (std::vector<std::string>{"ab", "b", "g", "packetsize", "sws_flags",
                                                           "muxrate", "scan_offset", "ar"}));
  EXPECT_EQ(engine.PrivateFormatOptions.at("muxrate"), "1411200");
  EXPECT_EQ(engine.PrivateCodecOptions.at("scan_offset"), "1");
}

TEST_F(Setters, LibraryOptionsThatNothingTakesAreNotRecorded) {
  struct Case {
    const char* name;
    const char* value;
  };
  for (const Case& c : std::vector<Case>{{"", "1"},
                                        {"  ", "1"},
                                        {"b", ""},
                                        {"b", " \t"},
                                        {"nosuchoption", "1"},
                                        {"b", "notanumber"},
                                        {"muxrate", "notanumber"},
                                        {"a", "1"},
                                        {"xb", "1"}}) {
    EXPECT_FALSE(engine.SetLibraryOption(c.name, c.value)) << c.name << "=" << c.value;
  }
  EXPECT_TRUE(engine.OptionNames.empty());
  EXPECT_TRUE(engine.PrivateFormatOptions.empty());
  // Names and values are used as given, blanks included.
  EXPECT_FALSE(engine.SetLibraryOption(" b", "1000"));
}

TEST_F(Setters, FlagsKeepTheirOtherTermsBesideScanOffset) {
  EXPECT_TRUE(engine.SetLibraryOption("flags", "+scan_offset+qpel"));
  EXPECT_EQ(engine.OptionNames, (std::vector<std::string>{"flags", "scan_offset"}));
  EXPECT_TRUE(engine.CodecOptions[AVMEDIA_TYPE_VIDEO]->flags & AV_CODEC_FLAG_QPEL);
  EXPECT_TRUE(engine.SetLibraryOption("flags", "-SCAN_OFFSET"));
  EXPECT_EQ(engine.PrivateCodecOptions.at("scan_offset"), "0");
}

TEST_F(Setters, CodecDebugRaisesEveryLogLevel) {
  engine.SetVerbose(0);
  EXPECT_TRUE(engine.SetLibraryOption("debug", "startcode"));
  EXPECT_EQ(engine.Verbose, 2);
  EXPECT_EQ(LibraryLogLevel, 2);
  EXPECT_EQ(AVU.av_log_get_level(), LibraryLevelFromEngine(2));
}

TEST_F(Setters, RecordedOptionsReachTargetsWhoseFlagsFit) {
  ASSERT_TRUE(engine.SetLibraryOption("ab", "96000"));
  ASSERT_TRUE(engine.SetLibraryOption("vb", "500000"));
  ASSERT_TRUE(engine.SetLibraryOption("gop", "18"));
  ASSERT_TRUE(engine.SetLibraryOption("packetsize", "2324"));
  ASSERT_TRUE(engine.SetLibraryOption("muxrate", "1411200"));
  ASSERT_TRUE(engine.SetLibraryOption("flags", "+SCAN_OFFSET"));
  const int audioEncoding = AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM;
  const int videoEncoding = AV_OPT_FLAG_VIDEO_PARAM | AV_OPT_FLAG_ENCODING_PARAM;

  // The MP3 encoder opens at the recorded bit rate (not the default 128000).
  const MediaObjects::CodecContextPtr mp3Owner(
      AVC.avcodec_alloc_context3(AVC.avcodec_find_encoder_by_name("libmp3lame")));
  AVCodecContext* mp3 = mp3Owner.get();
  ASSERT_NE(mp3, nullptr);
  engine.ApplyRecordedOptions(engine.CodecOptions[AVMEDIA_TYPE_AUDIO].get(), mp3, audioEncoding);
  EXPECT_EQ(mp3->bit_rate, 96000);
  EXPECT_NE(mp3->gop_size, 18);
  mp3->sample_rate = 44100;
  mp3->sample_fmt = AV_SAMPLE_FMT_S16P;
  AVU.av_channel_layout_default(&mp3->ch_layout, 2);
  ASSERT_EQ(AVC.avcodec_open2(mp3, nullptr, nullptr), 0);
  EXPECT_EQ(mp3->bit_rate, 96000);

  // The video encoder takes the picture options and its own scan offset.
  const MediaObjects::CodecContextPtr mpeg2Owner(
      AVC.avcodec_alloc_context3(AVC.avcodec_find_encoder_by_name("mpeg2video")));
  AVCodecContext* mpeg2 = mpeg2Owner.get();
  engine.ApplyRecordedOptions(engine.CodecOptions[AVMEDIA_TYPE_VIDEO].get(), mpeg2, videoEncoding);
  EXPECT_EQ(mpeg2->bit_rate, 500000);
  EXPECT_EQ(mpeg2->gop_size, 18);
  int64_t scanOffset = 0;
  ASSERT_GE(AVU.av_opt_get_int(mpeg2, "scan_offset", AV_OPT_SEARCH_CHILDREN, &scanOffset), 0);
  EXPECT_EQ(scanOffset, 1);
  // A decoder asks for decoding options: none of these is one.
  const MediaObjects::CodecContextPtr decoderOwner(
      AVC.avcodec_alloc_context3(AVC.avcodec_find_decoder(AV_CODEC_ID_MP3)));
  AVCodecContext* decoder = decoderOwner.get();
  engine.ApplyRecordedOptions(engine.CodecOptions[AVMEDIA_TYPE_AUDIO].get(), decoder,
                              AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_DECODING_PARAM);
  EXPECT_NE(decoder->bit_rate, 96000);

  // The muxer takes the packet size and, being an MPEG program stream muxer,
  // the mux rate; an MP3 muxer has no mux rate and is left alone.
  AVFormatContext* made = nullptr;
  ASSERT_GE(AVF.avformat_alloc_output_context2(&made, nullptr, "vcd", nullptr), 0);
  const MediaObjects::FormatContextPtr vcdOwner(made);
  AVFormatContext* vcd = made;
  engine.ApplyRecordedOptions(engine.FormatOptions.get(), vcd, AV_OPT_FLAG_ENCODING_PARAM);
  EXPECT_EQ(vcd->packet_size, 2324u);
  int64_t muxRate = 0;
  ASSERT_GE(AVU.av_opt_get_int(vcd, "muxrate", AV_OPT_SEARCH_CHILDREN, &muxRate), 0);
  EXPECT_EQ(muxRate, 1411200);
  ASSERT_GE(AVF.avformat_alloc_output_context2(&made, nullptr, "mp3", nullptr), 0);
  const MediaObjects::FormatContextPtr mp3MuxerOwner(made);
  AVFormatContext* mp3Muxer = made;
  engine.ApplyRecordedOptions(engine.FormatOptions.get(), mp3Muxer, AV_OPT_FLAG_ENCODING_PARAM);
  EXPECT_EQ(mp3Muxer->packet_size, 2324u);
  // Inputs ask for decoding options; the packet size is an encoding one.
  const MediaObjects::FormatContextPtr input(AVF.avformat_alloc_context());
  engine.ApplyRecordedOptions(engine.FormatOptions.get(), input.get(), AV_OPT_FLAG_DECODING_PARAM);
  EXPECT_EQ(input->packet_size, 0u);
}

TEST_F(Setters, FlagsRoundTripThroughTheirText) {
  engine.CodecOptions[AVMEDIA_TYPE_AUDIO]->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  ASSERT_TRUE(engine.SetLibraryOption("flags", "+qscale"));
  const MediaObjects::CodecContextPtr target(AVC.avcodec_alloc_context3(nullptr));
  engine.ApplyRecordedOptions(engine.CodecOptions[AVMEDIA_TYPE_AUDIO].get(), target.get(),
                              AV_OPT_FLAG_AUDIO_PARAM | AV_OPT_FLAG_ENCODING_PARAM);
  EXPECT_EQ(target->flags, AV_CODEC_FLAG_GLOBAL_HEADER | AV_CODEC_FLAG_QSCALE);
}

TEST_F(Setters, RealVideoDecodersAreHiddenAndShownThroughTheEngineLookUp) {
  for (AVCodecID id : {AV_CODEC_ID_RV30, AV_CODEC_ID_RV40})
    ASSERT_NE(AVC.avcodec_find_decoder(id), nullptr) << "the library lacks its RealVideo decoders";
  engine.SetRealVideoDecoders(false);
  const bool chosen = engine.LibraryRealVideoDecoders;
  EXPECT_EQ(FindLibraryDecoder(AV_CODEC_ID_RV30, chosen), nullptr);
  EXPECT_EQ(FindLibraryDecoder(AV_CODEC_ID_RV40, chosen), nullptr);
  EXPECT_EQ(FindLibraryDecoderByName("rv40", chosen), nullptr);
  EXPECT_NE(FindLibraryDecoder(AV_CODEC_ID_RV20, chosen), nullptr);
  EXPECT_NE(FindLibraryDecoder(AV_CODEC_ID_MP3, chosen), nullptr);
  // The engine's own: another task keeps the library's decoders, and the
  // choice outlives Reset.
  std::mutex otherLock;
  TCustomFFmpegHlpr other(otherLock);
  const AVCodec* rv30 = FindLibraryDecoder(AV_CODEC_ID_RV30, other.LibraryRealVideoDecoders);
  ASSERT_NE(rv30, nullptr);
  EXPECT_STREQ(rv30->name, "rv30");
  EXPECT_NE(FindLibraryDecoderByName("rv40", other.LibraryRealVideoDecoders), nullptr);
  engine.Reset();
  EXPECT_FALSE(engine.LibraryRealVideoDecoders);
  // A forced decoder is looked up with the engine's choice.
  AVCodecID id = AV_CODEC_ID_NONE;
  EXPECT_FALSE(engine.FindCodecByName("rv40", AVMEDIA_TYPE_VIDEO, false, id));
  EXPECT_TRUE(other.FindCodecByName("rv40", AVMEDIA_TYPE_VIDEO, false, id));
  EXPECT_EQ(id, AV_CODEC_ID_RV40);
}

TEST_F(Setters, RecordedOptionsReachTheOpenedInputAndTheCreatedOutput) {
  TempFolder folder;
  const std::string input = folder / "in.mp2";
  MediaFixtures::MakeAudio(input, MediaFixtures::AudioFormat::Mp2, 44100, 2, 0.5, 440);
  ASSERT_TRUE(engine.SetLibraryOption("probesize", "65536"));
  ASSERT_TRUE(engine.SetLibraryOption("request_sample_fmt", "s16"));
  ASSERT_TRUE(engine.SetLibraryOption("ab", "96000"));
  ASSERT_TRUE(engine.SetLibraryOption("packetsize", "4096"));
  ASSERT_TRUE(engine.OpenInputFile(input)) << engine.LastError;
  EXPECT_EQ(engine.InputFiles[0]->probesize, 65536);
  ASSERT_EQ(engine.InputCodecs[0].size(), 1u);
  EXPECT_EQ(engine.InputCodecs[0][0].Context->request_sample_fmt, AV_SAMPLE_FMT_S16);
  EXPECT_NE(engine.InputCodecs[0][0].Context->bit_rate, 96000);  // an encoding option only

  ASSERT_TRUE(engine.OpenOutputFile(folder / "out.mp3")) << engine.LastError;
  EXPECT_EQ(engine.OutputFiles[0]->packet_size, 4096u);
  EXPECT_NE(engine.OutputFiles[0]->probesize, 65536);  // a decoding option only
  ASSERT_NE(engine.OutputCodecs[0][0].Context, nullptr);
  EXPECT_EQ(engine.OutputCodecs[0][0].Context->codec_id, AV_CODEC_ID_MP3);
  EXPECT_EQ(engine.OutputCodecs[0][0].Context->bit_rate, 96000);
}
