// Every output format end to end through melvaro-convert, which fills its
// records through the preset module the window uses too: codec, rate,
// channels, bit rate, duration, tone, tags and cover of each written file;
// and the choices that are refused before anything is written.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "converter/OutputPresets.h"
#include "tests/converter/ProgramRun.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

extern "C" {
#include <libavutil/avutil.h>
}

namespace fs = std::filesystem;
using namespace MediaFixtures;

namespace {

constexpr double Seconds = 2.0;
constexpr double ToneHz = 440;

const std::map<std::string, std::string> SourceTags = {
    {"title", "A Title"},
    {"artist", "An Artist"},
    {"album", "An Album"},
    {"album_artist", "Various"},
    {"date", "2003"},
    {"track", "3/12"},
    {"disc", "1/2"},
    {"genre", "Ambient"},
    {"comment", "A comment"},
    {"composer", "A Composer"},
    {"copyright", "(c) Nobody"},
};

// The tag as the file states it, from the container or its audio stream.
std::string TagOf(const FileInfo& info, const std::string& key) {
  for (const auto* tags : {&info.tags, &info.First(AVMEDIA_TYPE_AUDIO)->tags})
    for (const auto& [name, value] : *tags) {
      std::string lower = name;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (lower == key) return value;
    }
  return {};
}

class Formats : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = new TempFolder;
    source = *folder / "source.flac";
    AudioExtras extras;
    extras.tags = SourceTags;
    extras.cover = true;
    extras.bits = 24;
    extras.noise = 0.1;
    MakeAudio(source, AudioFormat::Flac, 44100, 2, Seconds, ToneHz, extras);
  }
  static void TearDownTestSuite() { delete folder; }
  static TempFolder* folder;
  static std::string source;
};
TempFolder* Formats::folder = nullptr;
std::string Formats::source;

}  // namespace

TEST_F(Formats, EachFormatIsWhatWasChosen) {
  struct Case {
    std::vector<std::string> args;
    const char* extension;
    const char* codec;
    int rate, channels;
    int kbits;  // bit rate within 10 %; 0 for a quality level
    int bits;   // stated sample depth; 0 unchecked
    bool cover;
  } cases[] = {
      {{}, ".mp3", "mp3", 44100, 2, 128, 0, true},
      {{"-f", "mp3", "-b", "320", "--rate", "48000", "--channels", "1"},
       ".mp3",
       "mp3",
       48000,
       1,
       320,
       0,
       true},
      {{"-f", "mp3", "-q", "2", "--rate", "keep", "--channels", "keep"},
       ".mp3",
       "mp3",
       44100,
       2,
       0,
       0,
       true},
      {{"-f", "ogg", "-q", "6", "--channels", "1"}, ".ogg", "vorbis", 44100, 1, 0, 0, true},
      {{"-f", "opus", "-b", "96"}, ".opus", "opus", 48000, 2, 96, 0, true},
      {{"-f", "m4a", "-b", "160", "--rate", "48000"}, ".m4a", "aac", 48000, 2, 160, 0, true},
      {{"-f", "flac"}, ".flac", "flac", 44100, 2, 0, 24, true},
      {{"-f", "flac", "-q", "8", "--rate", "22050", "--channels", "1"},
       ".flac",
       "flac",
       22050,
       1,
       0,
       24,
       true},
      {{"-f", "wav"}, ".wav", "pcm_s16le", 44100, 2, 1411, 16, false},
      {{"-f", "wav", "-q", "24", "--channels", "1"},
       ".wav",
       "pcm_s24le",
       44100,
       1,
       1058,
       24,
       false},
  };
  int n = 0;
  for (const Case& c : cases) {
    const std::string out = *folder / ("out" + std::to_string(++n));
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"-o", out, source});
    std::string what;
    for (const std::string& arg : c.args) what += arg + " ";
    SCOPED_TRACE(what);
    const Result run = RunProgram(args);
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string written = out + "/source" + c.extension;
    ASSERT_TRUE(fs::exists(written)) << run.output;

    const FileInfo info = Probe(written);
    const StreamInfo* audio = info.First(AVMEDIA_TYPE_AUDIO);
    ASSERT_NE(audio, nullptr);
    EXPECT_EQ(audio->codecName, c.codec);
    EXPECT_EQ(audio->sampleRate, c.rate);
    EXPECT_EQ(audio->channels, c.channels);
    if (c.bits) {
      EXPECT_EQ(audio->bitsPerSample, c.bits);
    }
    EXPECT_NEAR(info.duration, Seconds, 0.1);
    if (c.kbits) {
      const double kbits = audio->bitRate > 0 ? audio->bitRate / 1000.0
                                              : fs::file_size(written) * 8 / info.duration / 1000.0;
      EXPECT_NEAR(kbits, c.kbits, c.kbits * 0.1);
    }
    const DecodedAudio decoded = DecodeAudio(written);
    for (int channel = 0; channel < c.channels; ++channel)
      EXPECT_NEAR(DominantFrequency(decoded, channel), ToneHz, ToneHz * 0.02);

    for (const auto& [key, value] : SourceTags)
      if (std::string(c.extension) != ".wav" || key == "title" || key == "artist") {
        EXPECT_EQ(TagOf(info, key), value) << key;
      }
    const StreamInfo* picture = info.First(AVMEDIA_TYPE_VIDEO);
    EXPECT_EQ(picture != nullptr && picture->attachedPicture, c.cover);
    EXPECT_EQ(info.Count(AVMEDIA_TYPE_VIDEO), c.cover ? 1 : 0);
  }
}

