#include "app/AudioFiles.h"

#include <QFileInfo>

#include "converter/AudioFiles.h"

const QString OpenDialogFilterText = QStringLiteral("Audio Files|") +
                                     QString::fromLatin1(AudioFilePatterns) +
                                     QStringLiteral("|All Files(*.*)|*.*");

QStringList CommandLinePaths(const QStringList& arguments) {
  QStringList paths;
  for (const QString& argument : arguments.mid(1))
    if (!argument.isEmpty()) paths.append(QFileInfo(argument).absoluteFilePath());
  return paths;
}
