// End-to-end conversions through the engine alone: every generated format to
// the component's MP3, stream copy, stop, recording time, start offset,
// progress values, shared sources and refused set-ups.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/FFmpegHlpr.h"
#include "medialib/AVCodecHlpr.h"
#include "medialib/AVFormatHlpr.h"
#include "medialib/AVUtilHlpr.h"
#include "medialib/LibraryObjects.h"
#include "tests/engine/EngineRun.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

using namespace MediaFixtures;

namespace {

constexpr double ToneHz = 440;

void ExpectComponentMp3(const std::string& path, double seconds) {
  const FileInfo info = Probe(path);
  ASSERT_EQ(info.Count(AVMEDIA_TYPE_AUDIO), 1) << path;
  EXPECT_EQ(info.Count(AVMEDIA_TYPE_VIDEO), 0);
  const StreamInfo& audio = *info.First(AVMEDIA_TYPE_AUDIO);
  EXPECT_EQ(audio.codecId, AV_CODEC_ID_MP3);
  EXPECT_EQ(audio.sampleRate, 44100);
  EXPECT_EQ(audio.channels, 2);
  EXPECT_EQ(audio.bitRate, 128000);
  const DecodedAudio decoded = DecodeAudio(path);
  EXPECT_NEAR(decoded.Seconds(), seconds, 0.1);
  EXPECT_NEAR(DominantFrequency(decoded, 0), ToneHz, ToneHz * 0.01);
  EXPECT_NEAR(DominantFrequency(decoded, 1), ToneHz, ToneHz * 0.01);
}

// Two seconds of 16-bit stereo PCM in Matroska whose timestamps jump 20 s
// forward after the first second.
void MakeJumpingPcm(const std::string& path) {
  AVFormatContext* made = nullptr;
  ASSERT_GE(AVF.avformat_alloc_output_context2(&made, nullptr, "matroska", path.c_str()), 0);
  const MediaObjects::OutputPtr owner(made);
  AVFormatContext* output = made;
  AVStream* stream = AVF.avformat_new_stream(output, nullptr);
  ASSERT_NE(stream, nullptr);
  stream->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
  stream->codecpar->codec_id = AV_CODEC_ID_PCM_S16LE;
  stream->codecpar->sample_rate = 44100;
  stream->codecpar->ch_layout = AV_CHANNEL_LAYOUT_STEREO;
  stream->codecpar->bits_per_coded_sample = 16;
  stream->codecpar->block_align = 4;
  stream->time_base = {1, 1000};
  ASSERT_GE(AVF.avio_open2(&output->pb, path.c_str(), AVIO_FLAG_WRITE, nullptr, nullptr), 0);
  ASSERT_GE(AVF.avformat_write_header(output, nullptr), 0);
  const std::vector<int16_t> tone = ToneSamples(44100, 2, 2.0, ToneHz);
  const MediaObjects::PacketPtr owned(AVC.av_packet_alloc());
  AVPacket* packet = owned.get();
  constexpr int Frames = 4410;  // 100 ms
  for (int block = 0; block < 20; ++block) {
    ASSERT_GE(AVC.av_new_packet(packet, Frames * 4), 0);
    std::memcpy(packet->data, tone.data() + static_cast<size_t>(block) * Frames * 2, Frames * 4);
    packet->pts = packet->dts = AVU.av_rescale_q(block * 100 + (block >= 10 ? 20000 : 0),
                                                 AVRational{1, 1000}, stream->time_base);
    packet->duration = AVU.av_rescale_q(100, AVRational{1, 1000}, stream->time_base);
    packet->stream_index = 0;
    packet->flags = AV_PKT_FLAG_KEY;
    ASSERT_GE(AVF.av_interleaved_write_frame(output, packet), 0);
  }
  AVF.av_write_trailer(output);
}

class Transcode : public ::testing::Test {
 protected:
  void SetUp() override { EnsureLibraries(); }
  // Runs on the calling thread; returns whether the run raised.
  bool RunHere(TCustomFFmpegHlpr& engine, std::string* message = nullptr) {
    try {
      EXPECT_EQ(engine.Start(false, tpNormal), MainThreadID());
      return true;
    } catch (const FFMpegException& error) {
      if (message) *message = error.what();
      return false;
    }
  }
  TempFolder folder;
  std::mutex lock;
  RunRecord record;
};

struct FormatCase {
  const char* name;
  bool video;  // the audio track of a video file, with VideoDisable set
  AudioFormat format;
  int rate, channels;
};

class FormatToMp3 : public Transcode, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(FormatToMp3, ConvertsToTheComponentsMp3) {
  const FormatCase& c = GetParam();
  std::string input;
  if (c.video) {
    input = folder / "input.avi";
    VideoClip clip;
    clip.seconds = 3;
    clip.frequencyHz = ToneHz;
    clip.sampleRate = c.rate;
    clip.channels = c.channels;
    MakeVideo(input, clip);
  } else {
    input = folder / (std::string("input") + FormatExtension(c.format));
    MakeAudio(input, c.format, c.rate, c.channels, 3.0, ToneHz);
  }
  const double inputSeconds = DecodeAudio(input).Seconds();
  const std::string output = folder / "output.mp3";

  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  ASSERT_TRUE(PrepareMp3Conversion(engine, input, output, c.video));
  ASSERT_TRUE(RunHere(engine)) << record.AllLines();
  EXPECT_TRUE(engine.Finished);
  EXPECT_EQ(record.terminates, 1);
  for (size_t i = 0; i < record.lines.size(); ++i)
    EXPECT_NE(record.levels[i], 0) << "error logged for a sound input: " << record.lines[i];
  EXPECT_EQ(engine.BitBufferSize, 262144);  // audio only: never raised
  ExpectComponentMp3(output, inputSeconds);
}

std::string CaseName(const ::testing::TestParamInfo<FormatCase>& info) { return info.param.name; }

INSTANTIATE_TEST_SUITE_P(
    Formats, FormatToMp3,
    ::testing::Values(FormatCase{"Wav44100Stereo", false, AudioFormat::Wav, 44100, 2},
                      FormatCase{"Wav48000Stereo", false, AudioFormat::Wav, 48000, 2},
                      FormatCase{"Wav22050Mono", false, AudioFormat::Wav, 22050, 1},
                      FormatCase{"Mp3", false, AudioFormat::Mp3, 44100, 2},
                      FormatCase{"Mp2", false, AudioFormat::Mp2, 48000, 2},
                      FormatCase{"Flac", false, AudioFormat::Flac, 44100, 2},
                      FormatCase{"OggVorbis", false, AudioFormat::Vorbis, 44100, 2},
                      FormatCase{"AacM4a", false, AudioFormat::AacM4a, 44100, 2},
                      FormatCase{"Wma", false, AudioFormat::Wma, 44100, 2},
                      FormatCase{"Ac3", false, AudioFormat::Ac3, 48000, 2},
                      FormatCase{"MatroskaAudio", false, AudioFormat::Mka, 44100, 2},
                      FormatCase{"VideoFileAudioTrack", true, AudioFormat::Mp3, 44100, 2}),
    CaseName);

TEST_F(Transcode, Mp3StreamCopyKeepsTheFrames) {
  const std::string input = folder / "input.mp3";
  MakeAudio(input, AudioFormat::Mp3, 44100, 2, 3.0, ToneHz);
  const std::string output = folder / "copy.mp3";
  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  engine.Reset();
  ASSERT_TRUE(engine.OpenInputFile(input)) << engine.LastError;
  engine.SetAudioCodec("copy");
  ASSERT_TRUE(engine.OpenOutputFile(output)) << engine.LastError;
  ASSERT_TRUE(RunHere(engine)) << record.AllLines();
  EXPECT_TRUE(engine.Finished);
  EXPECT_GT(engine.AudioBytes, 0);
  const FileInfo info = Probe(output);
  ASSERT_EQ(info.Count(AVMEDIA_TYPE_AUDIO), 1);
  EXPECT_EQ(info.First(AVMEDIA_TYPE_AUDIO)->codecId, AV_CODEC_ID_MP3);
  const DecodedAudio in = DecodeAudio(input), out = DecodeAudio(output);
  EXPECT_NEAR(out.Seconds(), in.Seconds(), 0.1);
  EXPECT_NEAR(DominantFrequency(out), ToneHz, ToneHz * 0.01);
}

// Encoders without a frame size take each decoded block whole.
TEST_F(Transcode, RawPcmOutputTakesWholeBlocks) {
  struct Case {
    const char* codec;
    AVCodecID id;
    int inputRate, inputChannels;
  } cases[] = {{"pcm_s24le", AV_CODEC_ID_PCM_S24LE, 44100, 2},
               {"pcm_s16le", AV_CODEC_ID_PCM_S16LE, 22050, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codec);
    const std::string input = folder / "in.mp3";
    MakeAudio(input, AudioFormat::Mp3, c.inputRate == 22050 ? 44100 : c.inputRate, 2, 2.0, ToneHz);
    const std::string wav = folder / "in.wav";
    MakeWav(wav, c.inputRate, c.inputChannels, 2.0, ToneHz);
    const std::string output = folder / (std::string(c.codec) + ".wav");
    TCustomFFmpegHlpr engine(lock);
    record.Attach(engine);
    engine.Reset();
    ASSERT_TRUE(engine.OpenInputFile(c.inputRate == 22050 ? wav : input)) << engine.LastError;
    engine.SetAudioCodec(c.codec);
    engine.SetAudioSampleRate(44100);
    engine.SetAudioChannels(2);
    ASSERT_TRUE(engine.OpenOutputFile(output)) << engine.LastError;
    ASSERT_TRUE(RunHere(engine)) << record.AllLines();
    const FileInfo info = Probe(output);
    ASSERT_EQ(info.Count(AVMEDIA_TYPE_AUDIO), 1);
    EXPECT_EQ(info.First(AVMEDIA_TYPE_AUDIO)->codecId, c.id);
    const DecodedAudio decoded = DecodeAudio(output);
    EXPECT_EQ(decoded.rate, 44100);
    EXPECT_EQ(decoded.channels, 2);
    EXPECT_NEAR(decoded.Seconds(), 2.0, 0.1);
    EXPECT_NEAR(DominantFrequency(decoded, 1), ToneHz, ToneHz * 0.01);
  }
}

// A filter that cannot work on the stream is reported and left out; the
// packets still pass the others and reach the file.
TEST_F(Transcode, BitstreamFilterChainOfAStream) {
  const std::string input = folder / "in.wav";
  MakeWav(input, 44100, 2, 2.0, ToneHz);
  const std::string output = folder / "filtered.mp3";
  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  ASSERT_TRUE(PrepareMp3Conversion(engine, input, output));
  engine.BitstreamFilters[0][0] = {"null", "no_such_filter", "h264_mp4toannexb", "null"};
  ASSERT_TRUE(RunHere(engine)) << record.AllLines();
  EXPECT_TRUE(record.HasLine(
      "no_such_filter failed for stream 0, codec libmp3lame: Error while opening file: "
      "Bitstream filter not found"))
      << record.AllLines();
  bool refused = false;
  for (size_t i = 0; i < record.lines.size(); ++i)
    if (record.lines[i].rfind("h264_mp4toannexb failed for stream 0, codec libmp3lame", 0) == 0)
      refused = record.levels[i] == 0;
  EXPECT_TRUE(refused) << record.AllLines();
  ExpectComponentMp3(output, 2.0);
}

// Without a progress hook the status goes to the log: every report from
// Verbose 1 on, with the frame counters from Verbose 2 on; at Verbose 0 only
// the last one.
TEST_F(Transcode, StatusLinesWithoutAProgressHook) {
  const std::string input = folder / "in.wav";
  MakeWav(input, 44100, 2, 2.0, ToneHz);
  for (int verbose : {0, 2}) {
    SCOPED_TRACE(verbose);
    RunRecord lines;
    TCustomFFmpegHlpr engine(lock);
    ASSERT_TRUE(PrepareMp3Conversion(engine, input, folder / "status.mp3"));
    engine.LogHook = {RunRecord::Log, &lines};
    engine.SetVerbose(verbose);
    engine.ReportInterval = 0;
    ASSERT_TRUE(RunHere(engine));
    int status = 0;
    std::string last;
    for (const std::string& line : lines.lines)
      if (line.find("size=") != std::string::npos && line.find(" time=") != std::string::npos) {
        ++status;
        last = line;
      }
    if (verbose == 0) {
      EXPECT_EQ(status, 1);
    } else {
      EXPECT_GT(status, 1);
      EXPECT_NE(last.find(" dup=0 drop=0"), std::string::npos) << last;
    }
    EXPECT_NE(last.find("bitrate="), std::string::npos) << last;
  }
}

// Two inputs, each feeding its own output: the loop reads from the input
// whose output lags, so a limit cuts both outputs at the same place.
TEST_F(Transcode, TwoInputsAdvanceTogether) {
  const std::string first = folder / "first.wav", second = folder / "second.flac";
  MakeWav(first, 44100, 2, 4.0, ToneHz);
  MakeAudio(second, AudioFormat::Flac, 48000, 2, 4.0, ToneHz);
  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  engine.Reset();
  ASSERT_TRUE(engine.OpenInputFile(first)) << engine.LastError;
  ASSERT_TRUE(engine.OpenInputFile(second)) << engine.LastError;
  for (const char* name : {"a.mp3", "b.mp3"}) {
    engine.SetAudioCodec("libmp3lame");
    engine.SetLibraryOption("ab", "128000");
    engine.SetAudioSampleRate(44100);
    engine.SetAudioChannels(2);
    ASSERT_TRUE(engine.OpenOutputFile(folder / name)) << engine.LastError;
  }
  engine.SetDuration(1500);
  ASSERT_TRUE(RunHere(engine)) << record.AllLines();
  EXPECT_TRUE(record.HasLine("  Stream #0.0 -> #0.0"));
  EXPECT_TRUE(record.HasLine("  Stream #1.0 -> #1.0"));
  ExpectComponentMp3(folder / "a.mp3", 1.5);
  ExpectComponentMp3(folder / "b.mp3", 1.5);
}

TEST_F(Transcode, VolumeScalesDecodedSamples) {
  const std::string input = folder / "in.wav";
  MakeWav(input, 44100, 2, 2.0, ToneHz);
  double rms[2];
  for (int volume : {256, 128}) {
    const std::string output = folder / ("volume" + std::to_string(volume) + ".mp3");
    TCustomFFmpegHlpr engine(lock);
    ASSERT_TRUE(PrepareMp3Conversion(engine, input, output));
    engine.AudioVolume = volume;
    ASSERT_TRUE(RunHere(engine));
    rms[volume == 256 ? 0 : 1] = Rms(DecodeAudio(output));
  }
  EXPECT_NEAR(rms[1] / rms[0], 0.5, 0.02);
}

// Statistics files live in the current folder and carry the output stream's
// index; pass 2 needs the file of pass 1.
TEST_F(Transcode, TwoPassStatisticsFiles) {
  const std::string input = folder / "in.wav";
  MakeWav(input, 44100, 2, 1.0, ToneHz);
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(folder.path());
  struct Restore {
    std::filesystem::path path;
    ~Restore() { std::filesystem::current_path(path); }
  } restore{previous};

  {
    TCustomFFmpegHlpr engine(lock);
    ASSERT_TRUE(PrepareMp3Conversion(engine, input, folder / "pass2.mp3"));
    engine.OutputCodecs[0][0].Context->flags |= AV_CODEC_FLAG_PASS2;
    std::string message;
    EXPECT_FALSE(RunHere(engine, &message));
    EXPECT_EQ(message, "creat open fail: ffmpeg2pass-0.log");
  }
  {
    TCustomFFmpegHlpr engine(lock);
    ASSERT_TRUE(PrepareMp3Conversion(engine, input, folder / "pass1.mp3"));
    engine.OutputCodecs[0][0].Context->flags |= AV_CODEC_FLAG_PASS1;
    ASSERT_TRUE(RunHere(engine));
    EXPECT_TRUE(std::filesystem::exists(folder / "ffmpeg2pass-0.log"));
  }
  {
    TCustomFFmpegHlpr engine(lock);
    ASSERT_TRUE(PrepareMp3Conversion(engine, input, folder / "pass2.mp3"));
    engine.OutputCodecs[0][0].Context->flags |= AV_CODEC_FLAG_PASS2;
    ASSERT_TRUE(RunHere(engine));  // the statistics text is freed with the encoder
    ExpectComponentMp3(folder / "pass2.mp3", 1.0);
  }
}

// A forward jump in an input's timestamps is absorbed by its offset unless
// the timestamps are to be copied.
TEST_F(Transcode, TimestampDiscontinuity) {
  const std::string input = folder / "jump.mka";
  MakeJumpingPcm(input);
  for (bool copyTimestamps : {false, true}) {
    SCOPED_TRACE(copyTimestamps);
    const std::string output = folder / (copyTimestamps ? "kept.mka" : "smooth.mka");
    RunRecord lines;
    TCustomFFmpegHlpr engine(lock);
    engine.Reset();
    engine.LogHook = {RunRecord::Log, &lines};
    engine.CopyTimestamps = copyTimestamps;
    ASSERT_TRUE(engine.OpenInputFile(input)) << engine.LastError;
    engine.SetAudioCodec("copy");
    ASSERT_TRUE(engine.OpenOutputFile(output)) << engine.LastError;
    engine.Verbose = 3;
    ASSERT_TRUE(RunHere(engine));
    bool logged = false;
    for (const std::string& line : lines.lines)
      if (line == "timestamp discontinuity 20000000, new offset= -20000000") logged = true;
    EXPECT_EQ(logged, !copyTimestamps) << lines.AllLines();
    EXPECT_NEAR(Probe(output).duration, copyTimestamps ? 22.0 : 2.0, 0.1);
    EXPECT_NEAR(DecodeAudio(output).Seconds(), 2.0, 0.01);
  }
}

// With a video output the status line counts frames, and with the encoder's
// PSNR flag it carries the peak signal-to-noise ratio of each plane.
TEST_F(Transcode, VideoStatusLineWithPsnr) {
  const std::string input = folder / "clip.avi";
  VideoClip clip;
  clip.seconds = 1;
  MakeVideo(input, clip);
  RunRecord lines;
  TCustomFFmpegHlpr engine(lock);
  engine.Reset();
  engine.LogHook = {RunRecord::Log, &lines};
  ASSERT_TRUE(engine.OpenInputFile(input)) << engine.LastError;
  engine.SetVideoCodec("mpeg4");
  engine.AudioDisable = 1;
  ASSERT_TRUE(engine.OpenOutputFile(folder / "psnr.avi")) << engine.LastError;
  engine.OutputCodecs[0][0].Context->flags |= AV_CODEC_FLAG_PSNR;
  engine.ReportInterval = 0;
  ASSERT_TRUE(RunHere(engine)) << lines.AllLines();
  std::string last;
  for (const std::string& line : lines.lines)
    if (line.rfind("frame=", 0) == 0) last = line;
  ASSERT_FALSE(last.empty()) << lines.AllLines();
  double y = 0, u = 0, v = 0, all = 0;
  const size_t at = last.find("PSNR=");
  ASSERT_NE(at, std::string::npos) << last;
  ASSERT_EQ(std::sscanf(last.c_str() + at, "PSNR=Y:%lf U:%lf V:%lf *:%lf", &y, &u, &v, &all), 4)
      << last;
  // The pictures' chroma is flat, so U and V may come out error-free (inf).
  for (double value : {y, u, v, all}) EXPECT_GT(value, 15.0) << last;
  EXPECT_TRUE(std::isfinite(y)) << last;
  EXPECT_NE(last.find(" L"), std::string::npos) << last;
}

TEST_F(Transcode, StopMidFileLeavesTheFolderAsItWas) {
  const std::string input = folder / "long.wav";
  MakeWav(input, 44100, 2, 60.0, ToneHz);
  const std::string output = folder / "stopped.mp3";
  { std::ofstream(output) << "an earlier result"; }
  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  ASSERT_TRUE(PrepareMp3Conversion(engine, input, output));
  engine.ReportInterval = 0;
  ASSERT_NE(engine.Start(true, tpNormal), 0u);
  ASSERT_TRUE(record.WaitForProgress(3));
  engine.Stop();
  ASSERT_TRUE(record.WaitForTerminate());
  engine.StopAndWait();
  EXPECT_FALSE(engine.Finished);
  std::ifstream kept(output);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "an earlier result");
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"long.wav", "stopped.mp3"}));
  // The trailer and the last report still came after the stop.
  std::lock_guard<std::mutex> guard(record.mutex);
  EXPECT_GT(record.progress.back().currentSize, 0);
}

