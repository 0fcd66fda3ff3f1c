#include "app/AudioFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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

std::vector<std::string> NativeCommandLinePaths(int argc, const char* const* argv) {
  std::vector<std::string> paths;
  const QByteArray here = QFile::encodeName(QDir::currentPath());
  bool separatorSeen = false;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--" && !separatorSeen) {
      separatorSeen = true;
      continue;
    }
    if (argument.empty()) continue;
    paths.push_back(argument.front() == '/' ? argument : here.toStdString() + '/' + argument);
  }
  return paths;
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