TEST_F(Formats, TwentyFourBitFlacStaysSampleIdentical) {
  const std::string out = *folder / "lossless";
  const Result run = RunProgram({"-f", "flac", "-o", out, source});
  ASSERT_EQ(run.status, 0) << run.output;
  const std::vector<int32_t> original = DecodeSamples32(source);
  const std::vector<int32_t> copy = DecodeSamples32(out + "/source.flac");
  ASSERT_EQ(copy.size(), original.size());
  EXPECT_TRUE(copy == original);
  // Some of the low 8 bits are in use: the depth was not cut to 16 on the way.
  bool deep = false;
  for (int32_t sample : copy) deep = deep || (sample & 0xFF00) != 0;
  EXPECT_TRUE(deep);
}

TEST_F(Formats, AFloatSourceReachesFlacWithMoreThanSixteenBits) {
  const std::string vorbis = *folder / "float.ogg";
  MakeAudio(vorbis, AudioFormat::Vorbis, 44100, 2, Seconds, ToneHz);
  const std::string out = *folder / "fromfloat";
  const Result run = RunProgram({"-f", "flac", "-o", out, vorbis});
  ASSERT_EQ(run.status, 0) << run.output;
  EXPECT_EQ(Probe(out + "/float.flac").First(AVMEDIA_TYPE_AUDIO)->bitsPerSample, 24);
  bool deep = false;
  for (int32_t sample : DecodeSamples32(out + "/float.flac")) deep = deep || (sample & 0xFF00) != 0;
  EXPECT_TRUE(deep);
}

// Non-finite and wild samples of a float source are replaced on the way into
// every encoder (libmp3lame aborted the process on them), and counted; overs
// a little above full scale are clipped without a count.
TEST_F(Formats, InvalidFloatSamplesAreReplacedAndCounted) {
  const int rate = 44100;
  std::vector<float> tone(static_cast<size_t>(rate) * 2);  // 1 s stereo
  for (size_t i = 0; i < tone.size(); ++i)
    tone[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * ToneHz * double(i / 2) / rate));
  std::vector<float> damaged = tone;
  const float inf = std::numeric_limits<float>::infinity();
  const float wild[] = {std::nanf(""), inf, -inf, 1e30f, -3e9f, 17.0f, std::nanf("")};
  for (size_t k = 0; k < 7 * 40; ++k) damaged[1000 + k * 301] = wild[k % 7];
  std::vector<float> overs = tone;
  for (size_t k = 0; k < 50; ++k) overs[500 + k * 777] = 1.5f;
  MakeFloatWav(*folder / "damaged.wav", rate, 2, damaged);
  MakeFloatWav(*folder / "overs.wav", rate, 2, overs);

  struct Case {
    const char* input;
    const char* format;
    const char* extension;
    int status;
  } cases[] = {
      {"damaged", "mp3", ".mp3", 3}, {"damaged", "ogg", ".ogg", 3},
      {"damaged", "opus", ".opus", 3}, {"damaged", "m4a", ".m4a", 3},
      {"damaged", "flac", ".flac", 3}, {"damaged", "wav", ".wav", 3},
      {"overs", "mp3", ".mp3", 0},    {"overs", "m4a", ".m4a", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.input) + " to " + c.format);
    const std::string out = *folder / (std::string("repaired-") + c.input + "-" + c.format);
    const Result run = RunProgram({"-f", c.format, "-o", out, *folder / (std::string(c.input) + ".wav")});
    EXPECT_EQ(run.status, c.status) << run.output;
    const bool counted = run.output.find("280 invalid samples replaced") != std::string::npos;
    EXPECT_EQ(counted, c.status == 3) << run.output;
    const std::string written = out + "/" + c.input + c.extension;
    ASSERT_TRUE(fs::exists(written)) << run.output;
    const DecodedAudio decoded = DecodeAudio(written);
    EXPECT_NEAR(decoded.Seconds(), 1.0, 0.1);
    // The tone came through; the repaired spikes upset a zero-crossing count,
    // not the level.
    EXPECT_NEAR(Rms(decoded), 0.5 / std::sqrt(2.0), 0.05);
  }
}

