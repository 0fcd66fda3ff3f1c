// The order in which the option records reach an engine, observed through a
// stand-in engine that records every setter call.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "converter/OptionApplication.h"

namespace {

struct RecordingEngine {
  std::vector<std::string> calls;
  int AudioDisable = 0, VideoDisable = 0, SubtitleDisable = 0;
  std::string AudioLanguage = "old", SubtitleLanguage = "old";
  unsigned char CopyTimestamps = 7;

  void Call(const std::string& name, const std::string& value) {
    calls.push_back(name + "(" + value + ")");
  }
  void Call(const std::string& name, double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    Call(name, std::string(text));
  }
  bool SetLibraryOption(const std::string& name, const std::string& value) {
    Call("opt:" + name, value);
    return true;
  }
  void SetInputFormat(const std::string& v) { Call("InputFormat", v); }
  void SetOutputFormat(const std::string& v) { Call("OutputFormat", v); }
  void SetMuxMaxDelay(float v) { Call("MuxMaxDelay", v); }
  void SetMuxPreload(float v) { Call("MuxPreload", v); }
  void SetAudioCodec(const std::string& v) { Call("AudioCodec", v); }
  void SetAudioVolume(int v) { Call("AudioVolume", v); }
  void SetAudioChannels(int v) { Call("AudioChannels", v); }
  void SetAudioSampleRate(int v) { Call("AudioSampleRate", v); }
  void SetVideoCodec(const std::string& v) { Call("VideoCodec", v); }
  void SetFrameRate(const std::string& v) { Call("FrameRate", v); }
  void SetFrameSize(const std::string& v) { Call("FrameSize", v); }
  void SetAspectRatio(const std::string& v) { Call("AspectRatio", v); }
  void SetCropTop(int v) { Call("CropTop", v); }
  void SetCropBottom(int v) { Call("CropBottom", v); }
  void SetCropLeft(int v) { Call("CropLeft", v); }
  void SetCropRight(int v) { Call("CropRight", v); }
  void SetPadTop(int v) { Call("PadTop", v); }
  void SetPadBottom(int v) { Call("PadBottom", v); }
  void SetPadLeft(int v) { Call("PadLeft", v); }
  void SetPadRight(int v) { Call("PadRight", v); }
  void SetPadColor(uint32_t v) { Call("PadColor", v); }
  void SetStartTime(int v) { Call("StartTime", v); }
  void SetDuration(int v) { Call("Duration", v); }
  void SetRecTimestamp(int64_t v) { Call("RecTimestamp", static_cast<double>(v)); }
  void SetYear(int v) { Call("Year", v); }
  void SetTrack(int v) { Call("Track", v); }
  void SetTitle(const std::string& v) { Call("Title", v); }
  void SetAuthor(const std::string& v) { Call("Author", v); }
  void SetCopyright(const std::string& v) { Call("Copyright", v); }
  void SetComment(const std::string& v) { Call("Comment", v); }
  void SetAlbum(const std::string& v) { Call("Album", v); }
  void SetGenre(const std::string& v) { Call("Genre", v); }
  void SetTarget(const std::string& t, const std::string& n, const std::string& f) {
    Call("Target", t + "," + n + "," + f);
  }
};

TOutputOptions EveryFieldSet() {
  TOutputOptions o;
  o.OutputFormat = "mp3";
  o.PacketSize = 2048;
  o.MuxRate = 10080000;
  o.MaxDelay = 0.25f;
  o.Preload = 0.5f;
  o.AudioCodec = "libmp3lame";
  o.DisableAudio = -1;
  o.AudioVolume = 512;
  o.AudioChannels = 1;
  o.AudioSampleRate = 22050;
  o.AudioBitrate = 128000;
  o.AudioBitrateTolerance = 4000;
  o.AudioLanguage = "eng";
  o.VideoCodec = "mpeg4";
  o.DisableVideo = -1;
  o.FrameRate = "25";
  o.FrameSize = "352x288";
  o.FrameAspectRatio = "4:3";
  o.CropTop = 2;
  o.CropBottom = 4;
  o.CropLeft = 6;
  o.CropRight = 8;
  o.PadTop = 10;
  o.PadBottom = 12;
  o.PadLeft = 14;
  o.PadRight = 16;
  o.PadColor = 0x0000FF;
  o.GOPSize = 12;
  o.VideoBitrate = 500000;
  o.VideoMaxRate = 600000;
  o.VideoMinRate = 400000;
  o.VideoBitrateTolerance = 1000;
  o.VideoBufSize = 2000;
  o.DisableSubtitle = 1;
  o.SubtitleLanguage = "fra";
  o.CopyTimestamps = -1;
  o.StartTime = 1000;
  o.Duration = 2000;
  o.Timestamp = 1234;
  o.Year = 2008;
  o.Track = 3;
  SetCharArray(o.Title, "T");
  SetCharArray(o.Author, "A");
  SetCharArray(o.Copyright, "C");
  SetCharArray(o.Comment, "K");
  SetCharArray(o.Album, "L");
  SetCharArray(o.Genre, "G");
  o.TargetType = 3;
  o.TargetNorm = 2;
  o.TargetFallbackNorm = 1;
  o.ExtraOptions = "ab=64000\nar=8000";
  return o;
}

}  // namespace

