// The texts the main window shows for a batch and its rows.
#pragma once

#include <QString>

#include "converter/TaskResult.h"

// A row's status while its task runs: the percentage reached ("42%"); when
// the input reports no duration (total 0 or less), the output time reached
// as minutes and seconds ("3:07"), since no percentage can be formed.
QString ProgressStatus(int durationTime, int totalDuration);

// "0:42", "12:05", "1:02:03" for a number of seconds (negative as 0).
QString DurationText(int64_t seconds);

// The status line while a batch runs: "    3 of 8 done        Time left: 1:05"
// (4 and 8 blanks); without the time part while secondsLeft is negative.
QString BatchLine(int done, int files, int64_t secondsLeft);

// How the rows of a batch ended, for the summary.
struct TBatchCounts {
  int Converted = 0;  // with problems included
  int WithProblems = 0;
  int Failed = 0;  // unreadable inputs included
  int Stopped = 0;
  int NotStarted = 0;  // rows a Stop left before they began
  int UpToDate = 0;    // left as they were: the record says they are current
  int Existing = 0;    // left as they were: an output was there (skip)
};

// "    Done: 5 converted, 1 failed", then ", 2 with problems",
// ", 1 stopped", ", 3 not started", ", 3 up to date" and ", 2 already there"
// where there are any; a batch that was stopped begins "    Stopped: "
// instead.
QString SummaryLine(const TBatchCounts& counts, bool stopped = false);

// The status column's mark of a row that a Stop left before it began.
QString NotStartedMark();

// The status column's mark of a task that has ended: "100%" converted, "100% !"
// converted with problems, "X" failed, "Stopped" stopped; empty for a task
// that has not ended.
QString EndMark(TTaskState state);

// The mark of a row left as it was: "Up to date" (upToDate) or "Exists".
QString UnchangedMark(bool upToDate);