TEST_F(Transcode, RecordingTimeLimitsTheOutput) {
  const std::string input = folder / "ten.wav";
  MakeWav(input, 44100, 2, 10.0, ToneHz);
  const std::string output = folder / "five.mp3";
  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  ASSERT_TRUE(PrepareMp3Conversion(engine, input, output));
  engine.SetDuration(5000);
  ASSERT_TRUE(RunHere(engine));
  EXPECT_TRUE(engine.Finished);  // a limit reached is a finished run
  EXPECT_NEAR(DecodeAudio(output).Seconds(), 5.0, 0.1);
}

// Three seconds of silence, then three of the tone: the start offset must
// skip the silence, not the end.
TEST_F(Transcode, StartOffsetSkipsTheBeginning) {
  const std::string input = folder / "silence-then-tone.wav";
  std::vector<int16_t> samples = ToneSamples(44100, 2, 3.0, 0);
  const std::vector<int16_t> tone = ToneSamples(44100, 2, 3.0, ToneHz);
  samples.insert(samples.end(), tone.begin(), tone.end());
  {
    std::ofstream file(input, std::ios::binary);
    auto put32 = [&](uint32_t v) { file.write(reinterpret_cast<const char*>(&v), 4); };
    auto put16 = [&](uint16_t v) { file.write(reinterpret_cast<const char*>(&v), 2); };
    const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
    file.write("RIFF", 4);
    put32(36 + bytes);
    file.write("WAVEfmt ", 8);
    put32(16);
    put16(1);
    put16(2);
    put32(44100);
    put32(44100 * 4);
    put16(4);
    put16(16);
    file.write("data", 4);
    put32(bytes);
    file.write(reinterpret_cast<const char*>(samples.data()), bytes);
  }
  const std::string output = folder / "offset.mp3";
  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  ASSERT_TRUE(PrepareMp3Conversion(engine, input, output));
  engine.SetStartTime(3000);
  ASSERT_TRUE(RunHere(engine));
  const DecodedAudio decoded = DecodeAudio(output);
  EXPECT_NEAR(decoded.Seconds(), 3.0, 0.1);
  DecodedAudio head = decoded;
  head.samples.resize(std::min<size_t>(head.samples.size(), 44100 / 2 * 2));
  EXPECT_GT(Rms(head), 0.2);  // the tone, at half full scale, from the start
}

