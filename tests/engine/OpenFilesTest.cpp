// Opening inputs and creating outputs on real files made at test time.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>

#include "engine/FFmpegHlpr.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibraryObjects.h"
#include "medialib/MediaLibraries.h"
#include "medialib/VersionedCalls.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

using namespace MediaFixtures;
namespace fs = std::filesystem;

namespace {

class OpenFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadMediaLibraries("", true)) << MediaLibraryError;
    AVU.av_log_set_level(AV_LOG_ERROR);  // no stream dumps in the test output
    engine.Reset();
  }
  std::string Wav(const std::string& name, int rate = 44100, int channels = 2, double seconds = 1) {
    const std::string path = folder / name;
    MakeWav(path, rate, channels, seconds, 440);
    return path;
  }
  std::string Video(const std::string& name, AVRational rate = {25, 1}) {
    VideoClip clip;
    clip.frameRate = rate;
    const std::string path = folder / name;
    MakeVideo(path, clip);
    return path;
  }
  std::mutex lock;
  TempFolder folder;
  TCustomFFmpegHlpr engine{lock};
};

const AVCodecContext* OutputContext(const TCustomFFmpegHlpr& engine, int file, int stream) {
  return engine.OutputCodecs[file][stream].Context.get();
}

}  // namespace

TEST_F(OpenFiles, EveryFormatOpensWithItsParameters) {
  struct Case {
    int rate, channels;
  } shapes[] = {{44100, 2}, {48000, 1}};
  for (AudioFormat format : AllAudioFormats()) {
    for (const Case& shape : shapes) {
      SCOPED_TRACE(std::string(FormatName(format)) + " " + std::to_string(shape.rate));
      const std::string path = folder / (std::string("in") + FormatExtension(format));
      MakeAudio(path, format, shape.rate, shape.channels, 2.0, 440);
      engine.Reset();
      engine.AudioSampleRate = 8000;  // overwritten by the input
      engine.AudioChannels = 6;
      ASSERT_TRUE(engine.OpenInputFile(path)) << engine.LastError;
      ASSERT_EQ(engine.InputFileCount, 1);
      EXPECT_EQ(engine.AudioSampleRate, shape.rate);
      EXPECT_EQ(engine.AudioChannels, shape.channels);
      EXPECT_NEAR(engine.TotalDuration, 2000, 100);
      EXPECT_STREQ(engine.InputFiles[0]->url, path.c_str());
      const AVFormatContext* input = engine.InputFiles[0].get();
      ASSERT_EQ(engine.InputCodecs[0].size(), input->nb_streams);
      const AVCodecContext* decoder = engine.InputCodecs[0][0].Context.get();
      ASSERT_NE(decoder, nullptr);
      EXPECT_EQ(decoder->codec_id, input->streams[0]->codecpar->codec_id);
      EXPECT_EQ(decoder->sample_rate, shape.rate);
      EXPECT_EQ(decoder->ch_layout.nb_channels, shape.channels);
    }
  }
}

