// Keeps one batch from destroying its own inputs or mixing two outputs in one
// file. Outputs are created as soon as a task's output is added, so a name
// that is an input of the batch (an MP3 already in the output folder) or that
// an earlier row already took gets a number instead: "song (2).mp3".
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

class TOutputNames {
 public:
  // Starts a batch whose inputs are these paths (every row, opened or not).
  void Begin(const QStringList& inputPaths);
  // The name to write for a wanted output name: the wanted one when it is
  // free, else the first free "<name> (n)<ext>" from n = 2 on. The result is
  // taken for the rest of the batch.
  QString Claim(const QString& wanted);

 private:
  QSet<QString> Taken;
};

// The key two paths share when they name the same file: the real path for an
// existing file (links resolved), else the real path of its folder plus the
// name, else the cleaned absolute path.
QString SameFileKey(const QString& path);
