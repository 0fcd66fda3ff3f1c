// The order of the file list's rows when a header is clicked: a column with a
// number behind its text (size in bytes, duration in ms; SortKeyRole) sorts by
// that number, every other column by its text in natural order, as a person
// reads it: "long2" before "long10", case second.
#pragma once

#include <QTreeWidgetItem>

// Where a cell keeps the number it sorts by (a qlonglong).
constexpr int SortKeyRole = Qt::UserRole + 20;

// a's cell in `column` comes before b's. Equal cells are not less either way,
// so a stable sort keeps their order.
bool RowLess(const QTreeWidgetItem& a, const QTreeWidgetItem& b, int column);

// Natural order of two texts: negative, 0 or positive.
int NaturalCompare(const QString& a, const QString& b);
