// The component's own bookkeeping: properties, loading, adding inputs and
// outputs and how their failures are reported, and how the records reach a
// real engine.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "converter/OptionApplication.h"
#include "converter/VeltoConverter.h"
#include "engine/FFmpegHlpr.h"
#include "medialib/LibrarySearch.h"
#include "medialib/MediaLibraries.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace {

std::string Contents(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

class ConverterWithInput : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(converter.LoadLibraries("", true)) << converter.LastError();
    MediaFixtures::MakeWav(wav, 44100, 2, 0.5, 440);
  }
  TempFolder folder;
  const std::string wav = folder / "tone.wav";
  TVeltoConverter converter;
};

}  // namespace

TEST(ConverterProperties, DefaultsAndProgressIntervalFloor) {
  TVeltoConverter converter;
  EXPECT_EQ(converter.LogLevel(), llInfo);
  EXPECT_EQ(converter.ProgressInterval(), 500);
  EXPECT_EQ(converter.RealVideo34Codec(), rvFFmpeg);
  EXPECT_EQ(converter.ThreadPriority(), tpNormal);
  EXPECT_EQ(converter.TaskCount(), 0);
  EXPECT_EQ(converter.LastError(), "");
  struct Case {
    int written, read;
  } cases[] = {{50, 100}, {100, 100}, {101, 101}, {-5, 100}, {0, 100}, {2000, 2000}};
  for (const Case& c : cases) {
    converter.SetProgressInterval(c.written);
    EXPECT_EQ(converter.ProgressInterval(), c.read) << c.written;
  }
}

TEST(ConverterStart, WithoutTasksNothingStartsAndNothingIsRaised) {
  int argc = 0;
  QCoreApplication app(argc, nullptr);
  TVeltoConverter converter;
  int terminates = 0;
  converter.OnTerminate = [&](int, bool) { ++terminates; };
  for (int concurrency : {1, 2, 0, -1}) converter.Start(concurrency);
  QTimer::singleShot(400, &app, &QCoreApplication::quit);  // past the 100 ms start timer
  app.exec();
  EXPECT_EQ(terminates, 0);
}

TEST(ConverterLoad, FailureReportsTheLoadersMessageAndAddInputStaysSafe) {
  LibrarySearch::SetFolderOnly(true);
  TVeltoConverter converter;
  EXPECT_FALSE(converter.LoadLibraries("/nonexistent-melvaro-lib", true));
  EXPECT_EQ(converter.LastError(), MediaLibraryError);
  EXPECT_EQ(converter.LastError().rfind("Load libraray ", 0), 0u) << converter.LastError();
  // Without libraries an input cannot even be probed: a failure, not a crash.
  EXPECT_EQ(converter.AddInput("/nonexistent.wav"), -1);
  EXPECT_FALSE(converter.LastError().empty());
  EXPECT_EQ(converter.TaskCount(), 0);
}

TEST_F(ConverterWithInput, AddInputFailuresReachLastErrorAndLeaveNoTask) {
  const std::string missing = folder / "missing.wav";
  std::mutex lock;
  TCustomFFmpegHlpr engine(lock);
  engine.Reset();
  ASSERT_FALSE(engine.OpenInputFile(missing));
  const std::string openMessage = engine.LastError;

  struct Case {
    std::string file;
    std::string forceFormat;
    std::string message;
  } cases[] = {
      {missing, "", openMessage},
      {wav, "nonesuch", "Unknown input format: nonesuch"},
  };
  for (const Case& c : cases) {
    TInputOptions options{c.file, c.forceFormat, ""};
    EXPECT_EQ(converter.AddInput(c.file, options), -1) << c.file;
    EXPECT_EQ(converter.LastError(), c.message);
  }
  EXPECT_EQ(converter.TaskCount(), 0);

  ASSERT_EQ(converter.AddInput(wav), 0) << converter.LastError();
  ASSERT_EQ(converter.AddInput(wav, TInputOptions{wav, "wav", "probesize=50000\nnonsense"}), 1)
      << converter.LastError();
  const TInputDescription& input = converter.TaskDescription(1);
  EXPECT_EQ(input.Path, wav);
  EXPECT_EQ(input.Size, static_cast<int64_t>(std::filesystem::file_size(wav)));
  EXPECT_GT(input.DurationMs, 0);
  EXPECT_EQ(converter.TaskResult(1).State, TTaskState::tsWaiting);
  EXPECT_THROW(converter.TaskDescription(2), std::out_of_range);
  EXPECT_THROW(converter.TaskResult(-1), std::out_of_range);
}