TEST(ConverterOutputOptions, ExtraOptionsThenFieldsInRecordOrderThenPreset) {
  RecordingEngine engine;
  ApplyOutputOptions(engine, EveryFieldSet());
  const std::vector<std::string> expected = {"opt:ab(64000)",
                                             "opt:ar(8000)",
                                             "OutputFormat(mp3)",
                                             "opt:packetsize(2048)",
                                             "opt:muxrate(10080000)",
                                             "MuxMaxDelay(0.25)",
                                             "MuxPreload(0.5)",
                                             "AudioCodec(libmp3lame)",
                                             "AudioVolume(512)",
                                             "AudioChannels(1)",
                                             "AudioSampleRate(22050)",
                                             "opt:ab(128000)",
                                             "opt:abt(4000)",
                                             "VideoCodec(mpeg4)",
                                             "FrameRate(25)",
                                             "FrameSize(352x288)",
                                             "AspectRatio(4:3)",
                                             "CropTop(2)",
                                             "CropBottom(4)",
                                             "CropLeft(6)",
                                             "CropRight(8)",
                                             "PadTop(10)",
                                             "PadBottom(12)",
                                             "PadLeft(14)",
                                             "PadRight(16)",
                                             "PadColor(255)",
                                             "opt:gop(12)",
                                             "opt:vb(500000)",
                                             "opt:maxrate(600000)",
                                             "opt:minrate(400000)",
                                             "opt:bt(1000)",
                                             "opt:bufsize(2000)",
                                             "StartTime(1000)",
                                             "Duration(2000)",
                                             "RecTimestamp(1234)",
                                             "Year(2008)",
                                             "Track(3)",
                                             "Title(T)",
                                             "Author(A)",
                                             "Copyright(C)",
                                             "Comment(K)",
                                             "Album(L)",
                                             "Genre(G)",
                                             "Target(dvd,ntsc,pal)"};
  EXPECT_EQ(engine.calls, expected);
  EXPECT_EQ(engine.AudioDisable, 1);
  EXPECT_EQ(engine.VideoDisable, 1);
  EXPECT_EQ(engine.SubtitleDisable, 1);
  EXPECT_EQ(engine.AudioLanguage, "eng");
  EXPECT_EQ(engine.SubtitleLanguage, "fra");
  EXPECT_EQ(engine.CopyTimestamps, 1);
}

TEST(ConverterOutputOptions, DefaultRecordPassesOnlyUnsetValuesAndTheUnconditionalFields) {
  RecordingEngine engine;
  engine.AudioDisable = engine.VideoDisable = engine.SubtitleDisable = 1;  // an earlier output's
  TOutputOptions defaults;
  defaults.PacketSize = 5;  // dirty the record, then reset it
  SetCharArray(defaults.Title, "x");
  ResetOutputOptions(defaults);
  ApplyOutputOptions(engine, defaults);
  // No library option and no preset; every setter receives its "not set" value.
  for (const std::string& call : engine.calls) {
    EXPECT_EQ(call.rfind("opt:", 0), std::string::npos) << call;
    EXPECT_EQ(call.rfind("Target", 0), std::string::npos) << call;
  }
  EXPECT_NE(std::find(engine.calls.begin(), engine.calls.end(), "Title()"), engine.calls.end());
  EXPECT_NE(std::find(engine.calls.begin(), engine.calls.end(), "PadColor(0)"), engine.calls.end());
  EXPECT_EQ(engine.AudioLanguage, "");
  EXPECT_EQ(engine.SubtitleLanguage, "");
  EXPECT_EQ(engine.CopyTimestamps, 0);
  // A false disable flag does not undo an earlier output's.
  EXPECT_EQ(engine.AudioDisable, 1);
  EXPECT_EQ(engine.VideoDisable, 1);
  EXPECT_EQ(engine.SubtitleDisable, 1);
}

