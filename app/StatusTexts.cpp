#include "app/StatusTexts.h"

#include <QCoreApplication>

QString ProgressStatus(int durationTime, int totalDuration) {
  if (totalDuration > 0)  // 64-bit: durations past ~6 hours overflow int * 100
    return QString::number(static_cast<qint64>(durationTime) * 100 / totalDuration) + u'%';
  return DurationText(durationTime > 0 ? durationTime / 1000 : 0);
}

QString DurationText(int64_t seconds) {
  if (seconds < 0) seconds = 0;
  const auto twoDigits = [](int64_t n) {
    return QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0'));
  };
  const QString tail = twoDigits(seconds % 60);
  if (seconds < 3600) return QString::number(seconds / 60) + u':' + tail;
  return QString::number(seconds / 3600) + u':' + twoDigits(seconds / 60 % 60) + u':' + tail;
}

QString BatchLine(int done, int files, int64_t secondsLeft) {
  QString line = QStringLiteral("    ") +
                 QCoreApplication::translate("StatusTexts", "%1 of %2 done").arg(done).arg(files);
  if (secondsLeft >= 0)
    line += QStringLiteral("        ") +
            QCoreApplication::translate("StatusTexts", "Time left: %1").arg(DurationText(secondsLeft));
  return line;
}

QString SummaryLine(const TBatchCounts& counts, bool stopped) {
  QString line =
      QStringLiteral("    ") +
      (stopped ? QCoreApplication::translate("StatusTexts", "Stopped: %1 converted, %2 failed")
               : QCoreApplication::translate("StatusTexts", "Done: %1 converted, %2 failed"))
          .arg(counts.Converted)
          .arg(counts.Failed);
  if (counts.WithProblems > 0)
    line += QCoreApplication::translate("StatusTexts", ", %1 with problems").arg(counts.WithProblems);
  if (counts.Stopped > 0)
    line += QCoreApplication::translate("StatusTexts", ", %1 stopped").arg(counts.Stopped);
  if (counts.NotStarted > 0)
    line += QCoreApplication::translate("StatusTexts", ", %1 not started").arg(counts.NotStarted);
  if (counts.UpToDate > 0)
    line += QCoreApplication::translate("StatusTexts", ", %1 up to date").arg(counts.UpToDate);
  if (counts.Existing > 0)
    line += QCoreApplication::translate("StatusTexts", ", %1 already there").arg(counts.Existing);
  return line;
}

QString NotStartedMark() { return QCoreApplication::translate("StatusTexts", "Not started"); }

QString EndMark(TTaskState state) {
  switch (state) {
    case TTaskState::tsConverted:
      return QStringLiteral("100%");
    case TTaskState::tsConvertedWithProblems:
      return QStringLiteral("100% !");
    case TTaskState::tsFailed:
      return QStringLiteral("X");
    case TTaskState::tsStopped:
      return QCoreApplication::translate("StatusTexts", "Stopped");
    case TTaskState::tsWaiting:
    case TTaskState::tsRunning:
      break;
  }
  return {};
}

QString UnchangedMark(bool upToDate) {
  return upToDate ? QCoreApplication::translate("StatusTexts", "Up to date")
                  : QCoreApplication::translate("StatusTexts", "Exists");
}
