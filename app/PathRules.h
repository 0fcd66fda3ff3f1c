// Text rules for folders and file names, shared by the main window and the
// settings dialog. Paths use "/" as separator.
#pragma once

#include <QString>

// Appends "/" to a folder text longer than 3 characters that does not end
// with one; shorter texts (a root, a bare drive-like name) stay as they are.
QString WithSeparator(const QString& folder);

// The last path element of a path ("song.wav" of "/in/song.wav").
QString FileNamePart(const QString& path);
// Everything up to and including the last "/" ("/in/" of "/in/song.wav").
QString FolderPart(const QString& path);

// The size with one decimal in the unit that keeps the figure below 1024:
// "0KB" for an empty file, "0.1KB" at the least for a few bytes, "340.0KB",
// "1.2MB" (1,300,000 bytes), "5.0GB"; the decimal point is the user's
// locale's. Empty for an unknown (negative) size.
QString SizeText(qint64 bytes);
