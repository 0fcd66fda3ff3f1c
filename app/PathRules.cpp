#include "app/PathRules.h"

QString WithSeparator(const QString& folder) {
  if (folder.size() > 3 && !folder.endsWith(u'/')) return folder + u'/';
  return folder;
}

QString FileNamePart(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

QString FolderPart(const QString& path) { return path.left(path.lastIndexOf(u'/') + 1); }

QString SizeText(qint64 bytes) {
  if (bytes == 0) return QStringLiteral("0KB");
  if (bytes < 1024) return QStringLiteral("1KB");
  if (bytes < 1048576) return QString::number(bytes / 1024) + QStringLiteral("KB");
  return QString::number(bytes / 1048576 + 1) + QStringLiteral("MB");
}
