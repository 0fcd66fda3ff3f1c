// Which files the window offers to convert: the open dialog's filter, and
// the paths of the command line and of a drop as the list takes them.
#pragma once

#include <QString>
#include <QStringList>

// The open dialog's filter, "Name|patterns|Name|patterns", made from the
// converter's audio patterns.
extern const QString OpenDialogFilterText;

// The program's arguments (Qt's own options already taken out, the program
// name included as the first) as paths for the list: each made absolute
// against the current folder.
QStringList CommandLinePaths(const QStringList& arguments);