TEST_F(Transcode, AudioOnlyProgressReachesTheHook) {
  // Ogg Vorbis, whose first packet decodes to nothing with every FFmpeg, so
  // that the first report comes before any output. (Not WAV: since FFmpeg 7
  // its blocks hold about 0.1 s, enough for the first MP3 frames at once.)
  const std::string input = folder / "progress.ogg";
  MakeAudio(input, AudioFormat::Vorbis, 44100, 2, 4.0, ToneHz);
  const std::string output = folder / "progress.mp3";
  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  ASSERT_TRUE(PrepareMp3Conversion(engine, input, output));
  engine.ReportInterval = 0;
  ASSERT_TRUE(RunHere(engine));
  ASSERT_GE(record.progress.size(), 2u);
  // The first block fills no encoder frame yet: no position is known.
  EXPECT_EQ(record.progress.front().durationTime, -1);
  EXPECT_LT(record.progress.front().bitRate, 0.01f);
  int lastDuration = -1;
  for (const ProgressValues& p : record.progress) {
    EXPECT_EQ(p.frameNumber, -1);
    EXPECT_EQ(p.fps, -1);
    EXPECT_EQ(p.quality, -1.0f);
    EXPECT_EQ(p.totalDuration, 4000);
    EXPECT_GE(p.durationTime, lastDuration);  // -1 only before any position
    lastDuration = p.durationTime;
  }
  const ProgressValues& last = record.progress.back();
  EXPECT_NEAR(last.durationTime, 4000, 100);
  EXPECT_EQ(last.currentSize, static_cast<int64_t>(std::filesystem::file_size(output)));
  EXPECT_NEAR(last.bitRate, 128.0, 8.0);
  // The summary line closes the run.
  bool summary = false;
  for (const std::string& line : record.lines)
    if (line.rfind("video:0kB audio:", 0) == 0 &&
        line.find("muxing overhead ") != std::string::npos && line.size() > 2 &&
        line.substr(line.size() - 2) == "\r\n")
      summary = true;
  EXPECT_TRUE(summary) << record.AllLines();
}

