#include "app/NamingSettings.h"

#include "app/IniFile.h"
#include "app/StartupFolders.h"

namespace {
const QString LayoutKey = QStringLiteral("Layout");
const QString PatternKey = QStringLiteral("NamePattern");
}  // namespace

TNamingRules ReadNamingRules(const QString& settingsFolder) {
  const QString file = settingsFolder + SettingsFileName;
  TNamingRules rules;
  const QString layout = ReadIniString(file, SettingsSection, LayoutKey, QString());
  if (!LayoutByName(layout.toStdString(), rules.Layout)) rules.Layout = TOutputLayout::Auto;
  rules.Pattern = ReadIniString(file, SettingsSection, PatternKey, QString()).toStdString();
  return rules;
}

void WriteNamingRules(const QString& settingsFolder, const TNamingRules& rules) {
  const QString file = settingsFolder + SettingsFileName;
  WriteIniString(file, SettingsSection, LayoutKey, QString::fromLatin1(LayoutName(rules.Layout)));
  WriteIniString(file, SettingsSection, PatternKey, QString::fromStdString(rules.Pattern));
}