TEST_F(OpenFiles, VideoInputGivesItsPictureParameters) {
  const std::string path = Video("clip.mpg", {30000, 1001});
  ASSERT_TRUE(engine.OpenInputFile(path)) << engine.LastError;
  EXPECT_EQ(engine.FrameWidth, 320);
  EXPECT_EQ(engine.FrameHeight, 240);
  EXPECT_EQ(engine.FramePixFmt, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(engine.FrameRate.num, 30000);
  EXPECT_EQ(engine.FrameRate.den, 1001);
  EXPECT_NEAR(engine.FrameAspectRatio, 320.0 / 240.0, 0.01);  // square pixels
  EXPECT_EQ(engine.AudioSampleRate, 44100);
  EXPECT_NEAR(engine.TotalDuration, 1000, 100);
}

// An AVI whose video codec nobody knows, so that its pixel format stays unknown.
static void WriteUnknownVideo(const std::string& path) {
  AVFormatContext* made = nullptr;
  ASSERT_GE(AVF.avformat_alloc_output_context2(&made, nullptr, "avi", path.c_str()), 0);
  const MediaObjects::OutputPtr owner(made);
  AVFormatContext* output = made;
  AVStream* stream = AVF.avformat_new_stream(output, nullptr);
  stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  stream->codecpar->codec_tag = MKTAG('Z', 'Z', 'Z', 'Z');
  stream->codecpar->width = 64;
  stream->codecpar->height = 48;
  stream->time_base = {1, 25};
  ASSERT_GE(AVF.avio_open2(&output->pb, path.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr), 0);
  ASSERT_GE(AVF.avformat_write_header(output, nullptr), 0);
  const MediaObjects::PacketPtr owned(AVC.av_packet_alloc());
  AVPacket* packet = owned.get();
  for (int i = 0; i < 5; ++i) {
    ASSERT_GE(AVC.av_new_packet(packet, 100), 0);
    std::fill_n(packet->data, 100, uint8_t(i));
    packet->pts = packet->dts = i;
    packet->flags = AV_PKT_FLAG_KEY;
    ASSERT_GE(AVF.av_interleaved_write_frame(output, packet), 0);
  }
  AVF.av_write_trailer(output);
}

TEST_F(OpenFiles, RealMediaNamesMakeAnUnknownPixelFormatPlanarYuv) {
  const std::string original = folder / "unknown.avi";
  WriteUnknownVideo(original);
  const struct {
    const char* name;
    int pixelFormat;
  } cases[] = {{"clip.RMVB", AV_PIX_FMT_YUV420P}, {"clip.rm", AV_PIX_FMT_YUV420P},
               {"clip.r", AV_PIX_FMT_YUV420P},    {"clip.", AV_PIX_FMT_YUV420P},
               {"clip.mkv", AV_PIX_FMT_NONE},     {"clip", AV_PIX_FMT_NONE}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder / c.name;
    fs::copy_file(original, path);
    engine.Reset();
    ASSERT_TRUE(engine.OpenInputFile(path)) << engine.LastError;
    EXPECT_EQ(engine.FramePixFmt, c.pixelFormat);
    EXPECT_EQ(engine.InputCodecs[0][0].Context->pix_fmt, c.pixelFormat);
    EXPECT_EQ(engine.FrameWidth, 64);
  }
}

TEST_F(OpenFiles, TotalDurationKeepsTheLongestInput) {
  const std::string one = Wav("one.wav", 44100, 2, 1), three = Wav("three.wav", 44100, 2, 3),
                    two = Wav("two.wav", 44100, 2, 2);
  EXPECT_EQ(engine.TotalDuration, -1);
  for (const std::string& path : {one, three, two}) ASSERT_TRUE(engine.OpenInputFile(path));
  EXPECT_EQ(engine.TotalDuration, 3000);
  EXPECT_EQ(engine.InputFileCount, 3);
}

TEST_F(OpenFiles, StartTimeSeeksOnceAndSetsTheTimestampOffset) {
  const std::string path = Wav("two.wav", 44100, 2, 2);
  engine.StartTime = 500000;
  engine.InputTimeOffset = 7;
  ASSERT_TRUE(engine.OpenInputFile(path));
  EXPECT_EQ(engine.StartTime, 0);
  EXPECT_EQ(engine.InputTsOffset[0], 7 - 500000);
  engine.CopyTimestamps = 1;
  ASSERT_TRUE(engine.OpenInputFile(path));
  EXPECT_EQ(engine.InputTsOffset[1], 7);
}

TEST_F(OpenFiles, HeaderlessInputTakesTheAudioFields) {
  // Two seconds of 16-bit stereo at 22050 Hz without any header.
  const std::string path = folder / "raw.pcm";
  const std::vector<int16_t> samples = ToneSamples(22050, 2, 2.0, 440);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(samples.data()), std::streamsize(samples.size() * 2));
  engine.ForcedInputFormat = AVF.av_find_input_format("s16le");
  engine.AudioSampleRate = 22050;
  engine.AudioChannels = 2;
  ASSERT_TRUE(engine.OpenInputFile(path)) << engine.LastError;
  EXPECT_EQ(engine.AudioSampleRate, 22050);
  EXPECT_EQ(engine.AudioChannels, 2);
  EXPECT_NEAR(engine.TotalDuration, 2000, 1);
  EXPECT_EQ(engine.ForcedInputFormat, nullptr);  // for this file only
}

