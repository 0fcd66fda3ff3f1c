#include "app/AudioFiles.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QFileInfo>

const QString OpenDialogFilterText = QStringLiteral(
    "Audio Files|*.wav;*.au;*.aiff;*.mp3;*.mp2;*.ogg;*.aac;*.m4a;*.mp4;*.vqf;*.ape;*.wma;*.wmv;"
    "*.asf;*.avi;*.mpg;*.mpeg;*.dat;*.flac;*.mid;*.mka;*.mpa;*.mpc;*.ofr;*.ra;*.wv;*.tta;*.ac3;"
    "*.dts|All Files(*.*)|*.*");

QString TranslatedOpenDialogFilter() {
  QStringList parts = OpenDialogFilterText.split(u'|');
  parts[0] = QCoreApplication::translate("AudioFiles", "Audio Files");
  parts[2] = QCoreApplication::translate("AudioFiles", "All Files") + QStringLiteral("(*.*)");
  return parts.join(u'|');
}

bool IsAudioFileName(const QString& fileName) {
  static const QStringList extensions = [] {
    QStringList list;
    for (const QString& pattern : OpenDialogFilterText.section(u'|', 1, 1).split(u';'))
      list.append(pattern.mid(1));  // "*.wav" -> ".wav"
    return list;
  }();
  const qsizetype dot = fileName.lastIndexOf(u'.');
  if (dot < 0 || dot < fileName.lastIndexOf(u'/')) return false;
  return extensions.contains(fileName.mid(dot), Qt::CaseInsensitive);
}

QStringList ExpandDroppedPaths(const QStringList& paths) {
  QStringList files;
  for (const QString& path : paths) {
    if (!QFileInfo(path).isDir()) {
      files.append(path);
      continue;
    }
    QStringList inside;
    QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString file = it.next();
      if (IsAudioFileName(file)) inside.append(file);
    }
    inside.sort();
    files.append(inside);
  }
  return files;
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