TEST_F(ConverterWithInput, AddOutputFailuresReachLastErrorAndKeepTheTask) {
  ASSERT_EQ(converter.AddInput(wav), 0);
  EXPECT_THROW(converter.AddOutput(1, folder / "x.mp3"), std::out_of_range);

  const std::string wavBytes = Contents(wav);
  struct Case {
    std::string file;
    void (*edit)(TOutputOptions&);
    std::string message;
  } cases[] = {
      {folder / "a.mp3", [](TOutputOptions& o) { o.OutputFormat = "nonesuch"; },
       "Unknown output format: nonesuch"},
      {folder / "b.mp3", [](TOutputOptions& o) { o.FrameSize = "351x288"; },
       "Frame size must be a multiple of 2"},
      {folder / "c.mp3", [](TOutputOptions& o) { o.PadTop = 3; },
       "Top pad size must be a multiple of 2"},
      {wav, [](TOutputOptions& o) { o.AudioCodec = "libmp3lame"; },
       "Output file is one of the input files: " + wav},
  };
  for (const Case& c : cases) {
    TOutputOptions options;
    c.edit(options);
    EXPECT_FALSE(converter.AddOutput(0, c.file, options)) << c.message;
    EXPECT_EQ(converter.LastError(), c.message);
    EXPECT_FALSE(std::filesystem::exists(c.file) && c.file != wav) << c.file;
  }
  EXPECT_EQ(Contents(wav), wavBytes);  // the input was not touched
  EXPECT_EQ(converter.TaskCount(), 1);

  // A second task may not write where the first one does.
  const std::string taken = folder / "taken.mp3";
  ASSERT_TRUE(converter.AddOutput(0, taken)) << converter.LastError();
  ASSERT_EQ(converter.AddInput(wav), 1);
  EXPECT_FALSE(converter.AddOutput(1, taken));
  EXPECT_EQ(converter.LastError(), "Output file is already an output of this batch: " + taken);

  converter.ClearTasks();
  EXPECT_EQ(converter.TaskCount(), 0);
  EXPECT_EQ(converter.LastError(), "");
  EXPECT_FALSE(std::filesystem::exists(taken));  // never written: removed with its task
}

// The records through a real engine: later steps win over earlier ones.
class ConverterRecordsOnEngine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(LoadMediaLibraries("", true)) << MediaLibraryError;
    engine.Reset();
  }
  std::mutex lock;
  TCustomFFmpegHlpr engine{lock};
};

TEST_F(ConverterRecordsOnEngine, FieldsWinOverExtraOptionsAndThePresetWinsOverFields) {
  TOutputOptions options;
  options.ExtraOptions = "ab=64000\r\nar=8000";
  options.AudioBitrate = 128000;
  ApplyOutputOptions(engine, options);
  EXPECT_EQ(engine.CodecOptions[AVMEDIA_TYPE_AUDIO]->bit_rate, 128000);

  options.AudioSampleRate = 22050;
  options.TargetType = 3;  // dvd: 48000 Hz
  options.TargetNorm = 1;
  ApplyOutputOptions(engine, options);
  EXPECT_EQ(engine.AudioSampleRate, 48000);
}

TEST_F(ConverterRecordsOnEngine, DefaultRecordChangesOnlyTheUnconditionalFields) {
  engine.AudioLanguage = "eng";
  engine.SubtitleLanguage = "fra";
  engine.CopyTimestamps = 1;
  engine.VideoDisable = 1;
  engine.SetPadColor(0xFFFFFF);
  engine.SetAudioSampleRate(22050);
  engine.SetTitle("kept");
  const size_t recorded = engine.OptionNames.size();

  TOutputOptions defaults;
  ResetOutputOptions(defaults);
  ApplyOutputOptions(engine, defaults);

  EXPECT_EQ(engine.AudioLanguage, "");
  EXPECT_EQ(engine.SubtitleLanguage, "");
  EXPECT_EQ(engine.CopyTimestamps, 0);
  EXPECT_EQ(engine.PadColor[0], 0);  // black
  EXPECT_EQ(engine.PadColor[1], 128);
  EXPECT_EQ(engine.PadColor[2], 128);
  EXPECT_EQ(engine.VideoDisable, 1);  // not cleared by a false flag
  EXPECT_EQ(engine.AudioSampleRate, 22050);
  EXPECT_EQ(engine.Title, "kept");
  EXPECT_EQ(engine.MuxPreload, 0.5f);
  EXPECT_EQ(engine.RecTimestamp, 0);
  EXPECT_EQ(engine.OptionNames.size(), recorded);
}

TEST_F(ConverterRecordsOnEngine, AFailingFieldStopsTheRestButKeepsWhatCameBefore) {
  TOutputOptions options;
  options.AudioSampleRate = 32000;  // before the failing field
  options.FrameRate = "fast";       // fails
  options.Year = 1999;              // after it
  try {
    ApplyOutputOptions(engine, options);
    FAIL() << "no error raised";
  } catch (const FFMpegException& error) {
    EXPECT_STREQ(error.what(), "Incorrect frame rate");
  }
  EXPECT_EQ(engine.AudioSampleRate, 32000);
  EXPECT_EQ(engine.Year, 0);
}
