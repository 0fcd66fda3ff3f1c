// The main window: the list of files to convert, the output folder and the
// controls of a batch. What a batch does lives in TBatchController; the
// window hands it the rows and the settings in force and shows what it
// reports (each row's status, tip, log and tracks, the gauge and the status
// line). Convert first checks what would make every row fail (libraries,
// output folder) and says so in one message box without changing anything.
#pragma once

#include <QString>
#include <QWidget>
#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "app/FormatSettings.h"
#include "app/InputPreparer.h"
#include "app/LoudnessSettings.h"
#include "converter/ExistingOutputs.h"
#include "converter/FolderWalker.h"
#include "converter/InputDescription.h"
#include "converter/OutputNaming.h"

class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidgetItem;
class TDetailsDialog;
class TFileListView;
class TFset;
class TShell;
class TThreadMailbox;
class TBatchController;
class TFileRow;
class TThreadMailbox;
class TVeltoConverter;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Runs the start-up steps (folders, settings file) and creates the
  // settings dialog. The shell must outlive the window.
  explicit TForm1(TShell& shell);
  ~TForm1() override;

  // ---- Window state --------------------------------------------------------
  QString OutputFolder;    // receives the converted files; "/"-terminated after start-up
  QString SettingsFolder;  // holds Path.INI
  QString LastAddFolder;   // initial folder of the next Add dialog
  QString OpenDialogFilter;
  // The format box's format and each format's quality, from the settings file.
  TFormatSettings FormatSettings;
  TLoudnessSettings LoudnessSettings;
  int FilesAtOnce = 1;  // tasks run together; from the settings file
  // A long file alone (or the last of a batch) is encoded on the free slots;
  // from the settings file.
  bool SplitLongFiles = true;
  // Layout and name pattern of the outputs (no extension), from the settings
  // file.
  TNamingRules Naming;
  // What happens to an output that is already there; from the settings file.
  TExistingRule Existing = TExistingRule::Replace;
  // Where the media libraries are looked for first: the program's folder
  // followed by "Lib".
  QString LibraryFolder;

  // ---- Controls ------------------------------------------------------------
  QPushButton* AddButton = nullptr;
  QPushButton* RemoveButton = nullptr;
  QPushButton* ClearButton = nullptr;
  QPushButton* SettingsButton = nullptr;
  QPushButton* DetailsButton = nullptr;
  QPushButton* HelpButton = nullptr;
  QFrame* ListPanel = nullptr;
  // The output folder as it stands, and the button that picks another.
  QLineEdit* OutputFolderField = nullptr;
  QPushButton* OutputFolderButton = nullptr;
  TFileListView* lvFiles = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QComboBox* FormatBox = nullptr;
  QPushButton* StopButton = nullptr;
  QPushButton* ConvertButton = nullptr;
  QLabel* BTips = nullptr;
  TFset* Fset = nullptr;
  TDetailsDialog* Details = nullptr;

  TVeltoConverter& Converter();
  bool Converting() const;

  // ---- Operations (bound to the buttons and keys) --------------------------
  void Add();
  // Appends one row per file and per audio file beneath a folder (see
  // FindInputs); each row remembers the folder it was found under. A file
  // already listed (under any name) is left out, and a path that does not
  // exist or cannot be read is refused: one error display names each with
  // its reason.
  void AddPaths(const QStringList& paths);
  void AddFiles(const QStringList& files) { AddPaths(files); }
  // The same for paths as the system names them (bytes, not necessarily
  // UTF-8): what a folder walk and a drop give.
  void AddNativePaths(const std::vector<std::string>& paths);
  // Deletes the selected rows (the Remove button and the Delete key).
  void Remove();
  void Clear();
  void Settings();
  // Picks another output folder, used from now on and kept for later starts;
  // cancelling changes nothing.
  void ChangeOutputFolder();
  // Shows OutputFolder in the window.
  void ShowOutputFolder();
  // Shows the Details window with the selected row's log lines.
  void ShowDetails();
  void Help();
  void Convert();
  void Stop();
  // The file each row's task writes, in list order (empty where the row got
  // no task); valid from the row's set-up until the next Convert.
  QStringList RowOutputs() const;
  // The log lines kept for a row: the set-up's and its task's.
  static QStringList RowLog(const QTreeWidgetItem* row);
  // The folder a row's file was found under; empty when it was added itself.
  static QString RowRoot(const QTreeWidgetItem* row);
  // A row's file and root as the system names them; the texts shown are for
  // reading only.
  static std::string RowPath(const QTreeWidgetItem* row);
  static std::string RowNativeRoot(const QTreeWidgetItem* row);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void CreateControls();
  // The batch's reports shown on the rows, the gauge and the status line.
  void ConnectBatch();
  void SetConverting(bool converting);
  // Checks that end a Convert before it starts, with a message box.
  bool OutputFolderUsable(const QString& folder);
  bool LibrariesLoaded();
  // Describes the rows not yet described on a thread of its own, for their
  // Duration, Title and Artist columns; stopped before rows go and before a
  // batch (which describes them anyway).
  void DescribeListed();
  void StopDescribing();
  // The Duration, Title and Artist columns from the file's description.
  void ShowDescription(QTreeWidgetItem* row, const TInputDescription& description);
  // The window's part of a batch's end: the close question withdrawn, the
  // output folder opened when something was converted.
  void BatchFinished(bool stopped);
  void AppendRowLog(QTreeWidgetItem* row, const QString& line);
  void ShowSelectedDetails();

  TShell& Shell;
  TBatchController* Batch = nullptr;  // a child of the window
  // The files in the list, by device and inode: a file is listed once.
  std::set<TFileId> Listed;
  std::vector<QTreeWidgetItem*> BatchRows;  // the batch's rows, by position
  bool AskingToClose = false;               // the close question is open
  TInputPreparer Describer;
  std::vector<TFileRow*> DescribeRows;  // by the describer's position
  // Posts of a description run that StopDescribing ended are dropped.
  std::atomic<unsigned> DescribeRun{0};
  TThreadMailbox* Posts = nullptr;  // a child of the window
};
