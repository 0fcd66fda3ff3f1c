// Which files the window offers to convert: the open dialog's filter, and
// the paths of the command line and of a drop as the list takes them.
#pragma once

#include <QString>
#include <string>
#include <vector>
#include <QStringList>

// The open dialog's filter, "Name|patterns|Name|patterns", made from the
// converter's audio patterns.
extern const QString OpenDialogFilterText;
// The same with its names in the user's language.
QString TranslatedOpenDialogFilter();

// The program's arguments (Qt's own options already taken out, the program
// name included as the first) as paths for the list: each made absolute
// against the current folder. The first "--" is the end of the options,
// not a path.
QStringList CommandLinePaths(const QStringList& arguments);
// The same from the arguments' bytes (argv after QApplication took its
// options), so that a name that is not UTF-8 names its file.
std::vector<std::string> NativeCommandLinePaths(int argc, const char* const* argv);