TEST_F(Formats, ImpossibleChoicesAreRefusedBeforeAnyFileIsWritten) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{"-f", "opus", "--rate", "44100"}, "Opus is always 48000 Hz"},
      {{"-f", "flac", "-b", "320"}, "FLAC has no bit rate"},
      {{"-f", "ogg", "-b", "128"}, "Ogg Vorbis has no bit rate"},
      {{"-f", "wav", "-q", "20"}, "16 or 24"},
      {{"-f", "mp3", "-b", "100"}, "MP3 takes 64, 80"},
      {{"-f", "mp3", "-b", "128", "-q", "2"}, "not both"},
      {{"-f", "mp3", "-q", "10"}, "V0 (best) to V9"},
      {{"-f", "mp3", "--rate", "96000"}, "MP3 takes 8000"},
      {{"-f", "m4a", "-q", "3"}, "choose its bit rate"},
      {{"--channels", "6"}, "channels are 1, 2 or keep"},
      {{"-f", "aiff"}, "-f wants mp3"},
      {{"--rate", "fast"}, "--rate wants a positive number or \"keep\""},
      {{"-b", "0"}, "-b wants a positive number"},
      {{"--target", "dvd", "-f", "mp3"}, "cannot go with it"},
      {{"--target", "secam-dvd"}, "--target wants vcd"},
  };
  for (const Case& c : cases) {
    const std::string out = *folder / "refused";
    std::vector<std::string> args = c.args;
    args.insert(args.end(), {"-o", out, source});
    const Result run = RunProgram(args);
    EXPECT_EQ(run.status, 2) << c.says;
    EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
    EXPECT_FALSE(fs::exists(out)) << c.says;
  }
}

TEST(OutputPresets, DefaultsAreAcceptedAndFillTheRecord) {
  for (const FormatDescription& d : OutputFormats()) {
    const OutputChoice choice = DefaultChoice(d.Format);
    EXPECT_EQ(CheckChoice(choice), "") << d.Name;
    TOutputOptions options;
    FillOutputOptions(choice, options);
    EXPECT_EQ(options.FileExt, d.Extension);
    EXPECT_NE(options.AudioCodec, "");
    EXPECT_NE(options.DisableVideo, 0);
  }
  TOutputOptions mp3;
  FillOutputOptions(DefaultChoice(OutputFormat::Mp3), mp3);
  EXPECT_EQ(mp3.AudioCodec, "libmp3lame");
  EXPECT_EQ(mp3.AudioBitrate, 128000);
  EXPECT_EQ(mp3.AudioSampleRate, 44100);
  EXPECT_EQ(mp3.AudioChannels, 2);
  EXPECT_EQ(InputOptionsFor("/a/B.DAT").ForceFormat, "mpeg");
  EXPECT_EQ(InputOptionsFor("/a.dat/b").ForceFormat, "");
}

TEST_F(Formats, VideoTargetsWriteTheirContainer) {
  const std::string clip = *folder / "clip.avi";
  VideoClip video;
  video.seconds = 1;
  MakeVideo(clip, video);
  struct Case {
    const char* target;
    const char* extension;
    const char* codec;
    int width, height;
  } cases[] = {
      {"pal-vcd", ".mpg", "mpeg1video", 352, 288},
      {"ntsc-dv", ".dv", "dvvideo", 720, 480},
  };
  for (const Case& c : cases) {
    const std::string out = *folder / c.target;
    const Result run = RunProgram({"--target", c.target, "-o", out, clip});
    ASSERT_EQ(run.status, 0) << run.output;
    const FileInfo info = Probe(out + "/clip" + c.extension);
    const StreamInfo* picture = info.First(AVMEDIA_TYPE_VIDEO);
    ASSERT_NE(picture, nullptr) << c.target;
    EXPECT_EQ(picture->codecName, c.codec);
    EXPECT_EQ(picture->width, c.width);
    EXPECT_EQ(picture->height, c.height);
    EXPECT_NE(info.First(AVMEDIA_TYPE_AUDIO), nullptr) << c.target;
    EXPECT_NEAR(info.duration, video.seconds, 0.15) << c.target;
  }
}
