#include "app/PathRules.h"

#include <QLocale>
#include <algorithm>
#include <cmath>
#include <iterator>

QString WithSeparator(const QString& folder) {
  if (folder.size() > 3 && !folder.endsWith(u'/')) return folder + u'/';
  return folder;
}

QString FileNamePart(const QString& path) { return path.mid(path.lastIndexOf(u'/') + 1); }

QString FolderPart(const QString& path) { return path.left(path.lastIndexOf(u'/') + 1); }

QString SizeText(qint64 bytes) {
  if (bytes < 0) return QString();
  if (bytes == 0) return QStringLiteral("0KB");
  static const char* const units[] = {"KB", "MB", "GB", "TB"};
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  // The unit whose one-decimal figure stays below 1024 ("1023.96KB" would
  // show as "1024.0KB": that is "1.0MB").
  while (unit + 1 < std::size(units) && std::round(value * 10) >= 1024 * 10) {
    value /= 1024;
    ++unit;
  }
  // A file of a few bytes is not nothing.
  value = std::max(value, 0.1);
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale.toString(value, 'f', 1) + QLatin1String(units[unit]);
}
