// The texts the main window shows for a running task.
#pragma once

#include <QString>

// A row's status while its task runs: the percentage reached ("42%"); when
// the input reports no duration (total 0 or less), the output time reached
// as minutes and seconds ("3:07"), since no percentage can be formed.
QString ProgressStatus(int durationTime, int totalDuration);

// "    File: 1 of 3        Completed: 50%            song.wav" (4, 8 and 12
// blanks) for task index of rowCount rows.
QString ProgressLine(int index, int rowCount, const QString& status, const QString& caption);
