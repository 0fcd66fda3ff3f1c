// How the window names its outputs, as the settings file keeps it: section
// [Output], keys Layout (auto, flat, tree or beside) and NamePattern (empty:
// the source's name). A file without them, or with a layout it does not
// know, gives Auto and the source's name. UI thread.
#pragma once

#include <QString>

#include "converter/OutputNaming.h"

// Layout and Pattern of the saved rules; Extension stays empty.
TNamingRules ReadNamingRules(const QString& settingsFolder);
// Raises TIniFileError when the file cannot be written.
void WriteNamingRules(const QString& settingsFolder, const TNamingRules& rules);
