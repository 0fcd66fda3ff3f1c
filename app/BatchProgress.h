// The whole batch as the gauge and the status line show it: how far it has
// come, how many files are done and how long the rest will take. Pure
// bookkeeping on the UI thread; the window feeds it the tasks' reports.
#pragma once

#include <cstdint>
#include <vector>

class TBatchProgress {
 public:
  // A new batch of `files` files, nothing known of their lengths yet.
  void Begin(int files);
  // The length of file `index` in ms (0 or less: unknown). Indexes outside
  // the batch are ignored, as in every call below.
  void SetDuration(int index, int64_t durationMs);
  // File `index` has reached `reachedMs` of `totalMs` (the total also sets
  // the length when it is known and none was set).
  void Report(int index, int64_t reachedMs, int64_t totalMs);
  // File `index` has ended, whatever the outcome; it counts as wholly done.
  void End(int index);

  int Files() const { return static_cast<int>(FFiles.size()); }
  int Ended() const { return FEnded; }
  // 0..1: weighted by the files' lengths when the length of every file not
  // yet ended is known (one that ended without a length weighs nothing),
  // else every file weighs the same (a running file counts with its own
  // share when its length is known).
  double Fraction() const;
  // Seconds left for the batch after `elapsedSeconds` of work, from the rate
  // so far; -1 while no estimate can be made (nothing done yet).
  int64_t SecondsLeft(double elapsedSeconds) const;

 private:
  struct File {
    int64_t DurationMs = 0;  // 0 = unknown
    int64_t ReachedMs = 0;
    bool Ended = false;
  };
  File* At(int index);
  std::vector<File> FFiles;
  int FEnded = 0;
};
