#include "app/OutputNames.h"

#include <QDir>
#include <QFileInfo>

QString SameFileKey(const QString& path) {
  const QFileInfo info(path);
  if (const QString real = info.canonicalFilePath(); !real.isEmpty()) return real;
  if (const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath(); !folder.isEmpty())
    return folder + u'/' + info.fileName();
  return QDir::cleanPath(info.absoluteFilePath());
}

void TOutputNames::Begin(const QStringList& inputPaths) {
  Taken.clear();
  for (const QString& path : inputPaths) Taken.insert(SameFileKey(path));
}

QString TOutputNames::Claim(const QString& wanted) {
  QString name = wanted;
  const qsizetype nameStart = wanted.lastIndexOf(u'/') + 1;
  qsizetype dot = wanted.lastIndexOf(u'.');
  if (dot < nameStart) dot = wanted.size();
  for (int n = 2; Taken.contains(SameFileKey(name)); ++n)
    name = wanted.left(dot) + QStringLiteral(" (%1)").arg(n) + wanted.mid(dot);
  Taken.insert(SameFileKey(name));
  return name;
}
