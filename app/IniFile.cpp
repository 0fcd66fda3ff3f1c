#include "app/IniFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringList>

namespace {

QStringList ReadLines(const QString& fileName, bool* existed) {
  QFile file(fileName);
  *existed = file.open(QIODevice::ReadOnly);
  if (!*existed) return {};
  QString text = QString::fromUtf8(file.readAll());
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(u'\r', u'\n');
  QStringList lines = text.split(u'\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

// The section name of a "[name]" line, or a null string for other lines.
QString SectionOf(const QString& line) {
  const QString t = line.trimmed();
  if (t.size() >= 2 && t.startsWith(u'[') && t.endsWith(u']'))
    return t.mid(1, t.size() - 2).trimmed();
  return {};
}

bool IsKeyLine(const QString& line, const QString& key, QString* value) {
  const QString t = line.trimmed();
  if (t.startsWith(u';')) return false;
  const qsizetype eq = t.indexOf(u'=');
  if (eq < 0 || t.left(eq).trimmed().compare(key, Qt::CaseInsensitive) != 0) return false;
  if (value) *value = t.mid(eq + 1).trimmed();
  return true;
}

}  // namespace

QString ReadIniString(const QString& fileName, const QString& section, const QString& key,
                      const QString& defaultValue) {
  bool existed = false;
  const QStringList lines = ReadLines(fileName, &existed);
  bool inSection = false;
  for (const QString& line : lines) {
    const QString name = SectionOf(line);
    if (!name.isNull()) {
      inSection = name.compare(section, Qt::CaseInsensitive) == 0;
      continue;
    }
    QString value;
    if (inSection && IsKeyLine(line, key, &value)) {
      if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
          value.back() == value.front())
        value = value.mid(1, value.size() - 2);
      return value;
    }
  }
  return defaultValue;
}

void WriteIniString(const QString& fileName, const QString& section, const QString& key,
                    const QString& value) {
  bool existed = false;
  QStringList lines = ReadLines(fileName, &existed);
  const QString entry = key + u'=' + value;

  qsizetype sectionLine = -1;
  qsizetype insertAt = -1;  // after the section's last non-blank line
  bool written = false;
  for (qsizetype i = 0; i < lines.size() && !written; ++i) {
    const QString name = SectionOf(lines[i]);
    if (!name.isNull()) {
      if (sectionLine >= 0) break;  // the next section begins
      if (name.compare(section, Qt::CaseInsensitive) == 0) sectionLine = insertAt = i;
      continue;
    }
    if (sectionLine < 0) continue;
    if (IsKeyLine(lines[i], key, nullptr)) {
      lines[i] = entry;
      written = true;
    } else if (!lines[i].trimmed().isEmpty()) {
      insertAt = i;
    }
  }
  if (!written) {
    if (sectionLine >= 0) {
      lines.insert(insertAt + 1, entry);
    } else {
      if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) lines.append(QString());
      lines.append(u'[' + section + u']');
      lines.append(entry);
    }
  }

  // The settings folder is made when the first setting is kept, not before.
  QDir().mkpath(QFileInfo(fileName).path());
  QSaveFile file(fileName);
  bool ok = file.open(QIODevice::WriteOnly);
  if (ok) {
    const QByteArray data = (lines.join(u'\n') + u'\n').toUtf8();
    ok = file.write(data) == data.size() && file.commit();
  }
  if (!ok)
    throw TIniFileError(
        QCoreApplication::translate("IniFile", "Unable to write to %1").arg(fileName).toStdString());
}
