// The main window: the list of files to convert, the output folder and the
// converter component that turns every row into one MP3.
//
// Threads: everything here runs on the UI thread except two producers that
// only post queued calls to this window: the component's events (on the
// tasks' threads) and the input preparer (its own thread), which describes
// the rows' files in list order while the first ones already convert. The
// window never waits for a worker except in Stop, closing and destruction,
// which stop the preparer and the tasks and wait for their ends.
//
// A batch: Convert checks what would make every row fail (libraries, output
// folder) and says so in one message box without changing anything; then the
// preparer describes each row's file, each described file becomes a task that
// is started at once (up to FilesAtOnce run together), and a file that cannot
// be read marks its row. No row ever leaves the list; each shows its end and
// its reason. The batch ends when every row is either refused or its task
// has ended.
#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QWidget>
#include <atomic>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/BatchProgress.h"
#include "app/FormatSettings.h"
#include "app/LoudnessSettings.h"
#include "app/InputPreparer.h"
#include "app/StatusTexts.h"
#include "converter/AlbumTracks.h"
#include "converter/OptionRecords.h"
#include "converter/OutputNaming.h"
#include "converter/OutputSync.h"
#include "converter/TaskResult.h"

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

  TVeltoConverter& Converter() { return *FConverter; }
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
  // Deletes the selected rows (the Remove button and the Delete key).
  void Remove();
  void Clear();
  void Settings();
  // Picks another output folder for this session (the settings dialog's
  // "Save as default" keeps it for later starts); cancelling changes nothing.
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

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  struct TTaskRow {
    QTreeWidgetItem* Row = nullptr;
    int Position = -1;       // in the batch
    std::string SetupError;  // why its output could not be added, if so
    std::vector<std::string> TrackOutputs;  // an album file's, track 1 first
  };

  void FormCreate();
  void CreateControls();
  void SetConverting(bool converting);
  // Checks that end a Convert before it starts, with a message box.
  bool OutputFolderUsable(const QString& folder);
  bool LibrariesLoaded();
  // Posted by the preparer: queues the input for TakePrepared.
  void Prepared(TPreparedInput prepared);
  // Sets up queued inputs for a slice of time, then lets the window paint
  // and take clicks before the next slice.
  void TakePrepared();
  void SetUpPrepared(const TPreparedInput& prepared);
  // Posted by the component.
  // The tracks of an album file as the task's outputs and the row's children.
  void AddTrackOutputs(int index, QTreeWidgetItem* row, int position, TOutputOptions output,
                       const std::vector<std::string>& outputs,
                       const std::vector<TPlannedTrack>& tracks);
  void Progress(int index, int durationTime, int totalDuration);
  void Terminate(int index, const TTaskResult& result);
  void Logged(int index, const QString& line);
  void EndRow(QTreeWidgetItem* row, int position, TTaskState state, const QString& reason);
  // A row whose output is left as it was: up to date by the record, or
  // there already (skip).
  void EndRowUnchanged(QTreeWidgetItem* row, int position, bool upToDate);
  void ShowBatchState();
  void FinishIfDone();
  // The batch's end: a finished one fills the gauge and opens the output
  // folder when something was converted; a stopped one marks the rows that
  // never began and leaves the gauge at the share converted.
  void EndBatch(bool stopped);
  void AppendRowLog(QTreeWidgetItem* row, const QString& line);
  void ShowSelectedDetails();

  TShell& Shell;
  std::unique_ptr<TVeltoConverter> FConverter;
  TInputPreparer Preparer;
  TOutputClaims OutputClaims;

  // ---- The batch under way (UI thread) ---------------------------------------
  std::vector<QTreeWidgetItem*> BatchRows;  // by position
  std::vector<QString> BatchOutputs;        // by position
  std::vector<TTaskRow> TaskRows;           // by task index
  TBatchProgress BatchProgress;
  TBatchCounts Counts;
  // The batch's existing-output rule and record (none for replace).
  std::unique_ptr<TOutputSync> Sync;
  QElapsedTimer BatchClock;
  std::deque<TPreparedInput> PendingPrepared;
  QTimer* PrepareSlices = nullptr;
  bool AllPrepared = false;
  bool Stopping = false;  // Stop is taking in the last events of the batch
  bool AskingToClose = false;  // the close question is open
  // Events of a batch that Convert, Stop or closing has left behind are
  // dropped; read on the producers' threads when an event is posted.
  std::atomic<unsigned> Batch{0};
  // Carries the producers' events to this thread; a child of the window.
  TThreadMailbox* Posts = nullptr;
};
