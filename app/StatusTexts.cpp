#include "app/StatusTexts.h"

QString ProgressStatus(int durationTime, int totalDuration) {
  if (totalDuration > 0)  // 64-bit: durations past ~6 hours overflow int * 100
    return QString::number(static_cast<qint64>(durationTime) * 100 / totalDuration) + u'%';
  const int seconds = durationTime > 0 ? durationTime / 1000 : 0;
  return QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString ProgressLine(int index, int rowCount, const QString& status, const QString& caption) {
  return QStringLiteral("    File: ") + QString::number(index + 1) + QStringLiteral(" of ") +
         QString::number(rowCount) + QStringLiteral("        Completed: ") + status +
         QStringLiteral("            ") + caption;
}
