// Which files the program offers to convert: the open dialog's filter and the
// rule that picks the audio files out of a dropped folder.
#pragma once

#include <QString>
#include <QStringList>

// The open dialog's filter, "Name|patterns|Name|patterns".
extern const QString OpenDialogFilterText;
// The same with its names in the user's language.
QString TranslatedOpenDialogFilter();

// True when the file name's extension is one of the audio filter's.
bool IsAudioFileName(const QString& fileName);

// Dropped paths as Add would take them: a file stays as it is, a folder
// gives the audio files beneath it (sub-folders included, symbolic links to
// folders not followed), sorted by path. Paths that do not exist are kept,
// so that the row shows what was dropped.
QStringList ExpandDroppedPaths(const QStringList& paths);

// The program's arguments (Qt's own options already taken out, the program
// name included as the first) as paths for the list: each made absolute
// against the current folder, ready for ExpandDroppedPaths. The first "--"
// is the end of the options, not a path.
QStringList CommandLinePaths(const QStringList& arguments);