TEST_F(Transcode, TwoOutputsShareOneSourceAndTheMappingIsLogged) {
  const std::string input = folder / "shared.wav";
  MakeWav(input, 48000, 2, 2.0, ToneHz);
  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  ASSERT_TRUE(PrepareMp3Conversion(engine, input, folder / "first.mp3"));
  engine.SetAudioCodec("libmp3lame");
  engine.SetLibraryOption("ab", "128000");
  engine.SetAudioSampleRate(44100);
  engine.SetAudioChannels(2);
  ASSERT_TRUE(engine.OpenOutputFile(folder / "second.mp3")) << engine.LastError;
  ASSERT_TRUE(RunHere(engine)) << record.AllLines();
  EXPECT_TRUE(record.HasLine("Stream mapping:"));
  EXPECT_TRUE(record.HasLine("  Stream #0.0 -> #0.0"));
  EXPECT_TRUE(record.HasLine("  Stream #0.0 -> #1.0"));
  ExpectComponentMp3(folder / "first.mp3", 2.0);
  ExpectComponentMp3(folder / "second.mp3", 2.0);
}

TEST_F(Transcode, AnEncoderThatRefusesItsParametersFailsBeforeAnyByte) {
  const std::string input = folder / "in.wav";
  MakeWav(input, 44100, 2, 1.0, ToneHz);
  const std::string output = folder / "refused.mp3";
  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  ASSERT_TRUE(PrepareMp3Conversion(engine, input, output));
  // OpenOutputFile took the rate; the encoder knows no such rate.
  engine.OutputCodecs[0][0].Context->sample_rate = 12345;
  std::string message;
  EXPECT_FALSE(RunHere(engine, &message));
  EXPECT_EQ(message,
            "Error while opening codec for output stream #0.0 - maybe incorrect parameters such as "
            "bit_rate, rate, width or height");
  EXPECT_EQ(record.terminates, 1);
  EXPECT_FALSE(engine.Finished);
  EXPECT_TRUE(engine.OpenEncoders.empty());
  EXPECT_FALSE(std::filesystem::exists(output));  // it never received a byte
}