TEST(ConverterOutputOptions, TargetPresetNames) {
  struct Case {
    int type, norm, fallback;
    const char* expected;  // nullptr: no preset
  } cases[] = {
      {1, 0, 1, "vcd,auto,pal"},    {2, 7, 0, "svcd,auto,ntsc"}, {3, 1, 2, "dvd,pal,ntsc"},
      {2, 2, -1, "svcd,ntsc,ntsc"}, {4, 3, 1, "dv,film,pal"},    {0, 1, 1, nullptr},
      {5, 1, 1, nullptr},           {-1, 1, 1, nullptr},
  };
  for (const Case& c : cases) {
    RecordingEngine engine;
    TOutputOptions o;
    o.TargetType = c.type;
    o.TargetNorm = c.norm;
    o.TargetFallbackNorm = c.fallback;
    ApplyOutputOptions(engine, o);
    const std::string last = engine.calls.back();
    if (c.expected)
      EXPECT_EQ(last, std::string("Target(") + c.expected + ")") << c.type;
    else
      EXPECT_EQ(last.rfind("Target", 0), std::string::npos) << c.type;
  }
}

TEST(ConverterOutputOptions, FullCharacterArraysPassEveryCharacter) {
  RecordingEngine engine;
  TOutputOptions o;
  std::fill(std::begin(o.Title), std::end(o.Title), 'x');  // no terminating zero
  std::fill(std::begin(o.Genre), std::end(o.Genre), 'g');
  ApplyOutputOptions(engine, o);
  EXPECT_NE(
      std::find(engine.calls.begin(), engine.calls.end(), "Title(" + std::string(512, 'x') + ")"),
      engine.calls.end());
  EXPECT_NE(
      std::find(engine.calls.begin(), engine.calls.end(), "Genre(" + std::string(32, 'g') + ")"),
      engine.calls.end());
}

TEST(ConverterExtraOptions, LinesAreSplitTrimmedAndPassedAsNameAndValue) {
  struct Case {
    const char* text;
    std::vector<std::string> calls;
  } cases[] = {
      {"", {}},
      {" \t\r\n ", {}},
      {"ab=64000", {"opt:ab(64000)"}},
      {"\n  ab=1\r\nar=2\rac=3\n\t", {"opt:ab(1)", "opt:ar(2)", "opt:ac(3)"}},
      // Inner blanks and empty lines reach the setter, which ignores them.
      {"novalue\nname=\n\n =x\nb= 5",
       {"opt:novalue()", "opt:name()", "opt:()", "opt: (x)", "opt:b( 5)"}},
      {"a=b=c", {"opt:a(b=c)"}},
  };
  for (const Case& c : cases) {
    RecordingEngine engine;
    ApplyExtraOptions(engine, c.text);
    EXPECT_EQ(engine.calls, c.calls) << c.text;
  }
}

TEST(ConverterInputOptions, ExtraOptionsThenForcedFormat) {
  RecordingEngine engine;
  ApplyInputOptions(engine, TInputOptions{"in.dat", "mpeg", "probesize=5000000"});
  EXPECT_EQ(engine.calls,
            (std::vector<std::string>{"opt:probesize(5000000)", "InputFormat(mpeg)"}));
}

TEST(ConverterPadColour, SystemColoursResolveToPlainRgb) {
  EXPECT_EQ(ColorToRGB(0x00123456), 0x00123456u);
  EXPECT_EQ(ColorToRGB(0x02123456), 0x00123456u);  // palette hint dropped
  EXPECT_EQ(ColorToRGB(0xFF000005), 0x00FFFFFFu);  // window background: white
  EXPECT_EQ(ColorToRGB(0xFF000008), 0x00000000u);  // window text: black
  EXPECT_EQ(ColorToRGB(0xFF0000EE), 0x00000000u);  // no such system colour
}
