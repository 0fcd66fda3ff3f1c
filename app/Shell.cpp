#include "app/Shell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QUrl>

QString TDesktopShell::Open(const QString& path) {
  if (!QFileInfo::exists(path))
    return QCoreApplication::translate("Shell", "it does not exist");
  // Qt hands the path to xdg-open; false means that nothing could take it.
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
    return QCoreApplication::translate(
        "Shell", "no program of the desktop could open it (xdg-open is missing or failed)");
  return {};
}

QStringList TDesktopShell::PickFiles(QWidget* parent, const QString& initialFolder,
                                     const QString& filter) {
  const QString qtFilter = DialogFilter(filter);
  QString selected = qtFilter.section(QStringLiteral(";;"), 0, 0);
  return QFileDialog::getOpenFileNames(parent, QString(), initialFolder, qtFilter, &selected);
}

QString TDesktopShell::PickFolder(QWidget* parent) {
  const QString folder = QFileDialog::getExistingDirectory(parent, QString(), QDir::homePath());
  if (folder.size() > 1 && folder.endsWith(u'/')) return folder.chopped(1);
  return folder;
}

QString TDesktopShell::ConfigFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString TDesktopShell::DocumentsFolder() {
  return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void TDesktopShell::ShowError(QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, QCoreApplication::applicationName(), text);
}

bool TDesktopShell::Confirm(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::Question, QCoreApplication::applicationName(), text,
                  QMessageBox::Yes | QMessageBox::No, parent);
  box.setDefaultButton(QMessageBox::No);
  Question = &box;
  const int answer = box.exec();
  Question = nullptr;
  return answer == QMessageBox::Yes;
}

void TDesktopShell::WithdrawQuestion() {
  if (Question) Question->done(QMessageBox::No);
}

QString DialogFilter(const QString& pipeFilter) {
  static const QRegularExpression trailingPatterns(QStringLiteral("\\s*\\([^()]*\\)$"));
  const QStringList parts = pipeFilter.split(u'|');
  QStringList entries;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString name = parts[i];
    name.remove(trailingPatterns);
    QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
    for (QString& pattern : patterns)
      if (pattern == QStringLiteral("*.*")) pattern = QStringLiteral("*");
    entries.append(name + QStringLiteral(" (") + patterns.join(u' ') + u')');
  }
  return entries.join(QStringLiteral(";;"));
}
