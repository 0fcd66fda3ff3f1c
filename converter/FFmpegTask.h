// The component's task (one engine with its stored option records) and the
// owned, ordered list of tasks.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "converter/InputDescription.h"
#include "converter/OptionRecords.h"
#include "converter/TaskResult.h"
#include "engine/FFmpegHlpr.h"

class TFFmpegHlpr : public TCustomFFmpegHlpr {
 public:
  // Empty input options, default output options, not in a list, not started.
  explicit TFFmpegHlpr(std::mutex& codecLock);
  // Waits for a running job (terminate hook included) before anything of the
  // task goes, so that a late hook never sees a half-destroyed task.
  ~TFFmpegHlpr() override;

  int TaskIndex = -1;  // position in the list; set before the task can run
  // Thread that runs the task; 0 until started. Written by the starting
  // thread, read by the library log callback on any thread.
  std::atomic<uint32_t> ThreadID{0};
  TInputOptions InputOptions;
  TOutputOptions OutputOptions;
  // The files this task reads and writes, kept beyond the run (which releases
  // the file tables) so that no later output can land on one of them.
  std::string InputPath;
  std::vector<std::string> OutputPaths;
  // Owner's thread writes it when the task is added; read-only afterwards.
  TInputDescription Description;
  // Set when the component asked the task to stop (any thread).
  std::atomic<bool> StopAsked{false};

  // The task's state; any thread.
  TTaskResult Result() const;
  void SetResult(TTaskResult result);

 private:
  mutable std::mutex ResultLock;
  TTaskResult CurrentResult;
};

// Owns its tasks in list order. Not synchronised: the component guards it.
class TFFmpegList {
 public:
  TFFmpegList() = default;
  ~TFFmpegList() { Clear(); }
  TFFmpegList(const TFFmpegList&) = delete;
  TFFmpegList& operator=(const TFFmpegList&) = delete;

  // Takes ownership, sets the task's TaskIndex to its position and returns it.
  int Add(std::unique_ptr<TFFmpegHlpr> task);
  // Throws std::out_of_range("List index out of bounds (i)") outside the list.
  TFFmpegHlpr* Get(int index) const;
  int Count() const { return static_cast<int>(Tasks.size()); }
  // The first task in list order that runs on threadId, or nullptr.
  TFFmpegHlpr* FindByThread(uint32_t threadId) const;
  // Frees every task in list order, then empties the list.
  void Clear();

 private:
  std::vector<std::unique_ptr<TFFmpegHlpr>> Tasks;
};
