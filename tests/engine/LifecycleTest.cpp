#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "engine/FFmpegHlpr.h"
#include "medialib/MediaLibraries.h"

namespace {

struct HookRecord {
  int terminates = 0;
  std::vector<std::string> lines;
};

void RecordTerminate(void* data, TCustomFFmpegHlpr*) {
  ++static_cast<HookRecord*>(data)->terminates;
}

void RecordLog(void* data, TCustomFFmpegHlpr*, int, const std::string& text) {
  static_cast<HookRecord*>(data)->lines.push_back(text);
}

class EngineLifecycle : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(LoadMediaLibraries("", true)) << MediaLibraryError; }
  std::mutex lock;
  HookRecord record;
  void Hook(TCustomFFmpegHlpr& engine) {
    engine.TerminateHook = {RecordTerminate, &record};
    engine.LogHook = {RecordLog, &record};
  }
};

}  // namespace

TEST(EngineWithoutLibraries, ResetAndCleanupDoNothing) {
  ASSERT_FALSE(MediaLibrariesLoaded);
  std::mutex lock;
  {
    TCustomFFmpegHlpr engine(lock);
    engine.Reset();
    for (const auto& context : engine.CodecOptions) EXPECT_EQ(context, nullptr);
    EXPECT_EQ(engine.FormatOptions, nullptr);
    EXPECT_EQ(engine.ScalerOptions, nullptr);
    engine.Cleanup();
    EXPECT_EQ(engine.TotalDuration, -1);
    EXPECT_FALSE(engine.Running);
    EXPECT_FALSE(engine.StopRequested);
  }  // destroying an idle engine is harmless too
}

TEST_F(EngineLifecycle, ResetMakesOptionContextsFromTheLibraries) {
  TCustomFFmpegHlpr engine(lock);
  EXPECT_EQ(engine.ReportInterval, 500000);
  EXPECT_EQ(engine.BitBufferSize, 262144);
  engine.Reset();
  for (int type = 0; type < AVMEDIA_TYPE_NB; ++type) {
    ASSERT_NE(engine.CodecOptions[type], nullptr);
    EXPECT_EQ(engine.CodecOptions[type]->codec_type, type);
  }
  EXPECT_NE(engine.FormatOptions, nullptr);
  EXPECT_NE(engine.ScalerOptions, nullptr);
  engine.Reset();  // a second reset frees the first contexts (ASan checks)
  engine.Cleanup();
  EXPECT_EQ(engine.FormatOptions, nullptr);
}

TEST_F(EngineLifecycle, CleanupKeepsTheOptionsAndResetRestoresEveryGroup) {
  TCustomFFmpegHlpr engine(lock);
  const TCustomFFmpegHlpr fresh(lock);
  engine.Reset();
  // One field or more of every option group, and the run statistics.
  engine.PgmYuvCompatibility = 1;
  engine.FrameWidth = 320;
  engine.PadColor[0] = 1;
  engine.VideoQDiff = 7;
  engine.IntraMatrix = {1, 2};
  engine.AudioSampleRate = 8000;
  engine.AudioLanguage = "eng";
  engine.MuxPreload = 2;
  engine.VideoStandard = "ntsc";
  engine.Title = "title";
  engine.Year = 1999;
  engine.Verbose = 2;
  engine.OptionNames = {"b"};
  engine.AudioBitstreamFilters = {"aac_adtstoasc"};
  engine.VideoBytes = 5;
  engine.BitBufferSize = 1;

  engine.Cleanup();  // files and library objects only
  EXPECT_EQ(engine.FormatOptions, nullptr);
  EXPECT_EQ(engine.Title, "title");
  EXPECT_EQ(engine.VideoStandard, "ntsc");
  EXPECT_EQ(engine.IntraMatrix.size(), 2u);

  engine.Reset();
  EXPECT_EQ(engine.PgmYuvCompatibility, fresh.PgmYuvCompatibility);
  EXPECT_EQ(engine.FrameWidth, fresh.FrameWidth);
  EXPECT_EQ(engine.PadColor[0], fresh.PadColor[0]);
  EXPECT_EQ(engine.VideoQDiff, fresh.VideoQDiff);
  EXPECT_EQ(engine.IntraMatrix, fresh.IntraMatrix);
  EXPECT_EQ(engine.AudioSampleRate, fresh.AudioSampleRate);
  EXPECT_EQ(engine.AudioLanguage, fresh.AudioLanguage);
  EXPECT_EQ(engine.MuxPreload, fresh.MuxPreload);
  EXPECT_EQ(engine.VideoStandard, fresh.VideoStandard);
  EXPECT_EQ(engine.Title, fresh.Title);
  EXPECT_EQ(engine.Year, fresh.Year);
  EXPECT_EQ(engine.Verbose, fresh.Verbose);
  EXPECT_EQ(engine.OptionNames, fresh.OptionNames);
  EXPECT_EQ(engine.AudioBitstreamFilters, fresh.AudioBitstreamFilters);
  EXPECT_EQ(engine.VideoBytes, fresh.VideoBytes);
  EXPECT_EQ(engine.BitBufferSize, fresh.BitBufferSize);
  EXPECT_NE(engine.FormatOptions, nullptr);  // and fresh option contexts
}

TEST_F(EngineLifecycle, StartRefusesMissingFilesOutputFirst) {
  struct Case {
    int inputs, outputs;
    bool threaded;
    const char* message;
  } cases[] = {
      {0, 0, true, "Must supply at least one output file"},
      {1, 0, false, "Must supply at least one output file"},
      {0, 1, true, "Must supply at least one input file"},
  };
  for (const Case& c : cases) {
    HookRecord caseRecord;
    TCustomFFmpegHlpr engine(lock);
    engine.Reset();
    engine.TerminateHook = {RecordTerminate, &caseRecord};
    // Empty table slots stand for files: only the counts matter here.
    engine.InputFileCount = c.inputs;
    engine.OutputFileCount = c.outputs;
    try {
      engine.Start(c.threaded, tpNormal);
      ADD_FAILURE() << "no refusal for " << c.message;
    } catch (const FFMpegException& error) {
      EXPECT_STREQ(error.what(), c.message);
    }
    EXPECT_EQ(caseRecord.terminates, 1) << c.message;
    EXPECT_FALSE(engine.Running);
    EXPECT_TRUE(engine.StopRequested);  // ended
    EXPECT_EQ(engine.InputFileCount, 0);
    EXPECT_EQ(engine.OutputFileCount, 0);
    // An ended engine never starts again and calls no hook.
    EXPECT_EQ(engine.Start(true, tpNormal), 0u);
    EXPECT_EQ(caseRecord.terminates, 1);
  }
}

TEST_F(EngineLifecycle, StopBeforeStartNeverRuns) {
  TCustomFFmpegHlpr engine(lock);
  engine.Reset();
  Hook(engine);
  engine.Stop();
  EXPECT_TRUE(engine.StopRequested);
  EXPECT_EQ(engine.Start(true, tpNormal), 0u);
  EXPECT_EQ(engine.Start(false, tpNormal), 0u);
  EXPECT_EQ(record.terminates, 0);
  engine.Reset();  // back to idle
  EXPECT_FALSE(engine.StopRequested);
  EXPECT_FALSE(engine.Running);
}
