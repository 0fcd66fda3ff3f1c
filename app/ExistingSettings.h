// What the window does about outputs that exist already, as the settings
// file keeps it: section [Output], key ExistingOutputs (replace, skip or
// update). A file without it, or with a word it does not know, gives
// replace. UI thread.
#pragma once

#include <QString>

#include "converter/ExistingOutputs.h"

TExistingRule ReadExistingRule(const QString& settingsFolder);
// Raises TIniFileError when the file cannot be written.
void WriteExistingRule(const QString& settingsFolder, TExistingRule rule);
