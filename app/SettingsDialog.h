// The settings dialog: chooses the output folder and "Files at once"; on its second page
// the quality, sample rate and channels of the format the main window's
// format box shows, saved in the settings file on OK. Created once, right
// after the main window, and afterwards only shown modally and hidden; the
// folder field keeps its text between showings, the format page is filled
// anew each time the dialog is shown. Its third page chooses how outputs are
// named (layout and pattern) with an example taken from the main window's
// selected row, updated as the choice changes; saved in the settings file on
// OK.
#pragma once

#include <QDialog>

#include "converter/OutputNaming.h"

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
  QSpinBox* FilesAtOnceBox = nullptr;  // "Files at once"
  // What happens to an output that is already there: in TExistingRule's
  // order (replace, skip, update); saved in the settings file on OK.
  QComboBox* ExistingBox = nullptr;
  QPushButton* OkButton = nullptr;
  QPushButton* CancelButton = nullptr;
  QLabel* FormatLabel = nullptr;
  QComboBox* QualityBox = nullptr;
  QComboBox* RateBox = nullptr;
  QComboBox* ChannelsBox = nullptr;
  QComboBox* LayoutBox = nullptr;  // Auto, Flat, Tree, Beside
  QLineEdit* PatternEdit = nullptr;
  QLabel* ExampleLabel = nullptr;
  // The "Loudness" page.
  QCheckBox* VerifyBox = nullptr;
  QCheckBox* ReplayGainBox = nullptr;
  QCheckBox* NormalizeBox = nullptr;
  QSpinBox* NormalizeLufsBox = nullptr;
  // One long file on the slots no other file takes (SplitLongFiles).
  QCheckBox* SplitLongFilesBox = nullptr;
  QSpinBox* MemoryPerFileBox = nullptr;  // MiB; 0 shows "No limit"

  void Browse();
  // One rule for every page: what OK leaves in the dialog is what the main
  // window uses from now on and what the next start shows. A changed output
  // folder (an empty field is used but not kept), "Files at once", format
  // page, layout or pattern, rule for existing outputs and loudness choice
  // is written to the settings file (a failed write goes to the error
  // display). Cancel changes nothing; every showing starts from the settings
  // in force.
  void Ok();
  // The example's output path for the page's layout and pattern.
  void ShowExample();
  void Cancel();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void FormCreate();
  void CreateFormatPage();
  // Fills the format page's lists for the main window's chosen format.
  void ShowFormat();
  void CreateFilesAtOnceControl(QWidget* page);
  // Fills the output page from the main window's settings.
  void ShowOutput();
  void CreateNamesPage();
  // The example's source: the main window's selected row (described now for
  // its tags, when the media libraries load), else a made-up track.
  void TakeExampleSource();
  TNamingRules ChosenNaming() const;
  // Fills the names page from the main window's rules.
  void ShowNaming();
  void CreateLoudnessPage();

  TForm1& Form1;
  TShell& Shell;
  QString SettingsFolder;
  TNamingInput ExampleSource;
  bool ExampleFromRow = false;
};
