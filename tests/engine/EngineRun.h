// Runs real conversions through the engine alone, the way the converter
// component prepares them (libmp3lame, "ab" 128000, 44100 Hz, 2 channels),
// and records what reaches the hooks. Hooks may run on a worker thread; the
// record is guarded and can be waited on.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "engine/FFmpegHlpr.h"
#include "engine/FFmpegThread.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

struct ProgressValues {
  int frameNumber, fps, durationTime;
  float quality, bitRate;
  int64_t currentSize;
  int totalDuration;
};

struct RunRecord {
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> lines;
  std::vector<int> levels;
  std::vector<ProgressValues> progress;
  int terminates = 0;
  uint32_t hookThread = 0;
  // Called (outside the record's lock) on every progress report.
  std::function<void(TCustomFFmpegHlpr*, const ProgressValues&)> onProgress;

  bool WaitForTerminate(std::chrono::seconds limit = std::chrono::seconds(120)) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, limit, [this] { return terminates > 0; });
  }
  bool WaitForProgress(size_t count, std::chrono::seconds limit = std::chrono::seconds(120)) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, limit,
                            [&] { return progress.size() >= count || terminates > 0; });
  }
  bool HasLine(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    for (const std::string& line : lines)
      if (line == text) return true;
    return false;
  }
  std::string AllLines() {
    std::lock_guard<std::mutex> lock(mutex);
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
  }

  static void Log(void* data, TCustomFFmpegHlpr*, int level, const std::string& text) {
    auto* record = static_cast<RunRecord*>(data);
    std::lock_guard<std::mutex> lock(record->mutex);
    record->lines.push_back(text);
    record->levels.push_back(level);
  }
  static void Progress(void* data, TCustomFFmpegHlpr* engine, int frameNumber, int fps,
                       int durationTime, float quality, float bitRate, int64_t currentSize,
                       int totalDuration) {
    auto* record = static_cast<RunRecord*>(data);
    const ProgressValues values{frameNumber, fps,         durationTime, quality,
                                bitRate,     currentSize, totalDuration};
    {
      std::lock_guard<std::mutex> lock(record->mutex);
      record->progress.push_back(values);
    }
    record->changed.notify_all();
    if (record->onProgress) record->onProgress(engine, values);
  }
  static void Terminate(void* data, TCustomFFmpegHlpr*) {
    auto* record = static_cast<RunRecord*>(data);
    {
      std::lock_guard<std::mutex> lock(record->mutex);
      ++record->terminates;
      record->hookThread = CurrentThreadID();
    }
    record->changed.notify_all();
  }

  void Attach(TCustomFFmpegHlpr& engine) {
    engine.LogHook = {Log, this};
    engine.ProgressHook = {Progress, this};
    engine.TerminateHook = {Terminate, this};
  }
};

// A table-driven engine case: the libraries loaded, a folder of its own, the
// codec lock and a record of the engine's events.
template <typename Case>
class EngineRunTest : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override { MediaFixtures::EnsureLibraries(); }
  TempFolder folder;
  std::mutex lock;
  RunRecord record;
};

// Opens `input` and creates the MP3 `output` as the component does. Returns
// false (with a test failure naming LastError) when either step fails.
inline bool PrepareMp3Conversion(TCustomFFmpegHlpr& engine, const std::string& input,
                                 const std::string& output, bool videoDisable = false) {
  engine.Reset();
  if (videoDisable) engine.VideoDisable = 1;
  if (!engine.OpenInputFile(input)) {
    ADD_FAILURE() << "input: " << engine.LastError;
    return false;
  }
  engine.SetAudioCodec("libmp3lame");
  engine.SetLibraryOption("ab", "128000");
  engine.SetAudioSampleRate(44100);
  engine.SetAudioChannels(2);
  if (videoDisable) engine.VideoDisable = 1;
  if (!engine.OpenOutputFile(output)) {
    ADD_FAILURE() << "output: " << engine.LastError;
    return false;
  }
  return true;
}
