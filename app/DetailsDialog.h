// "Details": a window beside the main one with the log lines of the selected
// row (what the converter said while it read, converted or refused the file).
// UI thread only; the main window keeps the lines and tells the dialog which
// row to show.
#pragma once

#include <QDialog>
#include <QStringList>

class QLabel;
class QPlainTextEdit;

class TDetailsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TDetailsDialog(QWidget* parent);

  // Shows the lines of the row named `caption`; an empty caption says that no
  // row is selected.
  void ShowRow(const QString& caption, const QStringList& lines);
  // Adds one line to the row shown.
  void AppendLine(const QString& line);

  QLabel* RowLabel = nullptr;
  QPlainTextEdit* Lines = nullptr;
};