TEST_F(Transcode, VideoStreamCopyKeepsThePictures) {
  const std::string input = folder / "clip.avi";
  VideoClip clip;
  clip.seconds = 2;
  MakeVideo(input, clip);
  const std::string output = folder / "copied.mkv";
  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  engine.Reset();
  ASSERT_TRUE(engine.OpenInputFile(input)) << engine.LastError;
  engine.SetVideoCodec("copy");
  engine.SetAudioCodec("copy");
  ASSERT_TRUE(engine.OpenOutputFile(output)) << engine.LastError;
  ASSERT_TRUE(RunHere(engine)) << record.AllLines();
  EXPECT_TRUE(engine.Finished);
  const FileInfo info = Probe(output);
  ASSERT_EQ(info.Count(AVMEDIA_TYPE_VIDEO), 1);
  EXPECT_EQ(info.First(AVMEDIA_TYPE_VIDEO)->codecId, AV_CODEC_ID_MPEG4);
  EXPECT_EQ(info.First(AVMEDIA_TYPE_VIDEO)->width, 320);
  EXPECT_NEAR(info.duration, 2.0, 0.2);
  EXPECT_NEAR(DominantFrequency(DecodeAudio(output)), ToneHz, ToneHz * 0.01);
  // With video output, frames are counted.
  ASSERT_FALSE(record.progress.empty());
  EXPECT_GE(record.progress.back().frameNumber, 45);
}

}  // namespace
