// The run lifecycle with real runs: the engine is never freed under a
// worker that is still inside Run, errors never leave the worker thread, and
// Start reports the thread that runs the job.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "engine/FFmpegHlpr.h"
#include "tests/engine/EngineRun.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

using namespace MediaFixtures;

namespace {

class RunLifecycle : public ::testing::Test {
 protected:
  void SetUp() override { EnsureLibraries(); }
  std::string Wav(const std::string& name, double seconds) {
    const std::string path = folder / name;
    MakeWav(path, 44100, 2, seconds, 440);
    return path;
  }
  TempFolder folder;
  std::mutex lock;
  RunRecord record;
};

struct SlowHook {
  std::atomic<bool> entered{false};
  std::atomic<bool> left{false};
  std::atomic<int> observed{0};
};

// Sleeps inside the terminate hook and then reads the engine, while the
// owner destroys the engine on its own thread.
void SlowTerminate(void* data, TCustomFFmpegHlpr* engine) {
  auto* hook = static_cast<SlowHook*>(data);
  hook->entered = true;
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  hook->observed = engine->TotalDuration + static_cast<int>(engine->LastError.size()) +
                   engine->Finished + engine->OutputFileCount;
  hook->left = true;
}

TEST_F(RunLifecycle, DestructorWaitsForTheTerminateHook) {
  SlowHook hook;
  auto engine = std::make_unique<TCustomFFmpegHlpr>(lock);
  ASSERT_TRUE(PrepareMp3Conversion(*engine, Wav("in.wav", 1.0), folder / "out.mp3"));
  engine->TerminateHook = {SlowTerminate, &hook};
  ASSERT_NE(engine->Start(true, tpNormal), 0u);
  while (!hook.entered) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  engine.reset();  // AddressSanitizer reports any read of the freed engine
  EXPECT_TRUE(hook.left);
  EXPECT_EQ(hook.observed, 1000 + 1);  // TotalDuration 1000 ms, finished
}

TEST_F(RunLifecycle, DestructorStopsARunningWorker) {
  auto engine = std::make_unique<TCustomFFmpegHlpr>(lock);
  record.Attach(*engine);
  ASSERT_TRUE(PrepareMp3Conversion(*engine, Wav("long.wav", 120.0), folder / "out.mp3"));
  ASSERT_NE(engine->Start(true, tpNormal), 0u);
  engine.reset();  // stops, waits, frees
  EXPECT_EQ(record.terminates, 1);
}

TEST_F(RunLifecycle, AnErrorOnTheWorkerEndsTheRunNotTheProcess) {
  TCustomFFmpegHlpr engine(lock);
  record.Attach(engine);
  ASSERT_TRUE(PrepareMp3Conversion(engine, Wav("in.wav", 0.5), folder / "out.mp3"));
  engine.OutputCodecs[0][0].Context->sample_rate = 12345;  // refused by the encoder
  ASSERT_NE(engine.Start(true, tpNormal), 0u);
  ASSERT_TRUE(record.WaitForTerminate());
  engine.StopAndWait();
  EXPECT_FALSE(engine.Finished);
  EXPECT_EQ(engine.LastError.rfind("Error while opening codec for output stream #0.0", 0), 0u)
      << engine.LastError;
  std::lock_guard<std::mutex> guard(record.mutex);
  ASSERT_FALSE(record.lines.empty());
  EXPECT_EQ(record.lines.back(), engine.LastError);
  EXPECT_EQ(record.levels.back(), 0);
}

TEST_F(RunLifecycle, StartReportsTheThreadThatRunsTheJob) {
  {
    TCustomFFmpegHlpr engine(lock);
    record.Attach(engine);
    ASSERT_TRUE(PrepareMp3Conversion(engine, Wav("short.wav", 0.5), folder / "here.mp3"));
    EXPECT_EQ(engine.Start(false, tpNormal), MainThreadID());
    EXPECT_EQ(record.terminates, 1);  // the run was over when Start returned
    EXPECT_EQ(record.hookThread, CurrentThreadID());
  }
  RunRecord threaded;
  TCustomFFmpegHlpr engine(lock);
  threaded.Attach(engine);
  ASSERT_TRUE(PrepareMp3Conversion(engine, Wav("long.wav", 60.0), folder / "there.mp3"));
  const uint32_t id = engine.Start(true, tpNormal);
  {
    std::lock_guard<std::mutex> guard(threaded.mutex);
    EXPECT_EQ(threaded.terminates, 0);  // returned at once, not after the run
  }
  EXPECT_NE(id, 0u);
  EXPECT_NE(id, MainThreadID());
  engine.Stop();
  ASSERT_TRUE(threaded.WaitForTerminate());
  engine.StopAndWait();
  EXPECT_EQ(threaded.hookThread, id);
}

}  // namespace
