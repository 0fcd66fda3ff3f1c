// The settings dialog: chooses the output folder, applies it to the main
// window and saves it as the default for later starts. Created once, right
// after the main window, and afterwards only shown modally and hidden; the
// folder field keeps its text between showings.
#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class TForm1;
class TShell;

class TFset : public QDialog {
  Q_OBJECT

 public:
  // Reads the main window's settings and output folders once, here.
  TFset(TForm1& form1, TShell& shell);

  QTabWidget* PageControl = nullptr;
  QLineEdit* FolderEdit = nullptr;
  QPushButton* BrowseButton = nullptr;
  QPushButton* SaveButton = nullptr;
  QSpinBox* FilesAtOnceBox = nullptr;  // "Files at once"
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;

  void Browse();
  // Writes the field's text as the saved folder and "Files at once" beside
  // it; an empty field writes nothing. A failed write goes to the error
  // display.
  void Save();
  // The main window's output folder := the field's text, as it stands, and
  // its "Files at once" := the box's value.
  void Ok();
  void Cancel();

 private:
  void FormCreate();
  void CreateFilesAtOnceControl(QWidget* page);

  TForm1& Form1;
  TShell& Shell;
  QString SettingsFolder;
};