TEST_F(OpenFiles, EachOpenFailureHasItsMessage) {
  const std::string directory = folder / "folder.mp3";
  fs::create_directory(directory);
  const std::string empty = folder / "empty.mp3";
  std::ofstream{empty};
  const std::string text = folder / "text.mp3";
  std::ofstream(text) << "These are words, not sound. " << std::string(2000, 'x') << "\n";
  // An M4A cut before its index: recognisable, but its header cannot be read.
  const std::string truncated = folder / "cut.m4a";
  MakeAudio(truncated, AudioFormat::AacM4a, 44100, 2, 2.0, 440);
  fs::resize_file(truncated, fs::file_size(truncated) / 2);
  const std::string missing = folder / "missing.mp3";

  const struct {
    std::string path, message;
  } cases[] = {
      {missing, missing + ": no such file or directory"},
      {directory, directory + ": is a directory, not a regular file"},
      {empty, empty + ": I/O error occurred\r\nUsually that means that input file is truncated "
                      "and/or corrupted."},
      {text, text + ": Unknown format"},
      {truncated, truncated + ": Error while parsing header"},
      {"http://localhost/song.mp3",
       "http://localhost/song.mp3: Error while opening file: Protocol not found"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const auto size = fs::exists(c.path) && fs::is_regular_file(c.path) ? fs::file_size(c.path) : 0;
    engine.AudioCodecName = "mp3";
    engine.RateEmu = 1;
    EXPECT_FALSE(engine.OpenInputFile(c.path));
    EXPECT_EQ(engine.LastError, c.message);
    EXPECT_EQ(engine.InputFileCount, 0);
    EXPECT_EQ(engine.InputFiles[0], nullptr);
    EXPECT_TRUE(engine.AudioCodecName.empty());  // consumed even by a failure
    EXPECT_EQ(engine.RateEmu, 0);
    if (fs::is_regular_file(c.path)) {
      EXPECT_EQ(fs::file_size(c.path), size);  // never touched
    }
  }
}

TEST_F(OpenFiles, NamesAreLocalFilesEvenWithAColon) {
  const std::string path = Wav("take:1.wav");
  const fs::path previous = fs::current_path();
  fs::current_path(folder.path());
  EXPECT_TRUE(engine.OpenInputFile("take:1.wav")) << engine.LastError;
  EXPECT_EQ(engine.InputFileCount, 1);
  if (engine.InputFileCount == 1) {
    EXPECT_STREQ(engine.InputFiles[0]->url, "take:1.wav");
  }
  EXPECT_FALSE(engine.OpenInputFile("pipe:0"));  // a local file of that name, which is missing
  EXPECT_EQ(engine.LastError, "pipe:0: no such file or directory");
  fs::current_path(previous);
}

TEST_F(OpenFiles, AStopInterruptsTheOpening) {
  const std::string path = Wav("tone.wav");
  engine.StopRequested = true;
  EXPECT_FALSE(engine.OpenInputFile(path));
  EXPECT_EQ(engine.LastError, path + ": Error while opening file: Immediate exit requested");
}

TEST_F(OpenFiles, OpenErrorMessageTable) {
  const std::string image =
      "f: Incorrect image filename syntax.\r\nUse '%d' to specify the image number:\r\n"
      "  for img1.jpg, img2.jpg, ..., use 'img%d.jpg';\r\n"
      "  for img001.jpg, img002.jpg, ..., use 'img%03d.jpg'.";
  const struct {
    int code;
    std::string message;
  } cases[] = {
      {AVERROR(ENOENT), "f: no such file or directory"},
      {AVERROR(EIO),
       "f: I/O error occurred\r\nUsually that means that input file is truncated and/or "
       "corrupted."},
      {AVERROR_EOF,
       "f: I/O error occurred\r\nUsually that means that input file is truncated and/or "
       "corrupted."},
      {AVERROR(ENOMEM), "f: memory allocation error occurred"},
      {AVERROR(EINVAL), "f: Error while parsing header"},
      {AVERROR_INVALIDDATA, "f: Error while parsing header"},
      {AVERROR(EDOM), image},
      {AVERROR_DEMUXER_NOT_FOUND, "f: Unknown format"},
      {AVERROR(EISDIR), "f: Error while opening file: Is a directory"},
      {AVERROR(EACCES), "f: Error while opening file: Permission denied"},
      {AVERROR(ENOSPC), "f: Error while opening file: No space left on device"},
      {-1, "f: Error while opening file: Operation not permitted"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(TCustomFFmpegHlpr::OpenErrorMessage("f", c.code), c.message) << c.code;
}

TEST_F(OpenFiles, FindCodecByName) {
  const struct {
    const char* name;
    AVMediaType type;
    bool encoder;
    bool found;
    AVCodecID id;
    const char* error;
  } cases[] = {
      {"", AVMEDIA_TYPE_AUDIO, true, true, AV_CODEC_ID_NONE, ""},
      {"libmp3lame", AVMEDIA_TYPE_AUDIO, true, true, AV_CODEC_ID_MP3, ""},
      {"mp3float", AVMEDIA_TYPE_AUDIO, false, true, AV_CODEC_ID_MP3, ""},
      {"mp3float", AVMEDIA_TYPE_AUDIO, true, false, AV_CODEC_ID_NONE, "Unknown encoder 'mp3float'"},
      {"libmp3lame", AVMEDIA_TYPE_AUDIO, false, false, AV_CODEC_ID_NONE,
       "Unknown decoder 'libmp3lame'"},
      {"mpeg4", AVMEDIA_TYPE_AUDIO, true, false, AV_CODEC_ID_NONE, "Invalid encoder type 'mpeg4'"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    engine.LastError.clear();
    AVCodecID id = AV_CODEC_ID_PROBE;
    EXPECT_EQ(engine.FindCodecByName(c.name, c.type, c.encoder, id), c.found);
    if (c.found) {
      EXPECT_EQ(id, c.id);
    }
    EXPECT_EQ(engine.LastError, c.error);
  }
}

TEST_F(OpenFiles, CheckInputsReportsTheirStreamTypes) {
  bool video = true, audio = true, subtitle = true;
  engine.check_audio_video_sub_inputs(video, audio, subtitle);
  EXPECT_FALSE(video || audio || subtitle);
  ASSERT_TRUE(engine.OpenInputFile(Wav("a.wav")));
  engine.check_audio_video_sub_inputs(video, audio, subtitle);
  EXPECT_TRUE(audio);
  EXPECT_FALSE(video || subtitle);
  ASSERT_TRUE(engine.OpenInputFile(Video("v.avi")));
  engine.check_audio_video_sub_inputs(video, audio, subtitle);
  EXPECT_TRUE(video && audio);
  EXPECT_FALSE(subtitle);
}

TEST_F(OpenFiles, Mp3AfterAudioInputHasOneAudioStreamWithTheInputsParameters) {
  const std::string input = Wav("in.wav", 48000, 1);
  for (bool changeRate : {false, true}) {
    SCOPED_TRACE(changeRate ? "rate set afterwards" : "as the input");
    engine.Reset();
    ASSERT_TRUE(engine.OpenInputFile(input));
    if (changeRate) engine.SetAudioSampleRate(22050);
    engine.SetAudioCodec("libmp3lame");
    const std::string output = folder / "out.mp3";
    ASSERT_TRUE(engine.OpenOutputFile(output)) << engine.LastError;
    ASSERT_EQ(engine.OutputFileCount, 1);
    const AVFormatContext* written = engine.OutputFiles[0].get();
    ASSERT_EQ(written->nb_streams, 1u);
    EXPECT_EQ(written->streams[0]->codecpar->codec_type, AVMEDIA_TYPE_AUDIO);
    const AVCodecContext* encoder = OutputContext(engine, 0, 0);
    ASSERT_NE(encoder, nullptr);
    ASSERT_NE(encoder->codec, nullptr);
    EXPECT_STREQ(encoder->codec->name, "libmp3lame");
    EXPECT_EQ(encoder->codec_id, AV_CODEC_ID_MP3);
    const int rate = changeRate ? 22050 : 48000;
    EXPECT_EQ(encoder->sample_rate, rate);
    EXPECT_EQ(encoder->ch_layout.nb_channels, 1);
    EXPECT_EQ(encoder->time_base.num, 1);
    EXPECT_EQ(encoder->time_base.den, rate);
    EXPECT_FALSE(engine.OutputCodecs[0][0].StreamCopy);
    EXPECT_TRUE(engine.AudioCodecName.empty());
    // Written beside it under a hidden name until a run completes.
    EXPECT_FALSE(fs::exists(output));
    EXPECT_EQ(fs::path(engine.OutputPartialPaths[0]).parent_path(), fs::path(output).parent_path());
    EXPECT_TRUE(fs::exists(engine.OutputPartialPaths[0]));
  }
}

TEST_F(OpenFiles, AudioOutputOfAVideoInputGetsNoPictureStream) {
  // MP3 and FLAC name PNG as their video codec, for cover art only.
  ASSERT_TRUE(engine.OpenInputFile(Video("clip.avi")));
  for (const char* name : {"out.mp3", "out.flac"}) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(engine.OpenOutputFile(folder / name)) << engine.LastError;
    const AVFormatContext* output = engine.OutputFiles[engine.OutputFileCount - 1].get();
    ASSERT_EQ(output->nb_streams, 1u);
    EXPECT_EQ(output->streams[0]->codecpar->codec_type, AVMEDIA_TYPE_AUDIO);
  }
}

TEST_F(OpenFiles, VideoOutputTakesTheInputPictureAndASupportedRate) {
  // 29/1 is no MPEG-1 rate: the closest one is 30000/1001.
  ASSERT_TRUE(engine.OpenInputFile(Video("clip.avi")));
  engine.FrameRate = {29, 1};
  ASSERT_TRUE(engine.OpenOutputFile(folder / "out.mpg")) << engine.LastError;
  const AVFormatContext* output = engine.OutputFiles[0].get();
  ASSERT_EQ(output->nb_streams, 2u);
  const AVCodecContext* video = OutputContext(engine, 0, 0);
  EXPECT_EQ(video->codec_type, AVMEDIA_TYPE_VIDEO);
  EXPECT_EQ(video->codec_id, AV_CODEC_ID_MPEG1VIDEO);
  EXPECT_EQ(video->width, 320);
  EXPECT_EQ(video->height, 240);
  EXPECT_EQ(video->pix_fmt, AV_PIX_FMT_YUV420P);
  EXPECT_EQ(video->time_base.num, 1001);
  EXPECT_EQ(video->time_base.den, 30000);
  EXPECT_EQ(video->sample_aspect_ratio.num, video->sample_aspect_ratio.den);  // square pixels
  const AVCodecContext* audio = OutputContext(engine, 0, 1);
  EXPECT_EQ(audio->codec_id, AV_CODEC_ID_MP2);
  EXPECT_EQ(audio->sample_rate, 44100);
}

TEST_F(OpenFiles, VideoStreamTakesTheOptionFields) {
  // No input: nothing drops the video stream, and no frame rate is known.
  engine.SameQuality = 1;
  engine.PassNumber = 2;
  engine.IntraOnly = 1;
  engine.VideoRcOverride = "0,100,-50/200,300,4";
  engine.FramePixFmt = AV_PIX_FMT_RGB24;  // not among MPEG-4's formats
  engine.FrameWidth = 160;
  engine.FrameHeight = 120;
  ASSERT_TRUE(engine.OpenOutputFile(folder / "out.avi")) << engine.LastError;
  const AVCodecContext* video = OutputContext(engine, 0, 0);
  EXPECT_EQ(video->codec_id, AV_CODEC_ID_MPEG4);
  EXPECT_EQ(video->time_base.num, 1);
  EXPECT_EQ(video->time_base.den, 25);
  EXPECT_EQ(video->pix_fmt, AV_PIX_FMT_YUV420P);
  EXPECT_TRUE(video->flags & AV_CODEC_FLAG_QSCALE);
  EXPECT_EQ(video->global_quality, 0);
  EXPECT_TRUE(video->flags & AV_CODEC_FLAG_PASS2);
  EXPECT_FALSE(video->flags & AV_CODEC_FLAG_PASS1);
  EXPECT_EQ(video->gop_size, 0);
  ASSERT_EQ(video->rc_override_count, 2);
  EXPECT_EQ(video->rc_override[0].start_frame, 0);
  EXPECT_EQ(video->rc_override[0].end_frame, 100);
  EXPECT_EQ(video->rc_override[0].qscale, 0);
  EXPECT_FLOAT_EQ(video->rc_override[0].quality_factor, 0.5f);
  EXPECT_EQ(video->rc_override[1].qscale, 4);
  EXPECT_FLOAT_EQ(video->rc_override[1].quality_factor, 1.0f);
  EXPECT_EQ(engine.IntraOnly, 1);  // not a per-stream field
}

TEST_F(OpenFiles, StreamsTakeTheirLanguagesAndSubtitlesTheFormatsEncoder) {
  engine.AudioLanguage = "english";
  engine.SubtitleLanguage = "ger";
  ASSERT_TRUE(engine.OpenOutputFile(folder / "out.mkv")) << engine.LastError;
  const AVFormatContext* output = engine.OutputFiles[0].get();
  ASSERT_EQ(output->nb_streams, 3u);  // video, audio, subtitles
  const AVDictionaryEntry* audioLanguage =
      AVU.av_dict_get(output->streams[1]->metadata, "language", nullptr, 0);
  ASSERT_NE(audioLanguage, nullptr);
  EXPECT_STREQ(audioLanguage->value, "eng");
  EXPECT_EQ(OutputContext(engine, 0, 2)->codec_id, output->oformat->subtitle_codec);
  const AVDictionaryEntry* subtitleLanguage =
      AVU.av_dict_get(output->streams[2]->metadata, "language", nullptr, 0);
  ASSERT_NE(subtitleLanguage, nullptr);
  EXPECT_STREQ(subtitleLanguage->value, "ger");
  EXPECT_TRUE(engine.AudioLanguage.empty());
  EXPECT_TRUE(engine.SubtitleLanguage.empty());
}

TEST_F(OpenFiles, StreamCopyIsMarkedAndConsumed) {
  ASSERT_TRUE(engine.OpenInputFile(Wav("in.wav")));
  engine.SetAudioCodec("copy");
  ASSERT_TRUE(engine.OpenOutputFile(folder / "out.wav")) << engine.LastError;
  EXPECT_TRUE(engine.OutputCodecs[0][0].StreamCopy);
  EXPECT_EQ(OutputContext(engine, 0, 0)->codec_id, AV_CODEC_ID_NONE);
  EXPECT_EQ(engine.AudioStreamCopy, 0);
}

TEST_F(OpenFiles, FailedOutputsLeaveNothingBehind) {
  const std::string input = Video("clip.avi");
  const auto inputSize = fs::file_size(input);
  ASSERT_TRUE(engine.OpenInputFile(input));
  ASSERT_TRUE(engine.OpenOutputFile(folder / "first.mp3"));
  struct Case {
    const char* name;
    std::function<void(TCustomFFmpegHlpr&)> set;
    std::string message;
  } cases[] = {
      {"out.xyz", nullptr,
       "Unable to find a suitable output format for '" + folder / "out.xyz" + "'"},
      {"out.mp3", [](TCustomFFmpegHlpr& e) { e.SetAudioCodec("mp3float"); },
       "new_audio_stream fail: Unknown encoder 'mp3float'"},
      {"out.avi", [](TCustomFFmpegHlpr& e) { e.SetVideoCodec("libmp3lame"); },
       "new_video_stream fail: Invalid encoder type 'libmp3lame'"},
      {"out.avi", [](TCustomFFmpegHlpr& e) { e.VideoRcOverride = "0,100"; },
       "new_video_stream fail: error parsing rc_override"},
      {"missing-folder/out.mp3", nullptr,
       "Could not open '" + folder / "missing-folder/out.mp3" + "': No such file or directory"},
      {"clip.avi", nullptr, "'" + input + "' is an input file and cannot be overwritten"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = folder / c.name;
    if (c.set) c.set(engine);
    EXPECT_FALSE(engine.OpenOutputFile(path));
    EXPECT_EQ(engine.LastError, c.message);
    EXPECT_EQ(engine.OutputFileCount, 1);
    EXPECT_EQ(engine.OutputFiles[1], nullptr);
    for (const StreamCodec& codec : engine.OutputCodecs[1]) EXPECT_EQ(codec.Context, nullptr);
    if (path != input) {
      EXPECT_FALSE(fs::exists(path));
    }
    int hidden = 0;  // first.mp3's own
    for (const auto& entry : fs::recursive_directory_iterator(folder.path()))
      hidden += entry.path().filename().string().rfind(".melvaro-", 0) == 0;
    EXPECT_EQ(hidden, 1);
    EXPECT_TRUE(engine.AudioCodecName.empty() && engine.VideoCodecName.empty());
    engine.VideoRcOverride.clear();
  }
  EXPECT_EQ(fs::file_size(input), inputSize);
  // The slot is still free for the next attempt.
  ASSERT_TRUE(engine.OpenOutputFile(folder / "second.mp3")) << engine.LastError;
  EXPECT_EQ(engine.OutputFileCount, 2);
  EXPECT_STREQ(engine.OutputFiles[1]->url, (folder / "second.mp3").c_str());
}

TEST_F(OpenFiles, DescriptiveFieldsBecomeTagsOfTheWrittenFile) {
  ASSERT_TRUE(engine.OpenInputFile(Wav("in.wav")));
  engine.SetTitle("A Title");
  engine.SetAuthor("An Author");
  engine.SetCopyright("(c) Someone");
  engine.SetComment("A comment");
  engine.SetAlbum("An Album");
  engine.SetYear(1999);
  engine.SetTrack(7);
  engine.SetGenre("Ambient");
  const std::string path = folder / "tagged.mp3";
  ASSERT_TRUE(engine.OpenOutputFile(path)) << engine.LastError;
  AVFormatContext* output = engine.OutputFiles[0].get();
  const std::map<std::string, std::string> expected = {
      {"title", "A Title"},     {"artist", "An Author"}, {"copyright", "(c) Someone"},
      {"comment", "A comment"}, {"album", "An Album"},   {"date", "1999"},
      {"track", "7"},           {"genre", "Ambient"}};
  for (const auto& [key, value] : expected) {
    const AVDictionaryEntry* entry = AVU.av_dict_get(output->metadata, key.c_str(), nullptr, 0);
    ASSERT_NE(entry, nullptr) << key;
    EXPECT_EQ(entry->value, value);
  }

  // Write the header as the run would, and read the tags back from the file.
  AVCodecContext* encoder = engine.OutputCodecs[0][0].Context.get();
  encoder->sample_fmt = VersionedCalls::SupportedSampleFormats(encoder->codec)[0];
  ASSERT_GE(AVC.avcodec_open2(encoder, encoder->codec, nullptr), 0);
  ASSERT_GE(AVC.avcodec_parameters_from_context(output->streams[0]->codecpar, encoder), 0);
  ASSERT_GE(AVF.avformat_write_header(output, nullptr), 0);
  const MediaObjects::FramePtr ownedFrame(AVU.av_frame_alloc());
  const MediaObjects::PacketPtr ownedPacket(AVC.av_packet_alloc());
  AVFrame* frame = ownedFrame.get();
  AVPacket* packet = ownedPacket.get();
  for (int i = 0; i <= 10; ++i) {  // ten frames of silence, then the drain
    if (i < 10) {
      frame->format = encoder->sample_fmt;
      frame->nb_samples = encoder->frame_size;
      AVU.av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout);
      ASSERT_GE(AVU.av_frame_get_buffer(frame, 0), 0);
      for (int plane = 0; plane < encoder->ch_layout.nb_channels; ++plane)
        std::fill_n(frame->extended_data[plane], frame->linesize[0], 0);
      frame->pts = int64_t(i) * encoder->frame_size;
    }
    ASSERT_GE(AVC.avcodec_send_frame(encoder, i < 10 ? frame : nullptr), 0);
    AVU.av_frame_unref(frame);
    while (AVC.avcodec_receive_packet(encoder, packet) >= 0) {
      AVC.av_packet_rescale_ts(packet, encoder->time_base, output->streams[0]->time_base);
      ASSERT_GE(AVF.av_interleaved_write_frame(output, packet), 0);
    }
  }
  ASSERT_GE(AVF.av_write_trailer(output), 0);
  engine.CommitOutputs();
  engine.Cleanup();
  const FileInfo info = Probe(path);
  for (const auto& [key, value] : expected) {
    const auto tag = info.tags.find(key);
    ASSERT_NE(tag, info.tags.end()) << key;
    EXPECT_EQ(tag->second, value);
  }
}

TEST_F(OpenFiles, TheFileBeyondTheLimitIsRefused) {
  const std::string input = Wav("in.wav", 8000, 1, 0.1);
  for (int i = 0; i < MaxFiles; ++i) ASSERT_TRUE(engine.OpenInputFile(input)) << i;
  EXPECT_FALSE(engine.OpenInputFile(input));
  const std::string limit = "(at most " + std::to_string(MaxFiles) + ")";
  EXPECT_EQ(engine.LastError, input + ": too many input files " + limit);
  EXPECT_EQ(engine.InputFileCount, MaxFiles);

  for (int i = 0; i < MaxFiles; ++i)
    ASSERT_TRUE(engine.OpenOutputFile(folder / ("out" + std::to_string(i) + ".wav")))
        << engine.LastError;
  const std::string extra = folder / "out-extra.wav";
  EXPECT_FALSE(engine.OpenOutputFile(extra));
  EXPECT_EQ(engine.LastError, extra + ": too many output files " + limit);
  EXPECT_EQ(engine.OutputFileCount, MaxFiles);
  EXPECT_FALSE(fs::exists(extra));
}

TEST_F(OpenFiles, FeedStreamsAreCopiedFromALocalSourceOnly) {
  // Today's libraries have no "ffm" feed format; the reading itself still works.
  const std::string source = Wav("feed.wav", 22050, 1);
  for (const std::string& url :
       {source, std::string("http://localhost/feed.ffm"), folder / "none.ffm"}) {
    SCOPED_TRACE(url);
    AVFormatContext* made = nullptr;
    ASSERT_GE(
        AVF.avformat_alloc_output_context2(&made, nullptr, "wav", (folder / "out.wav").c_str()), 0);
    const MediaObjects::FormatContextPtr output(made);
    const int result = engine.ReadFeedStreams(output.get(), url);
    if (url == source) {
      EXPECT_EQ(result, 0);
      ASSERT_EQ(output->nb_streams, 1u);
      EXPECT_EQ(output->streams[0]->codecpar->sample_rate, 22050);
      ASSERT_NE(engine.OutputCodecs[0][0].Context, nullptr);
      EXPECT_EQ(engine.OutputCodecs[0][0].Context->ch_layout.nb_channels, 1);
    } else {
      EXPECT_LT(result, 0);
      EXPECT_EQ(output->nb_streams, 0u);
    }
    engine.OutputCodecs[0][0].Context.reset();
  }
}
