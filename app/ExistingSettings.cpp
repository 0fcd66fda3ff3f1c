#include "app/ExistingSettings.h"

#include "app/IniFile.h"
#include "app/StartupFolders.h"

namespace {
const QString RuleKey = QStringLiteral("ExistingOutputs");
}  // namespace

TExistingRule ReadExistingRule(const QString& settingsFolder) {
  TExistingRule rule = TExistingRule::Replace;
  const QString word =
      ReadIniString(settingsFolder + SettingsFileName, SettingsSection, RuleKey, QString());
  if (!ExistingRuleByName(word.toStdString(), rule)) rule = TExistingRule::Replace;
  return rule;
}

void WriteExistingRule(const QString& settingsFolder, TExistingRule rule) {
  WriteIniString(settingsFolder + SettingsFileName, SettingsSection, RuleKey,
                 QString::fromLatin1(ExistingRuleName(rule)));
}
