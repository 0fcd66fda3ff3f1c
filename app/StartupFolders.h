// Where the program keeps its settings and writes its MP3 files, as decided
// once at start-up.
#pragma once

#include <QString>

class TShell;

inline const QString AppTitle = QStringLiteral("Melvaro");
inline const QString SettingsFileName = QStringLiteral("Path.INI");
inline const QString SettingsSection = QStringLiteral("Output");
inline const QString SettingsKey = QStringLiteral("Path");
// The value that stands for "no folder saved".
inline const QString NoFolderSaved = QStringLiteral("NoCode");
// How many files the window converts at once, saved beside the folder.
inline const QString FilesAtOnceKey = QStringLiteral("FilesAtOnce");
constexpr int MaxFilesAtOnce = 64;
// Whether one long file may be encoded on the slots no other file takes
// ("1", the default) or always whole ("0"); saved when the settings dialog
// closes with OK.
inline const QString SplitLongFilesKey = QStringLiteral("SplitLongFiles");

struct TStartupFolders {
  QString SettingsFolder;  // <config>/tarvik/Melvaro/
  QString OutputFolder;    // saved folder, else <documents>/Temp/
};

// Computes both folders, reading the saved output folder from the settings
// file. Creates neither: the settings folder is made when a setting is
// written, the output folder when a batch starts.
TStartupFolders LoadStartupFolders(TShell& shell);

// Keeps `folder` as the output folder of later starts; throws TIniFileError.
void WriteOutputFolder(const QString& settingsFolder, const QString& folder);

// The saved output folder, or NoFolderSaved when the settings file has none.
QString ReadSavedOutputFolder(const QString& settingsFolder);

// The number of processors (at least 1, at most MaxFilesAtOnce).
int DefaultFilesAtOnce();
// The saved "Files at once"; DefaultFilesAtOnce when the settings file (an
// older one, say) has none or a value that is no whole number from 1 to
// MaxFilesAtOnce.
int ReadFilesAtOnce(const QString& settingsFolder);
bool ReadSplitLongFiles(const QString& settingsFolder);
