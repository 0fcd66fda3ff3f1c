#include "app/AudioFiles.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "converter/AudioFiles.h"

const QString OpenDialogFilterText = QStringLiteral("Audio Files|") +
                                     QString::fromLatin1(AudioFilePatterns) +
                                     QStringLiteral("|All Files(*.*)|*.*");

QString TranslatedOpenDialogFilter() {
  QStringList parts = OpenDialogFilterText.split(u'|');
  parts[0] = QCoreApplication::translate("AudioFiles", "Audio Files");
  parts[2] = QCoreApplication::translate("AudioFiles", "All Files") + QStringLiteral("(*.*)");
  return parts.join(u'|');
}

QStringList CommandLinePaths(const QStringList& arguments) {
  QStringList paths;
  bool separatorSeen = false;  // "--" ends the options: "melvaro -- --help" lists "--help"
  for (const QString& argument : arguments.mid(1)) {
    if (argument == QStringLiteral("--") && !separatorSeen) {
      separatorSeen = true;
      continue;
    }
    if (!argument.isEmpty()) paths.append(QFileInfo(argument).absoluteFilePath());
  }
  return paths;
}
