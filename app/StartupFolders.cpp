#include "app/StartupFolders.h"

#include <QDir>
#include <QThread>
#include <algorithm>

#include "app/IniFile.h"
#include "app/PathRules.h"
#include "app/Shell.h"

QString ReadSavedOutputFolder(const QString& settingsFolder) {
  return ReadIniString(settingsFolder + SettingsFileName, SettingsSection, SettingsKey,
                       NoFolderSaved);
}

int DefaultFilesAtOnce() { return std::clamp(QThread::idealThreadCount(), 1, MaxFilesAtOnce); }

int ReadFilesAtOnce(const QString& settingsFolder) {
  bool number = false;
  const int saved =
      ReadIniString(settingsFolder + SettingsFileName, SettingsSection, FilesAtOnceKey, QString())
          .toInt(&number);
  return number && saved >= 1 && saved <= MaxFilesAtOnce ? saved : DefaultFilesAtOnce();
}

bool ReadSplitLongFiles(const QString& settingsFolder) {
  return ReadIniString(settingsFolder + SettingsFileName, SettingsSection, SplitLongFilesKey,
                       QStringLiteral("1")) != QStringLiteral("0");
}

TStartupFolders LoadStartupFolders(TShell& shell) {
  TStartupFolders folders;
  folders.SettingsFolder =
      WithSeparator(shell.ConfigFolder()) + QStringLiteral("tarvik/") + AppTitle + u'/';
  folders.OutputFolder = WithSeparator(shell.DocumentsFolder()) + QStringLiteral("Temp/");

  const QString saved = ReadSavedOutputFolder(folders.SettingsFolder);
  if (saved != NoFolderSaved) folders.OutputFolder = saved;
  folders.OutputFolder = WithSeparator(folders.OutputFolder);
  return folders;
}

void WriteOutputFolder(const QString& settingsFolder, const QString& folder) {
  WriteIniString(settingsFolder + SettingsFileName, SettingsSection, SettingsKey, folder);
}
