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

// "0KB", "1KB" below 1024 bytes (negative counts included), whole KB below
// 1 MiB, and whole MB plus one from 1 MiB on.
QString SizeText(qint64 bytes);
