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
  // File `index` has ended, whatever the outcome; it counts as wholly done
  // for Fraction, and for ConvertedFraction only when it was converted.
  void End(int index, bool converted = true);

  int Files() const { return static_cast<int>(FFiles.size()); }
  int Ended() const { return FEnded; }
  bool HasEnded(int index) const;
  // 0..1: weighted by the files' lengths when the length of every file not
  // yet ended is known (one that ended without a length weighs nothing),
  // else every file weighs the same (a running file counts with its own
  // share when its length is known).
  double Fraction() const;
  // Seconds left for the batch after `elapsedSeconds` of work, from the rate
  // so far; -1 while no estimate can be made (nothing done yet).
  int64_t SecondsLeft(double elapsedSeconds) const;
  // 0..1: the share of the batch that was converted, weighed as Fraction
  // does; what a stopped batch achieved. 0 for an empty batch.
  double ConvertedFraction() const;

 private:
  struct File {
    int64_t DurationMs = 0;  // 0 = unknown
    int64_t ReachedMs = 0;
    bool Ended = false;
    bool Converted = false;
  };
  File* At(int index);
  // The files' shares of themselves (done(file), 0..1) weighed by length
  // when every length that matters is known, else by count; -1 when empty.
  template <class Done>
  double Weighed(Done done) const;
  std::vector<File> FFiles;
  int FEnded = 0;
};
