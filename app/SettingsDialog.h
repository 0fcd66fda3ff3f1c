// The settings dialog: chooses the output folder, applies it to the main
// window and saves it as the default for later starts; and on its second page
// the quality, sample rate and channels of the format the main window's
// format box shows, saved in the settings file on OK. Created once, right
// after the main window, and afterwards only shown modally and hidden; the
// folder field keeps its text between showings, the format page is filled
// anew each time the dialog is shown.
#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
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
  QLabel* FormatLabel = nullptr;
  QComboBox* QualityBox = nullptr;
  QComboBox* RateBox = nullptr;
  QComboBox* ChannelsBox = nullptr;
  // The "Loudness" page.
  QCheckBox* VerifyBox = nullptr;
  QCheckBox* ReplayGainBox = nullptr;
  QCheckBox* NormalizeBox = nullptr;
  QSpinBox* NormalizeLufsBox = nullptr;

  void Browse();
  // Writes the field's text as the saved folder and "Files at once" beside
  // it; an empty field writes nothing. A failed write goes to the error
  // display.
  void Save();
  // The main window's output folder := the field's text, as it stands, and
  // its "Files at once" := the box's value; a changed format page becomes the
  // format's choice and is written to the settings file (a failed write goes
  // to the error display).
  void Ok();
  void Cancel();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void CreateFormatPage();
  // Fills the format page's lists for the main window's chosen format.
  void ShowFormat();
  void CreateFilesAtOnceControl(QWidget* page);
  void CreateLoudnessPage();

  TForm1& Form1;
  TShell& Shell;
  QString SettingsFolder;
};
