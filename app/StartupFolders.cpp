#include "app/StartupFolders.h"

#include <QDir>

#include "app/IniFile.h"
#include "app/PathRules.h"
#include "app/Shell.h"

QString ReadSavedOutputFolder(const QString& settingsFolder) {
  return ReadIniString(settingsFolder + SettingsFileName, SettingsSection, SettingsKey,
                       NoFolderSaved);
}

TStartupFolders LoadStartupFolders(TShell& shell) {
  TStartupFolders folders;
  folders.SettingsFolder =
      WithSeparator(shell.ConfigFolder()) + QStringLiteral("tarvik/") + AppTitle + u'/';
  folders.OutputFolder = WithSeparator(shell.DocumentsFolder()) + QStringLiteral("Temp/");

  const QString saved = ReadSavedOutputFolder(folders.SettingsFolder);
  if (saved != NoFolderSaved) folders.OutputFolder = saved;
  folders.OutputFolder = WithSeparator(folders.OutputFolder);

  if (!folders.OutputFolder.isEmpty()) QDir().mkpath(folders.OutputFolder);
  QDir().mkpath(folders.SettingsFolder);
  return folders;
}
