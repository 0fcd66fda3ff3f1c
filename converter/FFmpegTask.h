// The component's tasks. A waiting task is a few plain records (what to read,
// what to write, with which options); it holds no file, no codec and no
// option context. Its engine is made when the task starts, opens the files on
// the thread that runs it and is freed after its run has ended.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "converter/InputDescription.h"
#include "converter/OptionRecords.h"
#include "converter/PlannedTask.h"
#include "converter/TaskResult.h"
#include "converter/TrackCut.h"
#include "engine/FFmpegHlpr.h"

class TConversionTask;
class TWorkerRun;

// The engine of one task's run.
class TFFmpegHlpr : public TCustomFFmpegHlpr {
 public:
  // Made by the thread that starts the task; holds a reference to the task,
  // which outlives it.
  TFFmpegHlpr(std::mutex& codecLock, TConversionTask& task);
  // Waits for a running job (terminate hook included) before anything of the
  // engine goes, so that a late hook never sees a half-destroyed engine.
  ~TFFmpegHlpr() override;

  TConversionTask& Task;
  const int TaskIndex;
  // Thread that runs the task; 0 until started. Written by the starting
  // thread, read by the library log callback on any thread.
  std::atomic<uint32_t> ThreadID{0};
  // Output time reached by the latest progress report (ms; -1 before one).
  // Written and read on the thread that runs the task.
  int ReachedMs = -1;

 protected:
  // Applies the task's input record and opens its input, checking that it is
  // still the file that was added; then each output's record and file.
  void OpenFilesOfRun() override;
  int InputCountForRun() const override { return 1; }
  int OutputCountForRun() const override;
};

// One entry of the component's list.
class TConversionTask {
 public:
  TConversionTask();
  ~TConversionTask();
  // Owner's thread writes these while adding; read-only once the task runs.
  int TaskIndex = -1;
  TInputDescription Description;  // Path names the input
  TInputOptions InputOptions;
  std::vector<TPlannedOutput> Outputs;
  // The component's RealVideo34Codec when the task was added: true for the
  // library's own RealVideo 3.0/4.0 decoders.
  bool LibraryRealVideoDecoders = true;

  // Set when a track of the task could not be planned: the run fails with
  // it before anything is written, so that no album is half converted.
  std::string PlanError;
  // Encoders the scheduler gave the run's long MP3 stream (1: whole).
  int EncoderBudget = 1;
  // The running engine; set and cleared under the component's task list
  // lock, freed only after its run has ended (ReleaseEngine).
  std::unique_ptr<TFFmpegHlpr> Engine;
  // The run in a worker process instead, under the same rules as Engine.
  std::unique_ptr<TWorkerRun> WorkerRun;
  // Set when the component asked the task to stop (any thread).
  std::atomic<bool> StopAsked{false};
  // The run has ended and its terminate hook has returned, so the engine may
  // go. Under the component's event lock.
  bool RunOver = false;

  // The task's state; any thread (one lock serves every task: a waiting
  // task should cost little).
  TTaskResult Result() const;
  void SetResult(TTaskResult result);

 private:
  TTaskResult CurrentResult;
};

// How a finished run turned out: with damaged packets skipped, with invalid
// samples replaced, or short of the input's length, it is converted with
// problems. A length the container states exactly (`audio`, unless a part
// was asked for) is short when the decoded audio misses more than its
// allowance (about a codec frame), at any length; an estimated one
// (expectedMs) when more than 1 s and more than 2 % of it are missing.
// expectedMs < 0 or reachedMs < 0: the estimate is not judged.
TTaskResult FinishedRunResult(int64_t expectedMs, int64_t reachedMs, int damagedPackets,
                              int64_t invalidSamples = 0, const AudioLengthRecord& audio = {});

// Owns its tasks in list order. Not synchronised: the component guards it.
class TFFmpegList {
 public:
  TFFmpegList() = default;
  ~TFFmpegList() { Clear(); }
  TFFmpegList(const TFFmpegList&) = delete;
  TFFmpegList& operator=(const TFFmpegList&) = delete;

  // Takes ownership, sets the task's TaskIndex to its position and returns it.
  int Add(std::unique_ptr<TConversionTask> task);
  // Throws std::out_of_range("List index out of bounds (i)") outside the list.
  TConversionTask* Get(int index) const;
  int Count() const { return static_cast<int>(Tasks.size()); }
  // The engine of the first task in list order whose run is on threadId
  // (terminate hook excluded), or nullptr.
  TFFmpegHlpr* FindByThread(uint32_t threadId) const;
  // Frees every task in list order, then empties the list.
  void Clear();

 private:
  std::vector<std::unique_ptr<TConversionTask>> Tasks;
};
